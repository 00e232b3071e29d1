#include "fuzz_messages.h"

#include <cstdio>
#include <utility>

#include "resource.h"
#include "ui/thrust.h"

uint64_t FuzzRandom::Next64() {
    state += 0x9E3779B97F4A7C15ull;
    uint64_t z = state;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

FuzzCycle::FuzzCycle(int count) {
    for (int i = 0; i < count; ++i) {
        order.push_back(i);
    }
    next = order.size();
}

int FuzzCycle::Next(FuzzRandom& random) {
    if (next == order.size()) {
        for (size_t i = order.size() - 1; i > 0; --i) {
            std::swap(order[i], order[random.Below(static_cast<uint32_t>(i + 1))]);
        }
        next = 0;
    }
    return order[next++];
}

namespace {

struct UnfuzzableRange {
    UINT first;
    UINT last;
    const char* reason;
};

// Everything else, from 0 to 0xFFFF, is drawn with random parameters. Pointers: the message's
// wParam or lParam points at a structure or buffer that the receiver or its default handling
// reads or writes; the game's own messages carry none.
const UnfuzzableRange UNFUZZABLE[] = {
    {WM_CREATE, WM_CREATE, "creation: a CREATESTRUCT pointer, sent once by the system"},
    {WM_DESTROY, WM_DESTROY, "destruction: sent once by the system as the window goes"},
    {WM_SETTEXT, WM_GETTEXT, "pointer: the text buffer"},
    {WM_CLOSE, WM_CLOSE, "ends the window (sent to a box only as one of its closing ways)"},
    {WM_QUIT, WM_QUIT, "ends the message loop"},
    {WM_SETTINGCHANGE, WM_DEVMODECHANGE, "pointer: a section or device name"},
    {WM_GETMINMAXINFO, WM_GETMINMAXINFO, "pointer: MINMAXINFO"},
    {WM_DRAWITEM, WM_DELETEITEM, "pointer: the owner-draw structures"},
    {WM_COMPAREITEM, WM_COMPAREITEM, "pointer: COMPAREITEMSTRUCT"},
    {WM_WINDOWPOSCHANGING, WM_WINDOWPOSCHANGED, "pointer: WINDOWPOS"},
    {WM_COPYDATA, WM_COPYDATA, "pointer: COPYDATASTRUCT"},
    {WM_NOTIFY, WM_NOTIFY, "pointer: NMHDR"},
    {WM_HELP, WM_HELP, "pointer: HELPINFO"},
    {WM_STYLECHANGING, WM_STYLECHANGED, "pointer: STYLESTRUCT"},
    {WM_NCCREATE, WM_NCCREATE, "creation: a CREATESTRUCT pointer, sent once by the system"},
    {WM_NCDESTROY, WM_NCDESTROY, "destruction: frees the window's own data"},
    {WM_NCCALCSIZE, WM_NCCALCSIZE, "pointer: RECT or NCCALCSIZE_PARAMS"},
    {WM_GETDLGCODE, WM_GETDLGCODE, "pointer: the MSG being asked about"},
    {WM_NCLBUTTONDOWN, WM_NCXBUTTONDBLCLK,
     "frame clicks: loops that discard all else until the button comes up; the close box"},
    {EM_GETSEL, 0x00DA, "edit-control messages, most with buffer or rectangle pointers"},
    {SBM_GETRANGE, SBM_GETRANGE, "pointer: two ints"},
    {SBM_SETSCROLLINFO, 0x00EB, "pointer: SCROLLINFO or SCROLLBARINFO"},
    {WM_IME_STARTCOMPOSITION, WM_IME_KEYLAST, "input-method messages, some with pointers"},
    {WM_INITDIALOG, WM_INITDIALOG, "creation: sent once by the dialog manager"},
    {WM_SYSCOMMAND, WM_SYSCOMMAND,
     "SC_CLOSE ends the window, SC_MOVE and SC_SIZE loop: only safe commands, on their own"},
    {WM_MENUGETOBJECT, WM_MENUGETOBJECT, "pointer: MENUGETOBJECTINFO"},
    {CB_GETEDITSEL, 0x0165, "combo-box messages, most with string or rectangle pointers"},
    {LB_ADDSTRING, 0x01B3, "list-box messages, most with string or rectangle pointers"},
    {WM_NEXTMENU, WM_SIZING, "pointer: MDINEXTMENU or RECT"},
    {WM_MOVING, WM_MOVING, "pointer: RECT"},
    {WM_DEVICECHANGE, WM_DEVICECHANGE, "pointer: DEV_BROADCAST_HDR"},
    {WM_MDICREATE, WM_MDISETMENU, "multiple-document messages, some with pointers"},
    {WM_MDIREFRESHMENU, WM_MDIREFRESHMENU, "multiple-document messages, some with pointers"},
    {WM_IME_SETCONTEXT, WM_IME_KEYUP, "input-method messages, some with pointers"},
    {0x02E0, 0x02E0, "pointer: the suggested RECT of WM_DPICHANGED"},
    {0x02E4, 0x02E4, "pointer: the SIZE of WM_GETDPISCALEDSIZE"},
    {WM_PAINTCLIPBOARD, WM_PAINTCLIPBOARD, "a handle to a PAINTSTRUCT"},
    {WM_SIZECLIPBOARD, WM_ASKCBFORMATNAME, "a RECT handle, or a buffer pointer"},
    {0x033F, 0x033F, "pointer: TITLEBARINFOEX"},
    {0x1600, 0x160F, "button-control messages of the common controls, with pointers"},
};

struct MessageName {
    UINT message;
    const char* name;
};

// Left as written: clang-format's versions break the macro's braces differently.
// clang-format off
#define NAMED(message) {message, #message}
// clang-format on
const MessageName MESSAGE_NAMES[] = {
    NAMED(WM_PAINT),     NAMED(WM_KEYDOWN),        NAMED(WM_KEYUP),       NAMED(WM_CHAR),
    NAMED(WM_COMMAND),   NAMED(WM_SYSCOMMAND),     NAMED(WM_TIMER),       NAMED(WM_HSCROLL),
    NAMED(WM_MOUSEMOVE), NAMED(WM_LBUTTONDOWN),    NAMED(WM_LBUTTONUP),   NAMED(WM_CLOSE),
    NAMED(BM_CLICK),     NAMED(WM_THRUST_RELEASE), NAMED(WM_THRUST_PRESS)};
#undef NAMED

// The keys that move around a box: focus, check boxes and scroll bars.
const WPARAM BOX_KEYS[] = {VK_TAB,   VK_LEFT, VK_RIGHT, VK_UP,    VK_DOWN,
                           VK_SPACE, VK_HOME, VK_END,   VK_PRIOR, VK_NEXT};

// The key codes the main window acts on: the three arrows and the accelerators.
const WPARAM GAME_KEYS[] = {VK_LEFT, VK_RIGHT, VK_DOWN, VK_LEFT, VK_RIGHT,
                            VK_DOWN, VK_F2,    VK_F3,   VK_F4};

// The system commands that neither end the window nor wait in a loop of their own.
const WPARAM SAFE_SYSTEM_COMMANDS[] = {SC_MINIMIZE,   SC_MAXIMIZE,   SC_RESTORE, SC_KEYMENU,
                                       SC_NEXTWINDOW, SC_PREVWINDOW, SC_ARRANGE};

template <typename T, size_t N> T Pick(FuzzRandom& random, const T (&values)[N]) {
    return values[random.Below(N)];
}

LPARAM KeyData(FuzzRandom& random, UINT message, WPARAM key) {
    if (random.Percent(10)) {
        return RandomParameter(random);
    }
    const UINT scanCode = MapVirtualKeyA(static_cast<UINT>(key & 0xFF), 0) & 0xFF;
    LPARAM data = static_cast<LPARAM>(random.Between(1, 3) | (scanCode << 16));
    if (message == WM_KEYUP) {
        data |= static_cast<LPARAM>(3u << 30); // previous state down, transition up
    } else if (random.Percent(30)) {
        data |= static_cast<LPARAM>(1u << 30); // an automatic repeat
    }
    return data;
}

// A coordinate pair in or around a rectangle of width x height: inside, on an edge, or far off.
LPARAM PointAround(FuzzRandom& random, int left, int top, int width, int height) {
    const uint32_t where = random.Below(10);
    if (where < 5) {
        return PackPoint(left + random.Between(0, width - 1), top + random.Between(0, height - 1));
    }
    if (where < 7) {
        const int xs[] = {left - 1, left, left + width - 1, left + width};
        const int ys[] = {top - 1, top, top + height - 1, top + height};
        return PackPoint(Pick(random, xs), Pick(random, ys));
    }
    return PackPoint(static_cast<int16_t>(random.Next()), static_cast<int16_t>(random.Next()));
}

WPARAM MouseKeys(FuzzRandom& random, UINT message) {
    if (random.Percent(15)) {
        return random.Below(0x80);
    }
    return message == WM_LBUTTONUP ? 0 : MK_LBUTTON;
}

FuzzMessage Message(HWND target, UINT message, WPARAM wParam, LPARAM lParam, bool post) {
    return FuzzMessage{target, message, wParam, lParam, post, false};
}

// A WM_PAINT, now and then with something to paint (the stream draws post first, then that).
FuzzMessage PaintMessage(FuzzRandom& random, HWND target) {
    return FuzzMessage{target, WM_PAINT, 0, 0, random.Percent(30), random.Percent(50)};
}

FuzzMessage KeyMessage(FuzzGenerator& generator, HWND main) {
    FuzzRandom& random = generator.random;
    const UINT message = random.Percent(50) ? WM_KEYDOWN : WM_KEYUP;
    const uint32_t kind = random.Below(100);
    WPARAM key;
    if (kind < 45) {
        key = Pick(random, GAME_KEYS);
    } else if (kind < 90) {
        key = static_cast<WPARAM>(
            (message == WM_KEYDOWN ? generator.keyDownCodes : generator.keyUpCodes).Next(random));
    } else {
        key = random.Below(0x10000);
    }
    if (key < 256) {
        (message == WM_KEYDOWN ? generator.coverage.keyDown : generator.coverage.keyUp)[key] = true;
    }
    return Message(main, message, key, KeyData(random, message, key), random.Percent(50));
}

FuzzMessage MainMouseMessage(FuzzRandom& random, const FuzzTargets& targets) {
    const UINT messages[] = {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP};
    const UINT message = Pick(random, messages);
    LPARAM point;
    if (random.Percent(35)) {
        const RECT& button = targets.buttonRects[random.Below(3)];
        point = PointAround(random, button.left, button.top, button.right - button.left,
                            button.bottom - button.top);
    } else {
        point = PointAround(random, 0, 0, targets.client.right, targets.client.bottom);
    }
    return Message(targets.main, message, MouseKeys(random, message), point, random.Percent(50));
}

FuzzMessage ButtonMessage(FuzzRandom& random, const FuzzTargets& targets) {
    const HWND button = targets.buttons[random.Below(3)];
    const uint32_t kind = random.Below(100);
    const UINT message = kind < 30   ? WM_LBUTTONDOWN
                         : kind < 55 ? WM_LBUTTONUP
                         : kind < 75 ? WM_MOUSEMOVE
                         : kind < 85 ? WM_THRUST_PRESS
                         : kind < 95 ? WM_THRUST_RELEASE
                                     : WM_PAINT;
    if (message == WM_PAINT) {
        return PaintMessage(random, button);
    }
    if (message == WM_THRUST_PRESS || message == WM_THRUST_RELEASE) {
        // Their parameters are 0 and unread: any values will do.
        const WPARAM wParam = random.Percent(80) ? 0 : static_cast<WPARAM>(RandomParameter(random));
        return Message(button, message, wParam, random.Percent(80) ? 0 : RandomParameter(random),
                       random.Percent(50));
    }
    const LPARAM point = PointAround(random, 0, 0, THRUST_BUTTON_SIZE, THRUST_BUTTON_SIZE);
    return Message(button, message, MouseKeys(random, message), point, random.Percent(50));
}

FuzzMessage CommandMessage(FuzzGenerator& generator, HWND main) {
    FuzzRandom& random = generator.random;
    int id;
    if (random.Percent(60)) {
        id = generator.commandIds.Next(random);
        generator.coverage.command[id] = true;
    } else {
        id = static_cast<int>(random.Below(0x10000));
    }
    const int notification =
        random.Percent(70) ? random.Between(0, 1) : static_cast<int>(random.Below(0x10000));
    const LPARAM lParam = random.Percent(80) ? 0 : RandomParameter(random);
    return Message(main, WM_COMMAND, MAKEWPARAM(id, notification), lParam, random.Percent(30));
}

// Scroll codes 0 to 10 in turn, or any code; any thumb position.
WPARAM ScrollParameter(FuzzGenerator& generator, bool* coveredCode) {
    FuzzRandom& random = generator.random;
    int code;
    if (random.Percent(70)) {
        code = generator.scrollCodes.Next(random);
        if (coveredCode != nullptr) {
            coveredCode[code] = true;
        }
    } else {
        code = static_cast<int>(random.Below(0x10000));
    }
    const int position =
        random.Percent(50) ? random.Between(-3, 32) : static_cast<int>(random.Below(0x10000));
    return MAKEWPARAM(code, position);
}

FuzzMessage RandomMessage(FuzzRandom& random, HWND target) {
    const UINT message = RandomMessageNumber(random);
    WPARAM wParam = static_cast<WPARAM>(RandomParameter(random));
    LPARAM lParam = RandomParameter(random);
    if (message == WM_TIMER || message == 0x0118 /* WM_SYSTIMER */) {
        lParam = 0; // a timer procedure: a random one would be called
    }
    if (message == WM_SYSKEYDOWN && (wParam & 0xFFFF) == VK_F4) {
        wParam = VK_F5; // Alt+F4 closes the window
    }
    return Message(target, message, wParam, lParam, random.Percent(40));
}

HWND AnyControl(FuzzRandom& random, const FuzzTargets& targets) {
    if (targets.controls.empty()) {
        return targets.box;
    }
    return targets.controls[random.Below(static_cast<uint32_t>(targets.controls.size()))];
}

FuzzMessage BoxCommand(FuzzGenerator& generator, const FuzzTargets& targets) {
    FuzzRandom& random = generator.random;
    const uint32_t kind = random.Below(10);
    int id;
    if (kind < 5) {
        id = generator.boxCommandIds.Next(random);
        generator.coverage.boxCommand[id] = true;
    } else if (kind < 8) {
        const int ours[] = {IDOK, IDCANCEL, IDC_REVERSE_SIDE_THRUST, IDC_DRAW_FLAME, IDC_DEFAULT};
        id = Pick(random, ours);
    } else {
        id = static_cast<int>(random.Below(0x10000));
    }
    const int notification =
        random.Percent(80) ? BN_CLICKED : static_cast<int>(random.Below(0x10000));
    const LPARAM control =
        random.Percent(70) ? reinterpret_cast<LPARAM>(GetDlgItem(targets.box, id)) : 0;
    return Message(targets.box, WM_COMMAND, MAKEWPARAM(id, notification), control,
                   random.Percent(50));
}

FuzzMessage BoxScroll(FuzzGenerator& generator, const FuzzTargets& targets) {
    FuzzRandom& random = generator.random;
    const WPARAM wParam = ScrollParameter(
        generator, targets.boxKind == BOX_OPTIONS ? generator.coverage.boxScroll : nullptr);
    LPARAM bar;
    const uint32_t kind = random.Below(10);
    if (kind < 8) {
        bar = reinterpret_cast<LPARAM>(GetDlgItem(targets.box, IDC_GRAVITY_BAR + random.Below(3)));
    } else if (kind < 9) {
        bar = 0;
    } else {
        bar = RandomParameter(random);
    }
    return Message(targets.box, WM_HSCROLL, wParam, bar, random.Percent(50));
}

FuzzMessage BoxKey(FuzzRandom& random, const FuzzTargets& targets) {
    HWND focus = GetFocus();
    if (focus != targets.box && !IsChild(targets.box, focus)) {
        focus = targets.box;
    }
    const WPARAM key = random.Percent(70) ? Pick(random, BOX_KEYS) : random.Below(256);
    const uint32_t kind = random.Below(10);
    const UINT message = kind < 5 ? WM_KEYDOWN : kind < 9 ? WM_KEYUP : WM_CHAR;
    // Posted, so that the box's own loop sees it first, as it sees a player's keys.
    return Message(focus, message, key, KeyData(random, message, key), random.Percent(85));
}

FuzzMessage ControlMouse(FuzzRandom& random, const FuzzTargets& targets) {
    const HWND control = AnyControl(random, targets);
    const uint32_t kind = random.Below(100);
    if (kind < 25) {
        return Message(control, BM_CLICK, 0, 0, random.Percent(50));
    }
    const UINT message = kind < 55 ? WM_LBUTTONDOWN : kind < 85 ? WM_LBUTTONUP : WM_MOUSEMOVE;
    RECT client = {};
    GetClientRect(control, &client);
    const LPARAM point = random.Percent(80)
                             ? PointAround(random, 0, 0, client.right > 0 ? client.right : 1,
                                           client.bottom > 0 ? client.bottom : 1)
                             : RandomParameter(random);
    return Message(control, message, MouseKeys(random, message), point, random.Percent(50));
}

// What reaches the windows behind an open box: the timer and repaints above all, and now and
// then a command or key sent past the disabled main window.
FuzzMessage BehindTheBox(FuzzGenerator& generator, const FuzzTargets& targets) {
    FuzzRandom& random = generator.random;
    const uint32_t kind = random.Below(100);
    if (kind < 60) {
        return Message(targets.main, WM_TIMER, 1, 0, random.Percent(50));
    }
    if (kind < 75) {
        return PaintMessage(random, targets.main);
    }
    if (kind < 85) {
        return KeyMessage(generator, targets.main);
    }
    if (kind < 92) {
        return ButtonMessage(random, targets);
    }
    return CommandMessage(generator, targets.main);
}

} // namespace

std::string DescribeMessage(const FuzzMessage& message) {
    const char* name = nullptr;
    for (const MessageName& known : MESSAGE_NAMES) {
        if (known.message == message.message) {
            name = known.name;
        }
    }
    char target[96] = "(none)";
    if (message.target != nullptr) {
        char className[48] = {};
        GetClassNameA(message.target, className, sizeof className);
        std::snprintf(target, sizeof target, "%p (%s, id %ld)", static_cast<void*>(message.target),
                      className, static_cast<long>(GetWindowLongPtrA(message.target, GWLP_ID)));
    }
    char text[256];
    std::snprintf(text, sizeof text, "%s 0x%04X%s%s%s wParam 0x%08lX lParam 0x%08lX to %s",
                  message.post ? "posted" : "sent", message.message, name ? " (" : "",
                  name ? name : "", name ? ")" : "", static_cast<unsigned long>(message.wParam),
                  static_cast<unsigned long>(message.lParam), target);
    return text;
}

const char* UnfuzzableReason(UINT message) {
    if (message > 0xFFFF) {
        return "reserved by the system";
    }
    for (const UnfuzzableRange& range : UNFUZZABLE) {
        if (message >= range.first && message <= range.last) {
            return range.reason;
        }
    }
    return nullptr;
}

UINT RandomMessageNumber(FuzzRandom& random) {
    for (;;) {
        UINT message;
        const uint32_t kind = random.Below(10);
        if (kind < 6) {
            message = random.Below(WM_USER); // the system's messages
        } else if (kind < 8) {
            message = WM_USER + random.Below(0x100); // controls' and the game's own
        } else {
            message = random.Below(0x10000);
        }
        if (UnfuzzableReason(message) == nullptr) {
            return message;
        }
    }
}

LPARAM RandomParameter(FuzzRandom& random) {
    const uint32_t kind = random.Below(10);
    if (kind < 2) {
        const LPARAM edges[] = {0,      1,      2, -1, 0x7FFFFFFF, static_cast<LPARAM>(0x80000000u),
                                0xFFFF, 0x10000};
        return Pick(random, edges);
    }
    if (kind < 5) {
        return static_cast<LPARAM>(random.Below(64));
    }
    if (kind < 7) {
        return PackPoint(random.Between(-100, 1200), random.Between(-100, 800));
    }
    return static_cast<LPARAM>(random.Next());
}

LPARAM PackPoint(int x, int y) {
    return static_cast<LPARAM>(MAKELONG(static_cast<WORD>(x), static_cast<WORD>(y)));
}

const char* BoxKindName(int kind) {
    const char* const names[BOX_KIND_COUNT] = {"About", "Options", "End-of-flight", "other"};
    return names[kind];
}

FuzzMessage GameMessage(FuzzGenerator& generator, const FuzzMix& mix, const FuzzTargets& targets) {
    FuzzRandom& random = generator.random;
    const int total = mix.timer + mix.keys + mix.mainMouse + mix.buttons + mix.command + mix.paint +
                      mix.scroll + mix.sysCommand + mix.random;
    int draw = static_cast<int>(random.Below(static_cast<uint32_t>(total)));
    if ((draw -= mix.timer) < 0) {
        // The timer id is not looked at; the timer procedure must stay 0.
        const WPARAM id = random.Percent(90) ? 1 : static_cast<WPARAM>(RandomParameter(random));
        return Message(targets.main, WM_TIMER, id, 0, random.Percent(50));
    }
    if ((draw -= mix.keys) < 0) {
        return KeyMessage(generator, targets.main);
    }
    if ((draw -= mix.mainMouse) < 0) {
        return MainMouseMessage(random, targets);
    }
    if ((draw -= mix.buttons) < 0) {
        return ButtonMessage(random, targets);
    }
    if ((draw -= mix.command) < 0) {
        return CommandMessage(generator, targets.main);
    }
    if ((draw -= mix.paint) < 0) {
        return PaintMessage(random, targets.main);
    }
    if ((draw -= mix.scroll) < 0) {
        const LPARAM bar = random.Percent(70) ? 0 : RandomParameter(random);
        return Message(targets.main, WM_HSCROLL, ScrollParameter(generator, nullptr), bar,
                       random.Percent(50));
    }
    if ((draw -= mix.sysCommand) < 0) {
        const WPARAM command = Pick(random, SAFE_SYSTEM_COMMANDS) | random.Below(16);
        return Message(targets.main, WM_SYSCOMMAND, command, RandomParameter(random),
                       random.Percent(50));
    }
    const HWND target = random.Percent(60) ? targets.main : targets.buttons[random.Below(3)];
    return RandomMessage(random, target);
}

FuzzMessage BoxMessage(FuzzGenerator& generator, const FuzzTargets& targets) {
    FuzzRandom& random = generator.random;
    // Any command ends the About and End-of-flight boxes: fewer of them there.
    const uint32_t command = targets.boxKind == BOX_OPTIONS ? 6 : 2;
    const uint32_t scroll = targets.boxKind == BOX_OPTIONS ? 25 : 3;
    uint32_t draw = random.Below(100);
    if (draw < command) {
        return BoxCommand(generator, targets);
    }
    draw -= command;
    if (draw < scroll) {
        return BoxScroll(generator, targets);
    }
    draw -= scroll;
    if (draw < 15) {
        return BoxKey(random, targets);
    }
    if (draw < 27) {
        return ControlMouse(random, targets);
    }
    if (draw < 32) {
        const HWND target = random.Percent(60) ? targets.box : AnyControl(random, targets);
        return PaintMessage(random, target);
    }
    if (draw < 38) {
        return BehindTheBox(generator, targets);
    }
    return RandomMessage(random, random.Percent(50) ? targets.box : AnyControl(random, targets));
}
