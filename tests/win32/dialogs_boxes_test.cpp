// The three boxes as the player meets them: each opens, as the game opens it, with its controls in
// place and only from its owner's module; the end box tells each outcome by its texts and picture;
// the Options bars move by scroll codes and keys, and Default puts them back; of every way of
// closing a box, only OK in Options stores.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "app/instance.h"
#include "dialogs_driver.h"
#include "game/option_scale.h"
#include "game/random.h"
#include "game/state.h"
#include "game_fixture.h"
#include "resource.h"
#include "ui/dialogs.h"
#include "win32_test_util.h"

namespace {

const int BAR_IDS[] = {IDC_GRAVITY_BAR, IDC_FUEL_BAR, IDC_THRUST_BAR};
// As the built-in settings show: the three thumbs, the ticks of Reverse side thrust and Draw flame.
const std::vector<int> DEFAULT_SHOWN = {6, 9, 6, 0, 1};

bool SameSettings(const GameSettings& a, const GameSettings& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// The built-in settings but for those the Options box shows.
GameSettings WithOptions(int32_t reverse, int32_t flame, float gravity, float fuel, float thrust) {
    GameSettings options = DEFAULT_SETTINGS;
    options.reverseSideThrust = reverse;
    options.drawFlame = flame;
    options.gravity = gravity;
    options.initialFuel = fuel;
    options.mainThrust = thrust;
    return options;
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

// The focus and a key to each of the box's bars, if it has any.
void FocusEachBar(HWND dialog) {
    for (int id : BAR_IDS) {
        if (const HWND bar = GetDlgItem(dialog, id)) {
            SetFocus(bar);
            PostKey(dialog, VK_RIGHT);
        }
    }
}

// The boxes must give back every GDI object they take, counted from after an opening of each that
// fills the platform's own caches (fonts, the icon, what a bar with the focus draws and takes keys
// with); and each close of a box must return 1.
class BoxTest : public GameTest {
  protected:
    void SetUp() override {
        GameTest::SetUp();
        for (ShowDialogFunction show : {ShowOptionsDialog, ShowEndGameDialog, ShowAboutDialog}) {
            RunDialog(show, {[](HWND) {}, FocusEachBar, [](HWND d) { PostCommand(d, IDOK); }});
        }
        ResetWholeGame();
        gdiObjects = CountGdiObjects(BUT_WINDOW_SURFACES);
    }
    // The count is exact (a scan of the handle table), so one object left by one opening fails.
    void TearDown() override {
        EXPECT_EQ(CountGdiObjects(BUT_WINDOW_SURFACES), gdiObjects)
            << "GDI objects left behind by the boxes";
    }
    // RunDialog with the steps from the box's first idle on, when the player sees it.
    static void RunShownBox(ShowDialogFunction show, std::vector<DialogStep> steps) {
        steps.insert(steps.begin(), [](HWND) {});
        EXPECT_EQ(RunDialog(show, steps), 1);
    }
    int gdiObjects = 0;
};

// Texts the design leaves open, told apart by their address.
const char ANY_TEXT[] = "any text that fits its control";
const char SET_BY_THE_BOX[] = "set by the box";
const char AN_ICON[] = "the game's icon";

// As the platform shows it at 96 dpi: a control's place in pixels of the box's inside, and those of
// its styles the player meets: the kind of control (push button, check box, text alignment, icon,
// bar), whether Tab stops on it and whether a group the arrow keys move in starts there.
struct ShownControl {
    int id;
    const char* className;
    const char* text;
    std::vector<LONG> place;
    DWORD styles;
};

struct BoxCase {
    const char* name;
    ShowDialogFunction show;
    const char* title;
    const char* face;                   // of the box's text, 16 pixels high
    std::vector<LONG> place;            // its inside, on its owner's
    std::vector<ShownControl> controls; // in tab order
};

// clang-format off
const BoxCase BOXES[] = {
    {"Options", ShowOptionsDialog, "Tavune Options", "MS Sans Serif", {68, 76, 364, 284}, {
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
    {"EndGame", ShowEndGameDialog, "", "System", {150, 124, 518, 294}, {
        {1, "Button", "OK", {152, 136, 216, 160}, BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP},
        {151, "Static", SET_BY_THE_BOX, {152, 12, 352, 48}, SS_LEFT | WS_GROUP},
        {152, "Static", SET_BY_THE_BOX, {152, 56, 352, 126}, SS_LEFT | WS_GROUP},
    }},
    {"About", ShowAboutDialog, "About Tavune", "MS Sans Serif", {88, 82, 352, 222}, {
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

// From a window of a module without our templates no box opens.
TEST_F(BoxTest, EachBoxOpensWithItsControlsInPlaceFromItsOwnersModule) {
    const HWND stranger = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                          GetModuleHandleA("kernel32.dll"), nullptr);
    ASSERT_NE(stranger, nullptr);
    flight.outcome = OUTCOME_VERTICAL_CRASH;
    for (const BoxCase& box : BOXES) {
        SCOPED_TRACE(box.name);
        EXPECT_EQ(box.show(stranger), -1);
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

// Looked at once the box is shown: its texts, their fonts and the picture.
void ExpectOutcome(HWND dialog, const OutcomeCase& c, std::set<std::string>& remarksShown) {
    UpdateWindow(dialog);
    const HWND title = GetDlgItem(dialog, 151);
    const HWND message = GetDlgItem(dialog, 152);
    EXPECT_EQ(WindowText(title), c.title);
    const std::string shown = WindowText(message);
    EXPECT_TRUE(c.message ? shown == c.message : CRASH_REMARKS.count(shown) == 1) << shown;
    if (c.message == nullptr) {
        remarksShown.insert(shown);
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
    // The picture at 20..115 x 20..116 and nothing of it outside: a frame of the face colour.
    const COLORREF colour = GetSysColor(COLOR_3DFACE);
    const DWORD face = (GetRValue(colour) << 16) | (GetGValue(colour) << 8) | GetBValue(colour);
    const int w = PICTURE_WIDTH + 2;
    const std::vector<DWORD> picture = ResourcePixels(c.picture, PICTURE_WIDTH, PICTURE_HEIGHT);
    std::vector<DWORD> framed(w * (PICTURE_HEIGHT + 2), face);
    for (int row = 0; row < PICTURE_HEIGHT; ++row) {
        std::copy_n(&picture[row * PICTURE_WIDTH], PICTURE_WIDTH, &framed[(row + 1) * w + 1]);
    }
    EXPECT_TRUE(WindowPixels(dialog, 19, 19, w, PICTURE_HEIGHT + 2) == framed);
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
    std::set<std::string> remarksShown;
    for (const OutcomeCase& c : cases) {
        // A crash remark at random, over enough openings for each of the three to come up.
        for (uint32_t seed = 1; seed <= (c.message == nullptr ? 12u : 1u); ++seed) {
            SCOPED_TRACE(::testing::Message() << "outcome " << int{c.outcome} << ", seed " << seed);
            flight.outcome = c.outcome;
            flight.phase = PHASE_DIALOG;
            flight.altitude = -3.5f;
            const FlightState flightBefore = flight;
            // The box draws from the shared sequence only for a crash remark, and only once.
            SeedRandom(seed);
            const int first = NextRandom();
            const int second = NextRandom();
            SeedRandom(seed);
            RunShownBox(ShowEndGameDialog, {[&](HWND dialog) {
                            ExpectOutcome(dialog, c, remarksShown);
                            PostCommand(dialog, IDOK);
                        }});
            EXPECT_EQ(NextRandom(), c.message == nullptr ? second : first);
            EXPECT_EQ(std::memcmp(&flight, &flightBefore, sizeof flight), 0);
        }
    }
    EXPECT_EQ(remarksShown, CRASH_REMARKS) << "every remark comes up";
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
    // A thumb outside the bar's range (40, 0xFFFF) is held at its ends, where the thumb is drawn.
    // clang-format off
    const ScrollCase cases[] = {
        {SB_LINELEFT, 0, 0, 0},       {SB_LINELEFT, 29, 0, 28},     {SB_LINERIGHT, 0, 0, 1},
        {SB_LINERIGHT, 29, 0, 29},    {SB_PAGELEFT, 0, 0, 0},       {SB_PAGELEFT, 29, 0, 28},
        {SB_PAGELEFT, 10, 0, 9},      {SB_PAGERIGHT, 0, 0, 1},      {SB_PAGERIGHT, 29, 0, 29},
        {SB_PAGERIGHT, 10, 0, 11},    {SB_THUMBPOSITION, 0, 29, 29}, {SB_THUMBPOSITION, 29, 0, 0},
        {SB_THUMBTRACK, 0, 13, 13},   {SB_THUMBTRACK, 29, 0, 0},    {SB_LEFT, 0, 20, 0},
        {SB_LEFT, 29, 20, 0},         {SB_RIGHT, 0, 20, 29},        {SB_RIGHT, 29, 20, 29},
        {SB_ENDSCROLL, 0, 20, 0},     {SB_ENDSCROLL, 29, 20, 29},   {9, 10, 20, 10},
        {0xFFFF, 10, 20, 10},  {SB_THUMBTRACK, 10, 40, 29},  {SB_THUMBPOSITION, 10, 0xFFFF, 0},
        {KEY | VK_LEFT, 20, 0, 19},   {KEY | VK_RIGHT, 17, 0, 18},  {KEY | VK_PRIOR, 29, 0, 28},
        {KEY | VK_NEXT, 18, 0, 19},   {KEY | VK_HOME, 19, 0, 0},    {KEY | VK_END, 0, 0, 29},
    };
    // clang-format on
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
                // The thumb shows where the bar holds it (a focused bar's caret blinks).
                const HWND moved = GetDlgItem(dialog, BAR_IDS[bar]);
                EXPECT_TRUE(GetFocus() == moved || PixelsARepaintChanges(moved) == 0)
                    << "bar " << bar << " code " << c.code << " from " << c.start;
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
    // Default puts every thumb back where it shows it (no bar keeps the focus's caret).
    steps.push_back([](HWND dialog) {
        SetFocus(GetDlgItem(dialog, IDOK));
        for (int id : BAR_IDS) {
            PostScroll(dialog, id, SB_LEFT);
        }
        PostCommand(dialog, IDC_DEFAULT);
    });
    steps.push_back([](HWND dialog) {
        EXPECT_EQ(Shown(dialog), DEFAULT_SHOWN);
        for (int id : BAR_IDS) {
            EXPECT_EQ(PixelsARepaintChanges(GetDlgItem(dialog, id)), 0) << "bar " << id;
        }
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
    // Gravity 4/3 + 1, rounded once.
    EXPECT_TRUE(SameSettings(settings, WithOptions(0, 1, 2.3333333f, 2000.0f, 38750.0f)));
}

// Options shows the stored settings on bars from 0 to 29, any non-zero flag as ticked. The player
// may then move a bar (a box without bars ignores it) and, in Options, tick both check boxes the
// other way (a click that is reported, and must not close the box) and press Default, which puts
// the bars back where the built-in settings have them and leaves the ticks. Of every way of
// closing a box only OK and Enter in Options store, and never the calibrated time step; without
// a change they store every position back exactly.
TEST_F(BoxTest, EveryWayOfClosingABoxGivesOneAndOnlyOkInOptionsStores) {
    struct Case {
        ShowDialogFunction show;
        int16_t opened[5]; // gravity, fuel and thrust positions, the reverse and flame flags
        bool change;
        int button; // clicked, or else the box is closed the other way
        CloseWay way;
    };
    std::vector<Case> cases = {
        {ShowOptionsDialog, {6, 9, 6, 0, 1}, false, IDCANCEL, {}},
        {ShowOptionsDialog, {0, 0, 0, 1, 0}, false, IDCANCEL, {}},
        {ShowOptionsDialog, {1, 17, 14, 5, -1}, false, IDCANCEL, {}},
        {ShowOptionsDialog, {29, 29, 29, 1, 1}, false, IDOK, {}},
        {ShowOptionsDialog, {28, 1, 27, 0, 0}, false, 0, CLOSE_BY_ENTER},
    };
    for (const BoxCase& box : BOXES) {
        for (int button : {IDOK, IDCANCEL, 0}) { // only the Options box has a Cancel button
            for (int way = 0; way <= (button == 0 ? CLOSE_BY_CLOSE_BOX : 0); ++way) {
                if (button != IDCANCEL || box.show == ShowOptionsDialog) {
                    cases.push_back({box.show, {0, 29, 3, 0, 1}, true, button, CloseWay(way)});
                }
            }
        }
    }
    GameSettings stored = WithOptions(1, 0, 3.0f, 1000.0f, 10000.0f);
    stored.timeStep = 0.125f;
    flight.outcome = OUTCOME_MISSED_SITE;
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "case " << &c - cases.data());
        const bool options = c.show == ShowOptionsDialog;
        const int16_t* at = c.opened;
        settings = WithOptions(at[3], at[4], GravityFromPosition(at[0]), FuelFromPosition(at[1]),
                               ThrustFromPosition(at[2]));
        settings.timeStep = 0.125f;
        const GameSettings start = settings;
        const DialogStep look = [&](HWND dialog) {
            if (options) {
                for (int bar : BAR_IDS) {
                    int range[2] = {-1, -1};
                    GetScrollRange(GetDlgItem(dialog, bar), SB_CTL, &range[0], &range[1]);
                    EXPECT_EQ(range[0] * 100 + range[1], 29) << "a bar from 0 to 29";
                }
                const std::vector<int> shown = {at[0], at[1], at[2], at[3] != 0, at[4] != 0};
                EXPECT_EQ(Shown(dialog), shown);
                EXPECT_EQ(GetFocus(), GetDlgItem(dialog, IDOK));
            }
            if (c.change) {
                PostScroll(dialog, IDC_GRAVITY_BAR, SB_RIGHT);
            }
            if (c.change && options) {
                PostMessageA(GetDlgItem(dialog, IDC_REVERSE_SIDE_THRUST), BM_CLICK, 0, 0);
                PostMessageA(GetDlgItem(dialog, IDC_DRAW_FLAME), BM_CLICK, 0, 0);
                PostCommand(dialog, IDC_DEFAULT);
            }
        };
        const DialogStep close = [&](HWND dialog) {
            if (c.change && options) {
                EXPECT_EQ(Shown(dialog), (std::vector<int>{6, 9, 6, 1, 0}));
            }
            if (c.button != 0) {
                PostMessageA(GetDlgItem(dialog, c.button), BM_CLICK, 0, 0);
            } else {
                PostClose(dialog, c.way);
            }
        };
        RunShownBox(c.show, {look, close});
        const bool stores = options && (c.button == IDOK || c.way == CLOSE_BY_ENTER);
        EXPECT_TRUE(SameSettings(settings, !stores ? start : c.change ? stored : start));
    }
}

} // namespace
