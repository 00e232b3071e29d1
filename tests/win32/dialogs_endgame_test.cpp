// The end-of-flight box: the title, message and picture for each outcome, as the player sees them.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "dialogs_driver.h"
#include "game/random.h"
#include "game/state.h"
#include "game_fixture.h"
#include "ui/dialogs.h"
#include "win32_test_util.h"

namespace {

// The picture, 96 x 97, is drawn at (20, 20) of the box's inside.
const int PICTURE_WIDTH = 96;
const int PICTURE_HEIGHT = 97;
const int LANDED_SCENE = 24;
const int CRASH_SCENE = 25;

// A vertical crash is announced by one of these, drawn at random.
const std::set<std::string> CRASH_REMARKS = {
    "Too much vertical velocity. Your landing speed must be under 10 m/sec.",
    "Nice crater! All that training really payed off.", "You just dug a hole half way to Clavius."};

int NextRandomAfter(uint32_t seed, int draws) {
    SeedRandom(seed);
    for (int i = 0; i < draws; ++i) {
        NextRandom();
    }
    return NextRandom();
}

// Whether a control's text, drawn in its own font and wrapped at its width, fits its height.
bool TextFits(HWND control) {
    RECT place = {};
    GetClientRect(control, &place);
    const int height = place.bottom;
    const std::string text = WindowText(control);
    const HDC dc = GetDC(control);
    const HGDIOBJ old =
        SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(control, WM_GETFONT, 0, 0)));
    DrawTextA(dc, text.c_str(), -1, &place, DT_WORDBREAK | DT_CALCRECT);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    return place.bottom <= height;
}

class EndGameDialogTest : public GameTest {};

struct OutcomeCase {
    uint8_t outcome;
    const char* title;
    const char* message; // nullptr: one of the crash remarks
    int picture;
    int draws; // from the shared sequence
};

TEST_F(EndGameDialogTest, AnnouncesEachOutcomeWithItsTextsAndPicture) {
    const OutcomeCase cases[] = {
        {OUTCOME_LANDED, "Congratulations!", "You have landed safely.", LANDED_SCENE, 0},
        {OUTCOME_VERTICAL_CRASH, "CRASH!", nullptr, CRASH_SCENE, 1},
        {OUTCOME_HORIZONTAL_CRASH, "CRASH!",
         "Too much horizontal velocity. Your horizontal motion must be less than 1 m/sec.",
         CRASH_SCENE, 0},
        {OUTCOME_MISSED_SITE, "CRASH!", "Missed the landing site. You must land on flat terrain.",
         CRASH_SCENE, 0},
        {OUTCOME_LOST, "Tavune Lost!",
         "You are out of range of the command module and presumed lost.", CRASH_SCENE, 0},
        // No flight has ended (or the outcome is unknown): a neutral announcement, no draw.
        {0, "Flight over", "The flight has ended.", CRASH_SCENE, 0},
        {6, "Flight over", "The flight has ended.", CRASH_SCENE, 0},
        {255, "Flight over", "The flight has ended.", CRASH_SCENE, 0},
    };
    // Otherwise the picture checks could not tell a landing from a crash.
    ASSERT_NE(ResourcePixels(LANDED_SCENE, PICTURE_WIDTH, PICTURE_HEIGHT),
              ResourcePixels(CRASH_SCENE, PICTURE_WIDTH, PICTURE_HEIGHT));
    const COLORREF colour = GetSysColor(COLOR_3DFACE);
    const DWORD face = (GetRValue(colour) << 16) | (GetGValue(colour) << 8) | GetBValue(colour);
    const int w = PICTURE_WIDTH + 2;
    std::set<std::string> remarksShown;
    for (const OutcomeCase& c : cases) {
        // The picture at 20..115 x 20..116 and nothing of it outside: a frame of the face colour.
        const std::vector<DWORD> picture = ResourcePixels(c.picture, PICTURE_WIDTH, PICTURE_HEIGHT);
        std::vector<DWORD> framed(w * (PICTURE_HEIGHT + 2), face);
        for (int row = 0; row < PICTURE_HEIGHT; ++row) {
            std::copy_n(&picture[row * PICTURE_WIDTH], PICTURE_WIDTH, &framed[(row + 1) * w + 1]);
        }
        // A crash remark at random, over enough openings for each of the three to come up.
        for (uint32_t seed = 1; seed <= (c.message == nullptr ? 12u : 1u); ++seed) {
            SCOPED_TRACE(::testing::Message() << "outcome " << int{c.outcome} << ", seed " << seed);
            ResetWholeGame();
            flight.outcome = c.outcome;
            flight.phase = PHASE_DIALOG;
            flight.altitude = -3.5f;
            const FlightState flightBefore = flight;
            SeedRandom(seed);
            // Looked at once the box is shown, at its loop's first idle.
            const int result = RunDialog(
                ShowEndGameDialog,
                {[](HWND) {},
                 [&](HWND dialog) {
                     UpdateWindow(dialog);
                     const HWND title = GetDlgItem(dialog, 151);
                     const HWND message = GetDlgItem(dialog, 152);
                     EXPECT_EQ(WindowText(title), c.title);
                     const std::string shown = WindowText(message);
                     if (c.message == nullptr) {
                         EXPECT_EQ(CRASH_REMARKS.count(shown), 1u) << shown;
                         remarksShown.insert(shown);
                     } else {
                         EXPECT_EQ(shown, c.message);
                     }
                     // In Helv, the title in letters taller than the message's; both wholly shown.
                     const TextLook titleLook = LookOfText(title);
                     const TextLook messageLook = LookOfText(message);
                     EXPECT_EQ(titleLook.height, 20);
                     EXPECT_EQ(messageLook.height, 16);
                     for (const TextLook& look : {titleLook, messageLook}) {
                         EXPECT_EQ(look.face, "Helv");
                         EXPECT_EQ(look.weight, FW_NORMAL);
                     }
                     EXPECT_TRUE(TextFits(title));
                     EXPECT_TRUE(TextFits(message));
                     EXPECT_EQ(GetFocus(), GetDlgItem(dialog, IDOK));
                     EXPECT_TRUE(WindowPixels(dialog, 19, 19, w, PICTURE_HEIGHT + 2) == framed);
                     PostCommand(dialog, IDOK);
                 }});
            EXPECT_EQ(result, 1);
            // The box draws from the shared sequence only for a vertical crash, and only once.
            const int next = NextRandom();
            EXPECT_EQ(next, NextRandomAfter(seed, c.draws));
            EXPECT_EQ(std::memcmp(&flight, &flightBefore, sizeof flight), 0);
            EXPECT_EQ(std::memcmp(&settings, &DEFAULT_SETTINGS, sizeof settings), 0);
        }
    }
    EXPECT_EQ(remarksShown, CRASH_REMARKS) << "every remark comes up";
}

} // namespace
