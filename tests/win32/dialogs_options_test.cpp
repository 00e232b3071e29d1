#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <vector>

#include "dialogs_driver.h"
#include "game/option_scale.h"
#include "game/state.h"
#include "game_fixture.h"
#include "resource.h"
#include "ui/dialogs.h"

namespace {

const int BAR_IDS[] = {IDC_GRAVITY_BAR, IDC_FUEL_BAR, IDC_THRUST_BAR};

bool SameSettings(const GameSettings& a, const GameSettings& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

int Thumb(HWND dialog, int barId) {
    return GetScrollPos(GetDlgItem(dialog, barId), SB_CTL);
}

void PostScroll(HWND dialog, int barId, int code, int thumb = 0) {
    PostMessageA(dialog, WM_HSCROLL, MAKEWPARAM(code, thumb),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, barId)));
}

// Settings whose three bars sit at the given positions.
void PlaceSettings(int16_t gravity, int16_t fuel, int16_t thrust) {
    settings.gravity = GravityFromPosition(gravity);
    settings.initialFuel = FuelFromPosition(fuel);
    settings.mainThrust = ThrustFromPosition(thrust);
}

class OptionsDialogTest : public GameTest {};

// The box shows the stored settings on bars from 0 to 29, any non-zero flag as ticked; Cancel
// leaves them as they were, and OK without a change stores every position back exactly.
TEST_F(OptionsDialogTest, OpensShowingTheStoredSettings) {
    struct Case {
        int32_t reverseSideThrust, drawFlame;
        float gravity, fuel, thrust;
        int positions[3];
        int closer;
    };
    std::vector<Case> cases = {
        {0, 1, 3.0f, 1000.0f, 10000.0f, {6, 9, 6}, IDCANCEL}, // the built-in settings
        {1, 0, 1.0f, 100.0f, 2500.0f, {0, 0, 0}, IDCANCEL},
        {1, 1, GravityFromPosition(29), 3000.0f, 38750.0f, {29, 29, 29}, IDCANCEL},
        {0, 0, 1.3333334f, 1800.0f, 20000.0f, {1, 17, 14}, IDCANCEL},
        {5, -1, 3.0f, 1000.0f, 10000.0f, {6, 9, 6}, IDCANCEL},
    };
    // Fuel runs the other way so that the three bars never agree by accident.
    for (int16_t p = OPTION_POSITION_MIN; p <= OPTION_POSITION_MAX; ++p) {
        const int16_t q = static_cast<int16_t>(OPTION_POSITION_MAX - p);
        cases.push_back({p % 2,
                         p / 2 % 2,
                         GravityFromPosition(p),
                         FuelFromPosition(q),
                         ThrustFromPosition(p),
                         {p, q, p},
                         IDOK});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "case " << &c - cases.data());
        ResetWholeGame();
        settings.reverseSideThrust = c.reverseSideThrust;
        settings.drawFlame = c.drawFlame;
        settings.gravity = c.gravity;
        settings.initialFuel = c.fuel;
        settings.mainThrust = c.thrust;
        const GameSettings before = settings;
        const int result = RunDialog(
            ShowOptionsDialog,
            {[](HWND) {},
             [&c](HWND dialog) {
                 EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_REVERSE_SIDE_THRUST),
                           c.reverseSideThrust != 0 ? 1u : 0u);
                 EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_DRAW_FLAME), c.drawFlame != 0 ? 1u : 0u);
                 for (int bar = 0; bar < 3; ++bar) {
                     SCOPED_TRACE(BAR_IDS[bar]);
                     int low = -1;
                     int high = -1;
                     GetScrollRange(GetDlgItem(dialog, BAR_IDS[bar]), SB_CTL, &low, &high);
                     EXPECT_EQ(low, 0);
                     EXPECT_EQ(high, 29);
                     EXPECT_EQ(Thumb(dialog, BAR_IDS[bar]), c.positions[bar]);
                 }
                 EXPECT_EQ(GetFocus(), GetDlgItem(dialog, IDOK));
                 PostCommand(dialog, c.closer);
             }});
        EXPECT_EQ(result, 1);
        EXPECT_TRUE(SameSettings(settings, before));
    }
}

