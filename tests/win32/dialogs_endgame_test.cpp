#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "app/instance.h"
#include "dialogs_driver.h"
#include "game/random.h"
#include "game/state.h"
#include "game_fixture.h"
#include "resource.h"
#include "ui/dialogs.h"
#include "win32_test_util.h"

namespace {

const int PICTURE_X = 20;
const int PICTURE_Y = 20;
const int PICTURE_WIDTH = 96;
const int PICTURE_HEIGHT = 97;

const char VERTICAL_REMARK[] =
    "Too much vertical velocity. Your landing speed must be under 10 m/sec.";
const char CRATER_REMARK[] = "Nice crater! All that training really payed off.";
const char CLAVIUS_REMARK[] = "You just dug a hole half way to Clavius.";

int NextRandomAfter(uint32_t seed, int draws) {
    SeedRandom(seed);
    for (int i = 0; i < draws; ++i) {
        NextRandom();
    }
    return NextRandom();
}

// The first seed whose first draw picks crash remark r.
uint32_t SeedForRemark(int r) {
    uint32_t seed = 1;
    while (NextRandomAfter(seed, 0) % 3 != r) {
        ++seed;
    }
    return seed;
}

class EndGameDialogTest : public GameTest {};

struct OutcomeCase {
    uint8_t outcome;
    const char* title;
    const char* message;
    int picture;
    int draws;
    int remark = 0; // the seed is the first whose first draw picks this remark
};

TEST_F(EndGameDialogTest, AnnouncesEachOutcomeWithItsTextsAndPicture) {
    const OutcomeCase cases[] = {
        {OUTCOME_LANDED, "Congratulations!", "You have landed safely.", IDB_LANDED_SCENE, 0},
        // A vertical crash picks its remark by the draw modulo three.
        {OUTCOME_VERTICAL_CRASH, "CRASH!", VERTICAL_REMARK, IDB_CRASH_SCENE, 1, 0},
        {OUTCOME_VERTICAL_CRASH, "CRASH!", CRATER_REMARK, IDB_CRASH_SCENE, 1, 1},
        {OUTCOME_VERTICAL_CRASH, "CRASH!", CLAVIUS_REMARK, IDB_CRASH_SCENE, 1, 2},
        {OUTCOME_HORIZONTAL_CRASH, "CRASH!",
         "Too much horizontal velocity. Your horizontal motion must be less than 1 m/sec.",
         IDB_CRASH_SCENE, 0},
        {OUTCOME_MISSED_SITE, "CRASH!", "Missed the landing site. You must land on flat terrain.",
         IDB_CRASH_SCENE, 0},
        {OUTCOME_LOST, "Tavune Lost!",
         "You are out of range of the command module and presumed lost.", IDB_CRASH_SCENE, 0},
        // No flight has ended (or the outcome is unknown): a neutral announcement, no draw.
        {0, "Flight over", "The flight has ended.", IDB_CRASH_SCENE, 0},
        {6, "Flight over", "The flight has ended.", IDB_CRASH_SCENE, 0},
        {255, "Flight over", "The flight has ended.", IDB_CRASH_SCENE, 0},
    };
    // Otherwise the picture checks could not tell a landing from a crash.
    ASSERT_NE(ResourcePixels(IDB_LANDED_SCENE, PICTURE_WIDTH, PICTURE_HEIGHT),
              ResourcePixels(IDB_CRASH_SCENE, PICTURE_WIDTH, PICTURE_HEIGHT));
    const COLORREF colour = GetSysColor(COLOR_3DFACE);
    const DWORD face = (GetRValue(colour) << 16) | (GetGValue(colour) << 8) | GetBValue(colour);
    const int w = PICTURE_WIDTH + 2;
    for (const OutcomeCase& c : cases) {
        SCOPED_TRACE(::testing::Message() << "outcome " << int{c.outcome} << ", " << c.message);
        ResetWholeGame();
        const uint32_t seed = SeedForRemark(c.remark);
        flight.outcome = c.outcome;
        flight.phase = PHASE_DIALOG;
        flight.altitude = -3.5f;
        const FlightState flightBefore = flight;
        // The picture at 20..115 x 20..116 and nothing of it outside: a frame of the face colour.
        const std::vector<DWORD> picture = ResourcePixels(c.picture, PICTURE_WIDTH, PICTURE_HEIGHT);
        std::vector<DWORD> framed(w * (PICTURE_HEIGHT + 2), face);
        for (int row = 0; row < PICTURE_HEIGHT; ++row) {
            std::copy_n(&picture[row * PICTURE_WIDTH], PICTURE_WIDTH, &framed[(row + 1) * w + 1]);
        }
        SeedRandom(seed);
        const int result = RunDialog(
            ShowEndGameDialog, {[&](HWND dialog) {
                                    EXPECT_EQ(ControlText(dialog, IDC_ENDGAME_TITLE), c.title);
                                    EXPECT_EQ(ControlText(dialog, IDC_ENDGAME_MESSAGE), c.message);
                                    EXPECT_EQ(WindowText(dialog), "");
                                },
                                [&](HWND dialog) {
                                    UpdateWindow(dialog);
                                    EXPECT_EQ(GetFocus(), GetDlgItem(dialog, IDOK));
                                    EXPECT_TRUE(WindowPixels(dialog, PICTURE_X - 1, PICTURE_Y - 1,
                                                             w, PICTURE_HEIGHT + 2) == framed);
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

TEST_F(EndGameDialogTest, FontsAreHelvScaledToTheClientHeight) {
    flight.outcome = OUTCOME_LANDED;
    HFONT fonts[2] = {};
    int clientHeight = 0;
    const int result = RunDialog(
        ShowEndGameDialog, {[&](HWND dialog) {
            RECT client;
            GetClientRect(dialog, &client);
            clientHeight = client.bottom - client.top;
            const int ids[2] = {IDC_ENDGAME_TITLE, IDC_ENDGAME_MESSAGE};
            const int heights[2] = {clientHeight / 7, clientHeight / 10};
            for (int i = 0; i < 2; ++i) {
                SCOPED_TRACE(ids[i]);
                fonts[i] = reinterpret_cast<HFONT>(
                    SendMessageA(GetDlgItem(dialog, ids[i]), WM_GETFONT, 0, 0));
                LOGFONTA font = {};
                ASSERT_EQ(GetObjectA(fonts[i], sizeof font, &font), static_cast<int>(sizeof font));
                // clang-format off
                const LOGFONTA want = {heights[i], 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                    ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, PROOF_QUALITY,
                    VARIABLE_PITCH | FF_DONTCARE, "Helv"};
                // clang-format on
                EXPECT_EQ(std::memcmp(&font, &want, offsetof(LOGFONTA, lfFaceName)), 0)
                    << "height " << font.lfHeight << " for " << want.lfHeight;
                EXPECT_STREQ(font.lfFaceName, want.lfFaceName);
            }
            // The OK button keeps the box's own font.
            const HFONT buttonFont =
                reinterpret_cast<HFONT>(SendMessageA(GetDlgItem(dialog, IDOK), WM_GETFONT, 0, 0));
            EXPECT_NE(buttonFont, fonts[0]);
            EXPECT_NE(buttonFont, fonts[1]);
            PostCommand(dialog, IDOK);
        }});
    EXPECT_EQ(result, 1);
    EXPECT_GT(clientHeight, 0);
    // Closing deleted both fonts.
    EXPECT_EQ(GetObjectType(fonts[0]), 0u);
    EXPECT_EQ(GetObjectType(fonts[1]), 0u);
}

} // namespace
