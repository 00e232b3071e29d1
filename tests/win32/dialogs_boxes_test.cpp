// What the player sees of the three boxes: each opens, as the game opens it, with its controls in
// place and only from its owner's module; the end box tells each outcome by its texts and picture.
// How each closes: dialogs_options_test.cpp.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "app/instance.h"
#include "dialogs_driver.h"
#include "game/random.h"
#include "game/state.h"
#include "ui/dialogs.h"
#include "win32_test_util.h"

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
    std::vector<LONG> place;
    DWORD styles;
};

struct BoxCase {
    ShowDialogFunction show;
    const char* title;
    const char* face;                   // of the box's text, 16 pixels high
    std::vector<LONG> place;            // its inside, on its owner's
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

std::string WindowText(HWND window) {
    char text[512] = {};
    SendMessageA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    return text;
}

// How a window's text is drawn: its font's face, cell height in pixels and weight (the system
// font's if it has none of its own), and whether it fits the window, wrapped at its width.
struct TextLook {
    std::string face;
    int height;
    int weight;
    bool fits;
};

TextLook LookOfText(HWND window) {
    const HDC dc = GetDC(window);
    const HGDIOBJ font = reinterpret_cast<HGDIOBJ>(SendMessageA(window, WM_GETFONT, 0, 0));
    const HGDIOBJ old = SelectObject(dc, font != nullptr ? font : GetStockObject(SYSTEM_FONT));
    char face[LF_FACESIZE] = {};
    GetTextFaceA(dc, sizeof face, face);
    TEXTMETRICA metrics = {};
    GetTextMetricsA(dc, &metrics);
    RECT inside = {};
    GetClientRect(window, &inside);
    RECT text = inside;
    DrawTextA(dc, WindowText(window).c_str(), -1, &text, DT_WORDBREAK | DT_CALCRECT);
    SelectObject(dc, old);
    ReleaseDC(window, dc);
    return {face, static_cast<int>(metrics.tmHeight), static_cast<int>(metrics.tmWeight),
            text.right <= inside.right && text.bottom <= inside.bottom};
}

// The window's rectangle, or for a box its inside, in its parent's or owner's client pixels.
std::vector<LONG> Place(HWND window, HWND parent, bool inside = false) {
    RECT place = {};
    inside ? GetClientRect(window, &place) : GetWindowRect(window, &place);
    MapWindowPoints(inside ? window : nullptr, parent, reinterpret_cast<POINT*>(&place), 2);
    return {place.left, place.top, place.right, place.bottom};
}

void ExpectControl(HWND dialog, HWND control, const ShownControl& want, const char* face) {
    EXPECT_EQ(LOWORD(GetDlgCtrlID(control)), want.id);
    char className[32] = {};
    GetClassNameA(control, className, sizeof className);
    EXPECT_STREQ(className, want.className);
    EXPECT_EQ(Place(control, dialog), want.place);
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
        // In the box's font, one line high: every letter shows.
        const TextLook look = LookOfText(control);
        EXPECT_EQ(look.face, face);
        EXPECT_EQ(look.height, 16);
        EXPECT_TRUE(look.fits) << text;
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
    EXPECT_EQ(Place(dialog, GetWindow(dialog, GW_OWNER), true), box.place);
    HWND child = GetWindow(dialog, GW_CHILD);
    for (const ShownControl& want : box.controls) {
        SCOPED_TRACE(::testing::Message() << "control " << want.id);
        ASSERT_NE(child, nullptr) << "missing";
        ExpectControl(dialog, child, want, box.face);
        child = GetWindow(child, GW_HWNDNEXT);
    }
    EXPECT_EQ(child, nullptr) << "no control beyond these";
}

// From a window of a module without our templates no box opens, and nothing changes.
TEST_F(BoxTest, EachBoxOpensWithItsControlsInPlaceFromItsOwnersModule) {
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
        RunShownBox(box.show, {[&box](HWND dialog) {
                        ExpectBox(dialog, box);
                        PostClose(dialog, CLOSE_BY_WM_CLOSE);
                    }});
    }
    DestroyWindow(stranger);
}

// The picture, 96 x 97, is drawn at (20, 20) of the box's inside.
const int PICTURE_WIDTH = 96;
const int PICTURE_HEIGHT = 97;
const int LANDED_SCENE = 24;
const int CRASH_SCENE = 25;

// A vertical crash is announced by one of these, drawn at random.
const std::set<std::string> CRASH_REMARKS = {
    "Too much vertical velocity. Your landing speed must be under 10 m/sec.",
    "Nice crater! All that training really payed off.", "You just dug a hole half way to Clavius."};

struct OutcomeCase {
    uint8_t outcome;
    const char* title;
    const char* message; // nullptr: one of the crash remarks, the box's one draw at random
    int picture;
};

// Looked at once the box is shown: its texts, their fonts and the picture framed by the face.
void ExpectOutcome(HWND dialog, const OutcomeCase& c, const std::vector<DWORD>& framed,
                   std::set<std::string>& remarksShown) {
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
    for (const auto& [control, height] : {std::pair{title, 20}, std::pair{message, 16}}) {
        const TextLook look = LookOfText(control);
        EXPECT_EQ(look.height, height);
        EXPECT_EQ(look.face, "Helv");
        EXPECT_EQ(look.weight, FW_NORMAL);
        EXPECT_TRUE(look.fits);
    }
    EXPECT_EQ(GetFocus(), GetDlgItem(dialog, IDOK));
    EXPECT_TRUE(WindowPixels(dialog, 19, 19, PICTURE_WIDTH + 2, PICTURE_HEIGHT + 2) == framed);
}

TEST_F(BoxTest, TheEndBoxAnnouncesEachOutcomeWithItsTextsAndPicture) {
    const OutcomeCase cases[] = {
        {OUTCOME_LANDED, "Congratulations!", "You have landed safely.", LANDED_SCENE},
        {OUTCOME_VERTICAL_CRASH, "CRASH!", nullptr, CRASH_SCENE},
        {OUTCOME_HORIZONTAL_CRASH, "CRASH!",
         "Too much horizontal velocity. Your horizontal motion must be less than 1 m/sec.",
         CRASH_SCENE},
        {OUTCOME_MISSED_SITE, "CRASH!", "Missed the landing site. You must land on flat terrain.",
         CRASH_SCENE},
        {OUTCOME_LOST, "Tavune Lost!",
         "You are out of range of the command module and presumed lost.", CRASH_SCENE},
        // No flight has ended (or the outcome is unknown): a neutral announcement, no draw.
        {0, "Flight over", "The flight has ended.", CRASH_SCENE},
        {6, "Flight over", "The flight has ended.", CRASH_SCENE},
        {255, "Flight over", "The flight has ended.", CRASH_SCENE},
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
            RunShownBox(ShowEndGameDialog, {[&](HWND dialog) {
                            ExpectOutcome(dialog, c, framed, remarksShown);
                            PostCommand(dialog, IDOK);
                        }});
            // The box draws from the shared sequence only for a crash remark, and only once.
            const int next = NextRandom();
            SeedRandom(seed);
            if (c.message == nullptr) {
                NextRandom();
            }
            EXPECT_EQ(next, NextRandom());
            EXPECT_EQ(std::memcmp(&flight, &flightBefore, sizeof flight), 0);
        }
    }
    EXPECT_EQ(remarksShown, CRASH_REMARKS) << "every remark comes up";
}

} // namespace
