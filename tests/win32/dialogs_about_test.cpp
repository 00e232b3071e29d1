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

TEST_F(AboutDialogTest, ShowsTheIconAndTheTemplateTexts) {
    const int result = RunDialog(
        ShowAboutDialog, {[](HWND) {},
                          [](HWND dialog) {
                              const HWND icon = GetDlgItem(dialog, IDC_ABOUT_ICON);
                              EXPECT_NE(SendMessageA(icon, STM_GETICON, 0, 0), 0);
                              EXPECT_EQ(WindowText(dialog), "About Tavune");
                              EXPECT_EQ(ControlText(dialog, IDC_ABOUT_VERSION), "Tavune v1.3");
                              EXPECT_NE(ControlText(dialog, IDC_ABOUT_NOTICE), "");
                              EXPECT_EQ(ControlText(dialog, IDOK), "OK");
                              PostCommand(dialog, IDOK);
                          }});
    EXPECT_EQ(result, 1);
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