struct ScrollCase {
    int code;
    int start;
    int thumb; // high word of wParam
    int expected;
};

TEST_F(OptionsDialogTest, EachScrollCodeMovesTheBarItWasSentBy) {
    // clang-format off
    const ScrollCase cases[] = {
        {SB_LINELEFT, 0, 0, 0},       {SB_LINELEFT, 29, 0, 28},     {SB_LINERIGHT, 0, 0, 1},
        {SB_LINERIGHT, 29, 0, 29},    {SB_PAGELEFT, 0, 0, 0},       {SB_PAGELEFT, 29, 0, 28},
        {SB_PAGELEFT, 10, 0, 9},      {SB_PAGERIGHT, 0, 0, 1},      {SB_PAGERIGHT, 29, 0, 29},
        {SB_PAGERIGHT, 10, 0, 11},    {SB_THUMBPOSITION, 0, 29, 29}, {SB_THUMBPOSITION, 29, 0, 0},
        {SB_THUMBTRACK, 0, 13, 13},   {SB_THUMBTRACK, 29, 0, 0},    {SB_LEFT, 0, 20, 0},
        {SB_LEFT, 29, 20, 0},         {SB_RIGHT, 0, 20, 29},        {SB_RIGHT, 29, 20, 29},
        {SB_ENDSCROLL, 0, 20, 0},     {SB_ENDSCROLL, 29, 20, 29},   {9, 10, 20, 10},
        {0xFFFF, 10, 20, 10},
        // A thumb outside the bar's range is held at its ends, where the thumb is drawn.
        {SB_THUMBTRACK, 10, 40, 29},  {SB_THUMBPOSITION, 10, 0xFFFF, 0},
    };
    // clang-format on
    // Each step checks the case before it and posts the next; the other two bars must not move.
    std::vector<DialogStep> steps;
    int index = 0;
    for (int bar : BAR_IDS) {
        for (const ScrollCase& c : cases) {
            steps.push_back([bar, c](HWND dialog) {
                PostScroll(dialog, bar, SB_THUMBPOSITION, c.start);
                PostScroll(dialog, bar, c.code, c.thumb);
            });
            steps.push_back([index, bar, c](HWND dialog) {
                EXPECT_EQ(Thumb(dialog, bar), c.expected)
                    << "case " << index << ": bar " << bar << ", code " << c.code << " at "
                    << c.start << " with thumb " << c.thumb;
                for (int other : BAR_IDS) {
                    if (other != bar) {
                        EXPECT_EQ(Thumb(dialog, other), other == IDC_FUEL_BAR ? 9 : 6)
                            << "case " << index << ": bar " << other << " moved";
                    }
                }
                PostScroll(dialog, bar, SB_THUMBPOSITION, bar == IDC_FUEL_BAR ? 9 : 6);
            });
            ++index;
        }
    }
    // Scroll messages from anything but the three bars are ignored: the Default button's id is
    // one past the last bar, OK's and a check box's lie before the first; a null handle has no id.
    steps.push_back([](HWND dialog) {
        for (int id : {IDC_DEFAULT, IDOK, IDC_DRAW_FLAME, 0}) {
            PostMessageA(dialog, WM_HSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 20),
                         reinterpret_cast<LPARAM>(id == 0 ? nullptr : GetDlgItem(dialog, id)));
        }
    });
    steps.push_back([](HWND dialog) {
        EXPECT_EQ(Thumb(dialog, IDC_GRAVITY_BAR), 6);
        EXPECT_EQ(Thumb(dialog, IDC_FUEL_BAR), 9);
        EXPECT_EQ(Thumb(dialog, IDC_THRUST_BAR), 6);
        PostCommand(dialog, IDOK);
    });
    EXPECT_EQ(RunDialog(ShowOptionsDialog, steps), 1);
    EXPECT_TRUE(SameSettings(settings, DEFAULT_SETTINGS));
}

