// The Options box: what it opens showing, how its bars move and what Default puts back; and what
// each way of closing any of the three boxes stores.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <vector>

#include "dialogs_driver.h"
#include "game/option_scale.h"
#include "game/state.h"
#include "resource.h"
#include "ui/dialogs.h"

namespace {

const int BAR_IDS[] = {IDC_GRAVITY_BAR, IDC_FUEL_BAR, IDC_THRUST_BAR};
// The built-in settings as the box shows them: three thumbs, then the ticks of Reverse side thrust
// and Draw flame.
const std::vector<int> DEFAULT_SHOWN = {6, 9, 6, 0, 1};

bool SameSettings(const GameSettings& a, const GameSettings& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

std::vector<int> Shown(HWND dialog) {
    std::vector<int> shown;
    for (int bar : BAR_IDS) {
        shown.push_back(GetScrollPos(GetDlgItem(dialog, bar), SB_CTL));
    }
    shown.push_back(IsDlgButtonChecked(dialog, IDC_REVERSE_SIDE_THRUST));
    shown.push_back(IsDlgButtonChecked(dialog, IDC_DRAW_FLAME));
    return shown;
}

void PostScroll(HWND dialog, int barId, int code, int thumb = 0) {
    PostMessageA(dialog, WM_HSCROLL, MAKEWPARAM(code, thumb),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, barId)));
}

// The box shows the stored settings on bars from 0 to 29, any non-zero flag as ticked; Cancel
// leaves them as they were, and OK without a change stores every position back exactly.
TEST_F(BoxTest, OptionsOpenShowingTheStoredSettings) {
    struct Case {
        int32_t reverseSideThrust, drawFlame;
        float gravity, fuel, thrust;
        std::vector<int> shown;
        int closer;
    };
    std::vector<Case> cases = {
        {0, 1, 3.0f, 1000.0f, 10000.0f, DEFAULT_SHOWN, IDCANCEL},
        {1, 0, 1.0f, 100.0f, 2500.0f, {0, 0, 0, 1, 0}, IDCANCEL},
        {1, 1, GravityFromPosition(29), 3000.0f, 38750.0f, {29, 29, 29, 1, 1}, IDCANCEL},
        {0, 0, 1.3333334f, 1800.0f, 20000.0f, {1, 17, 14, 0, 0}, IDCANCEL},
        {5, -1, 3.0f, 1000.0f, 10000.0f, {6, 9, 6, 1, 1}, IDCANCEL},
    };
    // Fuel runs the other way so that the three bars never agree by accident.
    for (int16_t p = OPTION_POSITION_MIN; p <= OPTION_POSITION_MAX; ++p) {
        const int16_t q = static_cast<int16_t>(OPTION_POSITION_MAX - p);
        const std::vector<int> shown = {p, q, p, p % 2, p / 2 % 2};
        cases.push_back({p % 2, p / 2 % 2, GravityFromPosition(p), FuelFromPosition(q),
                         ThrustFromPosition(p), shown, IDOK});
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
        RunShownBox(ShowOptionsDialog, {[&c](HWND dialog) {
                        for (int bar : BAR_IDS) {
                            int low = -1;
                            int high = -1;
                            GetScrollRange(GetDlgItem(dialog, bar), SB_CTL, &low, &high);
                            EXPECT_EQ(low, 0) << bar;
                            EXPECT_EQ(high, 29) << bar;
                        }
                        EXPECT_EQ(Shown(dialog), c.shown);
                        EXPECT_EQ(GetFocus(), GetDlgItem(dialog, IDOK));
                        PostCommand(dialog, c.closer);
                    }});
        EXPECT_TRUE(SameSettings(settings, before));
    }
}

// A key to the focused bar, which turns it into its own scroll code, then SB_ENDSCROLL.
const int KEY = 0x10000;

struct ScrollCase {
    int code; // or KEY | a virtual key
    int start;
    int thumb; // high word of wParam
    int expected;
};

