// What the three boxes share: each opens, as the game opens it, with its controls where the player
// sees them, and only from its owner's module. How each closes: dialogs_options_test.cpp.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/instance.h"
#include "dialogs_driver.h"
#include "game/random.h"
#include "game/state.h"
#include "game_fixture.h"
#include "ui/dialogs.h"

namespace {

// Texts the design leaves open, told apart by their address.
const char ANY_TEXT[] = "any text that fits its control";
const char SET_BY_THE_BOX[] = "set by the box";
const char AN_ICON[] = "the game's icon";

// As the platform shows it at 96 dpi: a control's place in pixels of the box's inside, and of its
// styles those the player meets: the kind of control (default or plain push button, check box,
// text alignment, icon, horizontal bar), whether Tab stops on it and whether a group of controls
// the arrow keys move in starts there.
struct ShownControl {
    int id;
    const char* className;
    const char* text;
    RECT place;
    DWORD styles;
};

struct BoxCase {
    ShowDialogFunction show;
    const char* title;
    const char* face;                   // of the box's text, 16 pixels high
    RECT place;                         // its inside, on its owner's
    std::vector<ShownControl> controls; // in tab order
};

// clang-format off
const BoxCase BOXES[] = {
    {ShowOptionsDialog, "Tavune Options", "MS Sans Serif", {68, 76, 364, 284}, {
        {1, "Button", "OK", {212, 16, 280, 40}, BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP},
        {2, "Button", "Cancel", {212, 48, 280, 72}, BS_PUSHBUTTON | WS_TABSTOP | WS_GROUP},
        {103, "ScrollBar", "", {20, 20, 148, 36}, SBS_HORZ | WS_TABSTOP},
        {104, "ScrollBar", "", {20, 60, 148, 76}, SBS_HORZ | WS_TABSTOP},
        {105, "ScrollBar", "", {20, 100, 148, 116}, SBS_HORZ | WS_TABSTOP},
        {102, "Button", "Draw flame", {28, 144, 144, 168}, BS_AUTOCHECKBOX | WS_TABSTOP},
        {101, "Button", "Reverse side thrust", {28, 168, 180, 192}, BS_AUTOCHECKBOX | WS_TABSTOP},
        {111, "Static", "Fuel", {24, 76, 56, 92}, SS_LEFT | WS_GROUP},
        {112, "Static", "Gravity", {24, 36, 86, 52}, SS_LEFT},
        {113, "Static", "Thrust", {24, 116, 76, 132}, SS_LEFT},
        {106, "Button", "Default", {212, 96, 280, 120}, BS_PUSHBUTTON | WS_TABSTOP},
    }},
    // No font of its own: the system font.
    {ShowEndGameDialog, "", "System", {150, 124, 518, 294}, {
        {1, "Button", "OK", {152, 136, 216, 160}, BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP},
        {151, "Static", SET_BY_THE_BOX, {152, 12, 352, 48}, SS_LEFT | WS_GROUP},
        {152, "Static", SET_BY_THE_BOX, {152, 56, 352, 126}, SS_LEFT | WS_GROUP},
    }},
    {ShowAboutDialog, "About Tavune", "MS Sans Serif", {88, 82, 352, 222}, {
        {107, "Static", "Tavune v1.3", {156, 20, 240, 36}, SS_RIGHT},
        {0xFFFF, "Static", ANY_TEXT, {68, 48, 240, 64}, SS_RIGHT},
        {108, "Static", ANY_TEXT, {92, 64, 240, 80}, SS_RIGHT},
        {1, "Button", "OK", {100, 108, 164, 132}, BS_DEFPUSHBUTTON | WS_GROUP},
        {109, "Static", AN_ICON, {16, 16, 48, 48}, SS_ICON},
    }},
};
// clang-format on

// The window's rectangle, or for a box its inside, in its parent's or owner's client pixels.
std::vector<LONG> Place(HWND window, HWND parent, bool inside = false) {
    RECT place = {};
    if (inside) {
        GetClientRect(window, &place);
        MapWindowPoints(window, parent, reinterpret_cast<POINT*>(&place), 2);
    } else {
        GetWindowRect(window, &place);
        MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&place), 2);
    }
    return {place.left, place.top, place.right, place.bottom};
}

