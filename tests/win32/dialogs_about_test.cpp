// What the three boxes share: each opens, as the game opens it, with its designed controls, and
// only from its owner's module. How each closes: dialogs_options_test.cpp.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "dialogs_driver.h"
#include "game/random.h"
#include "game/state.h"
#include "game_fixture.h"
#include "ui/dialogs.h"

namespace {

// Texts the design leaves open, told apart by their address.
const char ANY_SHORT[] = "any short text of the implementer's choosing";
const char SET_BY_THE_BOX[] = "set by the box";
const char AN_ICON[] = "the game's icon, found by the name the control holds";

// Ids as numbers, not from resource.h, so that a changed id there is caught here.
struct DesignedControl {
    int id;
    const char* className;
    const char* text;
    RECT place;   // dialog units: left, top, width, height
    DWORD styles; // besides WS_CHILD | WS_VISIBLE
};

struct BoxCase {
    const char* name;
    ShowDialogFunction show;
    const char* title;
    const char* face; // nullptr: the system font
    RECT place;       // dialog units, from the owner's client area: left, top, width, height
    std::vector<DesignedControl> controls; // in tab order
};

// clang-format off
const BoxCase BOXES[] = {
    {"Options", ShowOptionsDialog, "Tavune Options", "MS Sans Serif", {34, 38, 148, 104}, {
        {1, "Button", "OK", {106, 8, 34, 12}, BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP},
        {2, "Button", "Cancel", {106, 24, 34, 12}, BS_PUSHBUTTON | WS_TABSTOP | WS_GROUP},
        {103, "ScrollBar", "", {10, 10, 64, 8}, SBS_HORZ | WS_TABSTOP},
        {104, "ScrollBar", "", {10, 30, 64, 8}, SBS_HORZ | WS_TABSTOP},
        {105, "ScrollBar", "", {10, 50, 64, 8}, SBS_HORZ | WS_TABSTOP},
        {102, "Button", "Draw flame", {14, 72, 58, 12}, BS_AUTOCHECKBOX | WS_TABSTOP},
        {101, "Button", "Reverse side thrust", {14, 84, 76, 12},
         BS_AUTOCHECKBOX | WS_TABSTOP},
        {111, "Static", "Fuel", {12, 38, 16, 8}, SS_LEFT | WS_GROUP},
        {112, "Static", "Gravity", {12, 18, 31, 8}, SS_LEFT},
        {113, "Static", "Thrust", {12, 58, 26, 8}, SS_LEFT},
        {106, "Button", "Default", {106, 48, 34, 12}, BS_PUSHBUTTON | WS_TABSTOP},
    }},
    // No font of its own: the box, its dialog units and its OK button use the system font.
    {"EndGame", ShowEndGameDialog, "", nullptr, {75, 62, 184, 85}, {
        {1, "Button", "OK", {76, 68, 32, 12}, BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP},
        {151, "Static", SET_BY_THE_BOX, {76, 6, 100, 18}, SS_LEFT | WS_GROUP},
        {152, "Static", SET_BY_THE_BOX, {76, 28, 100, 35}, SS_LEFT | WS_GROUP},
    }},
    {"About", ShowAboutDialog, "About Tavune", "MS Sans Serif", {44, 41, 132, 70}, {
        {107, "Static", "Tavune v1.3", {78, 10, 42, 8}, SS_RIGHT},
        {0xFFFF, "Static", ANY_SHORT, {34, 24, 86, 8}, SS_RIGHT},
        {108, "Static", ANY_SHORT, {46, 32, 74, 8}, SS_RIGHT},
        {1, "Button", "OK", {50, 54, 32, 12}, BS_DEFPUSHBUTTON | WS_GROUP},
        // Sized by its icon, so only its corner is designed.
        {109, "Static", AN_ICON, {8, 8, 0, 0}, SS_ICON},
    }},
};
// clang-format on

// The design's rectangle in the box's own dialog units, as pixels.
RECT InPixels(HWND dialog, const RECT& place) {
    RECT pixels = {place.left, place.top, place.left + place.right, place.top + place.bottom};
    MapDialogRect(dialog, &pixels);
    return pixels;
}

void ExpectControl(HWND dialog, HWND control, const DesignedControl& want) {
    EXPECT_EQ(LOWORD(GetDlgCtrlID(control)), want.id);
    char className[32] = {};
    GetClassNameA(control, className, sizeof className);
    EXPECT_STREQ(className, want.className);
    const std::string text = WindowText(control);
    const DWORD style = static_cast<DWORD>(GetWindowLongA(control, GWL_STYLE));
    if (want.text == AN_ICON) {
        EXPECT_NE(SendMessageA(control, STM_GETICON, 0, 0), 0) << "the control holds no icon";
    } else if (want.text == ANY_SHORT) {
        EXPECT_NE(text, "");
        EXPECT_LE(text.size(), 24u) << "fits its one line";
    } else if (want.text != SET_BY_THE_BOX) {
        EXPECT_EQ(text, want.text);
    }
    EXPECT_EQ(style, WS_CHILD | WS_VISIBLE | want.styles) << std::hex << "0x" << style;
    // Only the dialog manager's own mark: the template gives no frame or edge.
    EXPECT_EQ(GetWindowLongA(control, GWL_EXSTYLE), WS_EX_NOPARENTNOTIFY);
    RECT place = {};
    GetWindowRect(control, &place);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&place), 2);
    const RECT designed = InPixels(dialog, want.place);
    EXPECT_EQ(place.left, designed.left);
    EXPECT_EQ(place.top, designed.top);
    if (want.place.right != 0) {
        EXPECT_EQ(place.right, designed.right);
        EXPECT_EQ(place.bottom, designed.bottom);
    }
}