// Each scroll code and key moves the bar it was sent to, and no other; OK stores where they left
// the bars.
TEST_F(BoxTest, OptionsBarsMoveByEachScrollCodeAndKeyAndOkStoresThem) {
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
        {KEY | VK_LEFT, 20, 0, 19},   {KEY | VK_RIGHT, 17, 0, 18},  {KEY | VK_PRIOR, 29, 0, 28},
        {KEY | VK_NEXT, 18, 0, 19},   {KEY | VK_HOME, 19, 0, 0},    {KEY | VK_END, 0, 0, 29},
    };
    // clang-format on
    // Each step checks the case before it and posts the next.
    std::vector<DialogStep> steps;
    for (int bar = 0; bar < 3; ++bar) {
        for (const ScrollCase& c : cases) {
            steps.push_back([bar, c](HWND dialog) {
                PostScroll(dialog, BAR_IDS[bar], SB_THUMBPOSITION, c.start);
                if (c.code & KEY) {
                    SetFocus(GetDlgItem(dialog, BAR_IDS[bar]));
                    PostKey(dialog, c.code & 0xFFFF);
                } else {
                    PostScroll(dialog, BAR_IDS[bar], c.code, c.thumb);
                }
            });
            steps.push_back([bar, c](HWND dialog) {
                std::vector<int> expected = DEFAULT_SHOWN;
                expected[bar] = c.expected;
                EXPECT_EQ(Shown(dialog), expected) << "bar " << BAR_IDS[bar] << ", code " << c.code
                                                   << " from " << c.start << ", thumb " << c.thumb;
                PostScroll(dialog, BAR_IDS[bar], SB_THUMBPOSITION, DEFAULT_SHOWN[bar]);
            });
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
        EXPECT_EQ(Shown(dialog), DEFAULT_SHOWN);
        PostScroll(dialog, IDC_GRAVITY_BAR, SB_LINELEFT); // 6 -> 5
        PostScroll(dialog, IDC_GRAVITY_BAR, SB_PAGELEFT); // 5 -> 4
        PostScroll(dialog, IDC_FUEL_BAR, SB_THUMBTRACK, 17);
        SetFocus(GetDlgItem(dialog, IDC_FUEL_BAR));
        PostKey(dialog, VK_RIGHT); // 17 -> 18
        PostKey(dialog, VK_NEXT);  // 18 -> 19
        // Beyond the bar's end: stored as the end, where the thumb is drawn.
        PostScroll(dialog, IDC_THRUST_BAR, SB_THUMBTRACK, 40);
        PostCommand(dialog, IDOK);
    });
    RunShownBox(ShowOptionsDialog, steps);
    GameSettings expected = DEFAULT_SETTINGS;
    expected.gravity = 2.3333333f; // 4/3 + 1, rounded once
    expected.initialFuel = 2000.0f;
    expected.mainThrust = 38750.0f;
    EXPECT_TRUE(SameSettings(settings, expected));
}

// In Options the player moves a bar, ticks both check boxes the other way (a click that is
// reported, and must not close the box) and presses Default.
void ChangeThenDefault(HWND dialog) {
    PostScroll(dialog, IDC_GRAVITY_BAR, SB_RIGHT);
    PostMessageA(GetDlgItem(dialog, IDC_REVERSE_SIDE_THRUST), BM_CLICK, 0, 0);
    PostMessageA(GetDlgItem(dialog, IDC_DRAW_FLAME), BM_CLICK, 0, 0);
    PostCommand(dialog, IDC_DEFAULT);
}

struct ClosingCase {
    const char* name;
    int button; // clicked, or else the box is closed the other way
    CloseWay way;
    bool stores; // in the Options box
};

// Default puts the bars back where the built-in settings have them and leaves the ticks. Only OK
// stores, and never the calibrated time step.
TEST_F(BoxTest, EveryWayOfClosingABoxGivesOneAndOnlyOkInOptionsStores) {
    const ClosingCase cases[] = {
        {"OK button", IDOK, {}, true},
        {"Enter", 0, CLOSE_BY_ENTER, true},
        {"Cancel button", IDCANCEL, {}, false},
        {"Escape", 0, CLOSE_BY_ESCAPE, false},
        {"WM_CLOSE", 0, CLOSE_BY_WM_CLOSE, false},
        {"close box", 0, CLOSE_BY_CLOSE_BOX, false},
    };
    const std::pair<const char*, ShowDialogFunction> boxes[] = {
        {"Options", ShowOptionsDialog}, {"About", ShowAboutDialog}, {"EndGame", ShowEndGameDialog}};
    for (const auto& [name, show] : boxes) {
        const bool options = show == ShowOptionsDialog;
        for (const ClosingCase& c : cases) {
            // Only the Options box has a Cancel button.
            if (c.button == IDCANCEL && !options) {
                continue;
            }
            SCOPED_TRACE(::testing::Message() << name << ", " << c.name);
            ResetWholeGame();
            flight.outcome = OUTCOME_MISSED_SITE;
            settings.gravity = 1.0f;
            settings.initialFuel = 3000.0f;
            settings.mainThrust = 6250.0f;
            settings.timeStep = 0.125f;
            const GameSettings before = settings;
            RunShownBox(show, {options ? ChangeThenDefault : [](HWND) {},
                               [options, &c](HWND dialog) {
                                   if (options) {
                                       EXPECT_EQ(Shown(dialog), (std::vector<int>{6, 9, 6, 1, 0}));
                                   }
                                   if (c.button != 0) {
                                       PostMessageA(GetDlgItem(dialog, c.button), BM_CLICK, 0, 0);
                                   } else {
                                       PostClose(dialog, c.way);
                                   }
                               }});
            GameSettings expected = before;
            if (c.stores && options) {
                expected.gravity = 3.0f;
                expected.initialFuel = 1000.0f;
                expected.mainThrust = 10000.0f;
                expected.reverseSideThrust = 1;
                expected.drawFlame = 0;
            }
            EXPECT_TRUE(SameSettings(settings, expected));
        }
    }
}

} // namespace