void ExpectControl(HWND dialog, HWND control, const ShownControl& want, const char* face) {
    EXPECT_EQ(LOWORD(GetDlgCtrlID(control)), want.id);
    char className[32] = {};
    GetClassNameA(control, className, sizeof className);
    EXPECT_STREQ(className, want.className);
    const RECT& p = want.place;
    EXPECT_EQ(Place(control, dialog), (std::vector<LONG>{p.left, p.top, p.right, p.bottom}));
    const DWORD style = static_cast<DWORD>(GetWindowLongA(control, GWL_STYLE));
    EXPECT_EQ(style & (0xFFFF | WS_TABSTOP | WS_GROUP | WS_VISIBLE | WS_DISABLED),
              want.styles | WS_VISIBLE)
        << std::hex << "0x" << style;
    EXPECT_EQ(GetWindowLongA(control, GWL_EXSTYLE) & (WS_EX_CLIENTEDGE | WS_EX_STATICEDGE), 0)
        << "no sunken edge";
    const std::string text = WindowText(control);
    if (want.text == AN_ICON) {
        EXPECT_EQ(SendMessageA(control, STM_GETICON, 0, 0),
                  reinterpret_cast<LRESULT>(LoadIconA(appInstance, "TAVUNE")));
    } else if (want.text != SET_BY_THE_BOX && *want.text != '\0') {
        EXPECT_TRUE(want.text == ANY_TEXT ? !text.empty() : text == want.text) << text;
        // In the box's font, and on one line: every letter shows.
        const TextLook look = LookOfText(control);
        EXPECT_EQ(look.face, face);
        EXPECT_EQ(look.height, 16);
        EXPECT_LE(look.width, p.right - p.left) << text;
    }
}

void ExpectBox(HWND dialog, const BoxCase& box) {
    EXPECT_EQ(WindowText(dialog), box.title);
    char className[32] = {};
    GetClassNameA(dialog, className, sizeof className);
    EXPECT_STREQ(className, "#32770") << "the platform's dialog class";
    EXPECT_EQ(GetMenu(dialog), nullptr);
    // A caption with a close box, a frame of fixed size, no minimise or maximise box.
    const DWORD style = static_cast<DWORD>(GetWindowLongA(dialog, GWL_STYLE));
    EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX),
              static_cast<DWORD>(WS_CAPTION | WS_SYSMENU))
        << std::hex << "0x" << style;
    EXPECT_TRUE(GetWindowLongA(dialog, GWL_EXSTYLE) & WS_EX_DLGMODALFRAME);
    const RECT& p = box.place;
    EXPECT_EQ(Place(dialog, GetWindow(dialog, GW_OWNER), true),
              (std::vector<LONG>{p.left, p.top, p.right, p.bottom}));
    HWND child = GetWindow(dialog, GW_CHILD);
    for (const ShownControl& want : box.controls) {
        SCOPED_TRACE(::testing::Message() << "control " << want.id);
        ASSERT_NE(child, nullptr) << "missing";
        ExpectControl(dialog, child, want, box.face);
        child = GetWindow(child, GW_HWNDNEXT);
    }
    EXPECT_EQ(child, nullptr) << "no control beyond these";
}

// Each box opens with its controls, and only from its owner's module: from a window of a module
// without our templates no box opens, and nothing changes.
TEST(DialogsTest, EachBoxOpensWithItsControlsInPlaceFromItsOwnersModule) {
    const HWND stranger = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                          GetModuleHandleA("kernel32.dll"), nullptr);
    ASSERT_NE(stranger, nullptr);
    for (const BoxCase& box : BOXES) {
        SCOPED_TRACE(box.title);
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