// Scroll codes move the bars, and keys on a focused bar, which turns them into its own codes each
// followed by SB_ENDSCROLL, one step at a time; OK stores where they stand.
TEST_F(OptionsDialogTest, OkStoresWhereScrollCodesAndKeysMovedTheBars) {
    const int result = RunDialog(ShowOptionsDialog,
                                 {[](HWND dialog) {
                                      PostScroll(dialog, IDC_GRAVITY_BAR, SB_LINELEFT); // 6 -> 5
                                      PostScroll(dialog, IDC_GRAVITY_BAR, SB_PAGELEFT); // 5 -> 4
                                      PostScroll(dialog, IDC_FUEL_BAR, SB_THUMBTRACK, 17);
                                      PostScroll(dialog, IDC_FUEL_BAR, SB_ENDSCROLL, 3);
                                      PostScroll(dialog, IDC_THRUST_BAR, SB_RIGHT);
                                      PostScroll(dialog, IDC_THRUST_BAR, SB_LINERIGHT);
                                  },
                                  [](HWND dialog) {
                                      EXPECT_EQ(Thumb(dialog, IDC_GRAVITY_BAR), 4);
                                      EXPECT_EQ(Thumb(dialog, IDC_FUEL_BAR), 17);
                                      EXPECT_EQ(Thumb(dialog, IDC_THRUST_BAR), 29);
                                      SetFocus(GetDlgItem(dialog, IDC_FUEL_BAR));
                                      PostKey(dialog, VK_RIGHT); // 17 -> 18
                                      PostKey(dialog, VK_NEXT);  // page: 18 -> 19
                                      PostKey(dialog, VK_NEXT);  // 19 -> 20
                                      PostKey(dialog, VK_LEFT);  // 20 -> 19
                                  },
                                  [](HWND dialog) {
                                      EXPECT_EQ(Thumb(dialog, IDC_FUEL_BAR), 19);
                                      SetFocus(GetDlgItem(dialog, IDC_THRUST_BAR));
                                      PostKey(dialog, VK_HOME);  // 0
                                      PostKey(dialog, VK_END);   // 29
                                      PostKey(dialog, VK_PRIOR); // 28
                                  },
                                  [](HWND dialog) {
                                      EXPECT_EQ(Thumb(dialog, IDC_THRUST_BAR), 28);
                                      // Beyond the bar's end: stored as the end, where the
                                      // thumb is drawn.
                                      PostScroll(dialog, IDC_THRUST_BAR, SB_THUMBTRACK, 40);
                                      PostCommand(dialog, IDOK);
                                  }});
    EXPECT_EQ(result, 1);
    GameSettings expected = DEFAULT_SETTINGS;
    expected.gravity = 2.3333333f; // 4/3 + 1, rounded once
    expected.initialFuel = 2000.0f;
    expected.mainThrust = 38750.0f;
    EXPECT_EQ(FloatBits(settings.gravity), FloatBits(expected.gravity));
    EXPECT_TRUE(SameSettings(settings, expected));
}