void ExpectBox(HWND dialog, const BoxCase& box) {
    EXPECT_EQ(WindowText(dialog), box.title);
    char className[32] = {};
    GetClassNameA(dialog, className, sizeof className);
    EXPECT_STREQ(className, "#32770") << "the platform's dialog class";
    EXPECT_EQ(GetMenu(dialog), nullptr);
    // The template's style, with what the platform adds to every box (shown, clipped, 3-D).
    const DWORD style = static_cast<DWORD>(GetWindowLongA(dialog, GWL_STYLE)) &
                        ~static_cast<DWORD>(WS_VISIBLE | WS_CLIPSIBLINGS | DS_3DLOOK);
    EXPECT_EQ(style, static_cast<DWORD>(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME |
                                        (box.face != nullptr ? DS_SETFONT : 0)))
        << std::hex << "0x" << style;
    const HFONT font = reinterpret_cast<HFONT>(SendMessageA(dialog, WM_GETFONT, 0, 0));
    if (box.face == nullptr) {
        EXPECT_EQ(font, nullptr);
    } else {
        LOGFONTA logical = {};
        ASSERT_EQ(GetObjectA(font, sizeof logical, &logical), static_cast<int>(sizeof logical));
        EXPECT_STREQ(logical.lfFaceName, box.face);
        const HDC screen = GetDC(nullptr);
        EXPECT_EQ(logical.lfHeight, -MulDiv(10, GetDeviceCaps(screen, LOGPIXELSY), 72));
        ReleaseDC(nullptr, screen);
    }
    // Its inside, placed on its owner's.
    RECT client = {};
    GetClientRect(dialog, &client);
    MapWindowPoints(dialog, GetWindow(dialog, GW_OWNER), reinterpret_cast<POINT*>(&client), 2);
    const RECT designed = InPixels(dialog, box.place);
    EXPECT_EQ(client.left, designed.left);
    EXPECT_EQ(client.top, designed.top);
    EXPECT_EQ(client.right, designed.right);
    EXPECT_EQ(client.bottom, designed.bottom);

    HWND child = GetWindow(dialog, GW_CHILD);
    for (const DesignedControl& want : box.controls) {
        SCOPED_TRACE(::testing::Message() << "control " << want.id);
        ASSERT_NE(child, nullptr) << "missing";
        ExpectControl(dialog, child, want);
        child = GetWindow(child, GW_HWNDNEXT);
    }
    EXPECT_EQ(child, nullptr) << "no control beyond the designed ones";
}

// Each box opens with its designed controls, and only from its owner's module: from a window of a
// module without our templates no box opens, and nothing changes.
TEST(DialogsTest, EachBoxOpensWithItsDesignedControlsFromItsOwnersModule) {
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
        EXPECT_EQ(RunDialog(box.show, {[](HWND) {},
                                       [&box](HWND dialog) {
                                           ExpectBox(dialog, box);
                                           PostClose(dialog, CLOSE_BY_WM_CLOSE);
                                       }}),
                  1);
    }
    DestroyWindow(stranger);
}

} // namespace
