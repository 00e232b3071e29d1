#include <gtest/gtest.h>

#include <windows.h>

#include "dialogs_driver.h"
#include "game/state.h"
#include "game_fixture.h"
#include "ui/dialogs.h"
#include "win32_test_util.h"

namespace {

// The count is exact (a scan of the handle table, see below), so a box that leaks one object per
// opening is caught after a single opening; more openings are there for leaks on a path taken
// only sometimes. The crash box picks one of three remarks at random: 30 openings miss one of
// them with a chance of 3 * (2/3)^30, about 1 in 60000.
const int OPENINGS = 30;

// Opens the box and closes it from its own queue before it is shown. It is painted once while
// hidden, so that the paint path runs every time too.
int OpenAndClose(ShowDialogFunction show) {
    return RunDialog(show, {[](HWND dialog) {
                         SendMessageA(dialog, WM_PAINT, 0, 0);
                         PostCommand(dialog, IDOK);
                     }});
}

TEST(DialogLeakTest, NoBoxLeavesGdiObjectsBehind) {
    struct Box {
        const char* name;
        ShowDialogFunction show;
        uint8_t outcome;
    };
    const Box boxes[] = {{"Options", ShowOptionsDialog, 0},
                         {"EndGame, landed", ShowEndGameDialog, OUTCOME_LANDED},
                         {"EndGame, crashed", ShowEndGameDialog, OUTCOME_VERTICAL_CRASH},
                         {"About", ShowAboutDialog, 0}};
    for (const Box& box : boxes) {
        SCOPED_TRACE(box.name);
        ResetWholeGame();
        flight.outcome = box.outcome;
        // The first openings may fill the platform's own caches (fonts, the icon).
        for (int i = 0; i < 5; ++i) {
            ASSERT_EQ(OpenAndClose(box.show), 1);
        }
        const int before = CountGdiObjects();
        for (int i = 0; i < OPENINGS; ++i) {
            EXPECT_EQ(OpenAndClose(box.show), 1);
        }
        EXPECT_EQ(CountGdiObjects(), before);
    }
}

} // namespace
