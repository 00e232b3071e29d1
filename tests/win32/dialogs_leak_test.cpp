#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>

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

// Objects counted by scanning the handle table (CountGdiObjects): GetGuiResources answers 0 here.
void ExpectNoObjectsLeft(const char* name, ShowDialogFunction show) {
    // The first openings may fill the platform's own caches (fonts, the icon).
    for (int i = 0; i < 5; ++i) {
        ASSERT_EQ(OpenAndClose(show), 1);
    }
    const int before = CountGdiObjects();
    int failures = 0;
    for (int i = 0; i < OPENINGS; ++i) {
        if (OpenAndClose(show) != 1) {
            ++failures;
        }
    }
    const int after = CountGdiObjects();
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(after, before);
    std::printf("%s: %d GDI objects before %d openings, %d after\n", name, before, OPENINGS, after);
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
        ExpectNoObjectsLeft(box.name, box.show);
    }
}

} // namespace