// Default puts the bars back where the built-in settings have them and leaves the check boxes
// as they stand; only OK stores, and never touches the calibrated time step.
TEST_F(OptionsDialogTest, DefaultResetsTheBarsAndOnlyOkStores) {
    for (int closer : {IDCANCEL, IDOK}) {
        SCOPED_TRACE(closer);
        ResetWholeGame();
        PlaceSettings(0, 29, 3);
        settings.reverseSideThrust = 0;
        settings.drawFlame = 1;
        settings.timeStep = 0.125f;
        const GameSettings before = settings;
        const int result = RunDialog(
            ShowOptionsDialog,
            {[](HWND) {},
             [](HWND dialog) {
                 PostScroll(dialog, IDC_GRAVITY_BAR, SB_RIGHT);
                 // Clicking a check box toggles it and reports the click, which must not close
                 // the box.
                 PostMessageA(GetDlgItem(dialog, IDC_REVERSE_SIDE_THRUST), BM_CLICK, 0, 0);
                 PostMessageA(GetDlgItem(dialog, IDC_DRAW_FLAME), BM_CLICK, 0, 0);
                 PostCommand(dialog, IDC_DEFAULT);
             },
             [closer](HWND dialog) {
                 EXPECT_EQ(Thumb(dialog, IDC_GRAVITY_BAR), 6);
                 EXPECT_EQ(Thumb(dialog, IDC_FUEL_BAR), 9);
                 EXPECT_EQ(Thumb(dialog, IDC_THRUST_BAR), 6);
                 EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_REVERSE_SIDE_THRUST), 1u);
                 EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_DRAW_FLAME), 0u);
                 PostCommand(dialog, closer);
             }});
        EXPECT_EQ(result, 1);
        GameSettings expected = before;
        if (closer == IDOK) {
            expected.gravity = 3.0f;
            expected.initialFuel = 1000.0f;
            expected.mainThrust = 10000.0f;
            expected.reverseSideThrust = 1;
            expected.drawFlame = 0;
        }
        EXPECT_TRUE(SameSettings(settings, expected));
    }
}

struct ClosingCase {
    const char* name;
    void (*close)(HWND dialog);
    bool stores;      // in the Options box
    bool optionsOnly; // only the Options box has a Cancel button
};

TEST_F(OptionsDialogTest, EveryWayOfClosingABoxGivesOneAndOnlyOkInOptionsStores) {
    const ClosingCase cases[] = {
        {"OK button", [](HWND d) { PostMessageA(GetDlgItem(d, IDOK), BM_CLICK, 0, 0); }, true,
         false},
        {"Enter", [](HWND d) { PostClose(d, CLOSE_BY_ENTER); }, true, false},
        {"Cancel button", [](HWND d) { PostMessageA(GetDlgItem(d, IDCANCEL), BM_CLICK, 0, 0); },
         false, true},
        {"Escape", [](HWND d) { PostClose(d, CLOSE_BY_ESCAPE); }, false, false},
        {"WM_CLOSE", [](HWND d) { PostClose(d, CLOSE_BY_WM_CLOSE); }, false, false},
        {"close box", [](HWND d) { PostClose(d, CLOSE_BY_CLOSE_BOX); }, false, false},
    };
    for (ShowDialogFunction show : {ShowOptionsDialog, ShowAboutDialog, ShowEndGameDialog}) {
        for (const ClosingCase& c : cases) {
            if (c.optionsOnly && show != ShowOptionsDialog) {
                continue;
            }
            SCOPED_TRACE(::testing::Message() << (show == ShowAboutDialog     ? "About, "
                                                  : show == ShowEndGameDialog ? "EndGame, "
                                                                              : "Options, ")
                                              << c.name);
            ResetWholeGame();
            flight.outcome = OUTCOME_MISSED_SITE;
            // The bars to their lowest first; the other boxes have no bars and ignore it.
            const int result = RunDialog(show, {[](HWND) {},
                                                [](HWND dialog) {
                                                    for (int bar : BAR_IDS) {
                                                        PostScroll(dialog, bar, SB_LEFT);
                                                    }
                                                },
                                                c.close});
            EXPECT_EQ(result, 1);
            GameSettings expected = DEFAULT_SETTINGS;
            if (c.stores && show == ShowOptionsDialog) {
                expected.gravity = 1.0f;
                expected.initialFuel = 100.0f;
                expected.mainThrust = 2500.0f;
            }
            EXPECT_TRUE(SameSettings(settings, expected));
        }
    }
}

} // namespace
