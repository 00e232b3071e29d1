#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>

#include "dialogs_driver.h"
#include "game/random.h"
#include "game/state.h"
#include "game_fixture.h"
#include "resource.h"
#include "ui/dialogs.h"

namespace {

class AboutDialogTest : public ::testing::Test {
  protected:
    void SetUp() override { ResetWholeGame(); }
};

// It shows its template, whose texts and icon the resources' test checks, control by control.
TEST_F(AboutDialogTest, ShowsItsTemplate) {
    const int result =
        RunDialog(ShowAboutDialog, {[](HWND) {},
                                    [](HWND dialog) {
                                        EXPECT_EQ(WindowText(dialog), "About Tavune");
                                        PostCommand(dialog, IDOK);
                                    }});
    EXPECT_EQ(result, 1);
}

TEST_F(AboutDialogTest, EveryWayOfClosingGivesOne) {
    const CloseWay ways[] = {CLOSE_BY_ESCAPE, CLOSE_BY_ENTER, CLOSE_BY_WM_CLOSE,
                             CLOSE_BY_CLOSE_BOX};
    for (CloseWay way : ways) {
        SCOPED_TRACE(CloseWayName(way));
        EXPECT_EQ(RunDialog(ShowAboutDialog,
                            {[](HWND) {}, [way](HWND dialog) { PostClose(dialog, way); }}),
                  1);
    }
    EXPECT_EQ(
        RunDialog(ShowAboutDialog,
                  {[](HWND) {},
                   [](HWND dialog) { PostMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0); }}),
        1);
}

struct BoxCase {
    const char* name;
    ShowDialogFunction show;
};

const BoxCase BOXES[] = {
    {"Options", ShowOptionsDialog},
    {"EndGame", ShowEndGameDialog},
    {"About", ShowAboutDialog},
};

TEST(DialogsTest, EachBoxComesFromItsOwnersModule) {
    // A window of a module without our templates: no box can open, and nothing changes.
    const HWND stranger = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                          GetModuleHandleA("kernel32.dll"), nullptr);
    ASSERT_NE(stranger, nullptr);
    for (const BoxCase& box : BOXES) {
        SCOPED_TRACE(box.name);
        ResetWholeGame();
        flight.outcome = OUTCOME_VERTICAL_CRASH;
        SeedRandom(99);
        EXPECT_EQ(box.show(stranger), -1);
        const int next = NextRandom();
        EXPECT_EQ(std::memcmp(&settings, &DEFAULT_SETTINGS, sizeof settings), 0);
        SeedRandom(99);
        EXPECT_EQ(next, NextRandom()); // the box drew nothing
    }
    DestroyWindow(stranger);
}

} // namespace
