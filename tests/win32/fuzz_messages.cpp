#include "fuzz_driver.h"

#include <algorithm>
#include <iterator>
#include <numeric>
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

FuzzCycle::FuzzCycle(int count) : order(static_cast<size_t>(count)), next(order.size()) {
    std::iota(order.begin(), order.end(), 0);
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

// Never drawn with random parameters: what is sent once, frame clicks (they loop), what ends the
// window or a loop, WM_SYSCOMMAND, and whatever carries a pointer (text, structures, controls').
// clang-format off
const UINT UNFUZZABLE[][2] = {
    {WM_CREATE, WM_DESTROY}, {WM_NCCREATE, WM_NCCALCSIZE}, {WM_IME_STARTCOMPOSITION, WM_INITDIALOG},
    {WM_NCLBUTTONDOWN, WM_NCXBUTTONDBLCLK}, {WM_CLOSE, WM_CLOSE}, {WM_QUIT, WM_QUIT},
    {WM_SYSCOMMAND, WM_SYSCOMMAND}, {WM_SETTEXT, WM_GETTEXT}, {WM_SETTINGCHANGE, WM_DEVMODECHANGE},
    {WM_GETMINMAXINFO, WM_GETMINMAXINFO}, {WM_DRAWITEM, WM_DELETEITEM},
    {WM_COMPAREITEM, WM_COMPAREITEM}, {WM_WINDOWPOSCHANGING, WM_WINDOWPOSCHANGED},
    {WM_COPYDATA, WM_COPYDATA}, {WM_NOTIFY, WM_NOTIFY}, {WM_HELP, WM_HELP},
    {WM_STYLECHANGING, WM_STYLECHANGED}, {WM_GETDLGCODE, WM_GETDLGCODE}, {EM_GETSEL, 0x00DA},
    {SBM_GETRANGE, SBM_GETRANGE}, {SBM_SETSCROLLINFO, 0x00EB}, {WM_MENUGETOBJECT, WM_MENUGETOBJECT},
    {CB_GETEDITSEL, 0x0165}, {LB_ADDSTRING, 0x01B3}, {WM_NEXTMENU, WM_SIZING},
    {WM_MOVING, WM_MOVING}, {WM_DEVICECHANGE, WM_DEVICECHANGE}, {WM_MDICREATE, WM_MDISETMENU},
    {WM_MDIREFRESHMENU, WM_MDIREFRESHMENU}, {WM_IME_SETCONTEXT, WM_IME_KEYUP},
    {0x02E0, 0x02E0} /* WM_DPICHANGED */, {0x02E4, 0x02E4} /* WM_GETDPISCALEDSIZE */,
    {WM_PAINTCLIPBOARD, WM_PAINTCLIPBOARD}, {WM_SIZECLIPBOARD, WM_ASKCBFORMATNAME},
    {0x033F, 0x033F} /* WM_GETTITLEBARINFOEX */, {0x1600, 0x160F},
};
// clang-format on

const WPARAM BOX_KEYS[] = {VK_TAB,   VK_LEFT, VK_RIGHT, VK_UP,    VK_DOWN,
                           VK_SPACE, VK_HOME, VK_END,   VK_PRIOR, VK_NEXT};
// The arrows twice as often as the accelerators.
const WPARAM GAME_KEYS[] = {VK_LEFT, VK_RIGHT, VK_DOWN, VK_LEFT, VK_RIGHT,
                            VK_DOWN, VK_F2,    VK_F3,   VK_F4};
// Neither ends the window nor waits in a loop of its own.
const WPARAM SAFE_SYSTEM_COMMANDS[] = {SC_MINIMIZE,   SC_MAXIMIZE,   SC_RESTORE, SC_KEYMENU,
                                       SC_NEXTWINDOW, SC_PREVWINDOW, SC_ARRANGE};
const int BOX_COMMANDS[] = {IDOK, IDCANCEL, IDC_REVERSE_SIDE_THRUST, IDC_DRAW_FLAME, IDC_DEFAULT};

template <typename T, size_t N> T Pick(FuzzRandom& random, const T (&values)[N]) {
    return values[random.Below(N)];
}

template <size_t N> int Choose(FuzzRandom& random, const int (&weights)[N]) {
    int draw = static_cast<int>(
        random.Below(static_cast<uint32_t>(std::accumulate(weights, weights + N, 0))));
    int index = 0;
    while ((draw -= weights[index]) >= 0) {
        ++index;
    }
    return index;
}

bool Unfuzzable(UINT message) {
    return std::any_of(std::begin(UNFUZZABLE), std::end(UNFUZZABLE), [message](const UINT* range) {
        return message >= range[0] && message <= range[1];
    });
}

FuzzMessage Message(HWND target, UINT message, WPARAM wParam, LPARAM lParam, bool post) {
    return FuzzMessage{target, message, wParam, lParam, post, false};
}

LPARAM Point(int x, int y) {
    return static_cast<LPARAM>(MAKELONG(static_cast<WORD>(x), static_cast<WORD>(y)));
}

// Edge values, small numbers, coordinates or any 32 bits.
LPARAM Parameter(FuzzRandom& random) {
    const LPARAM edges[] = {0,      1,      2, -1, 0x7FFFFFFF, static_cast<LPARAM>(0x80000000u),
                            0xFFFF, 0x10000};
    switch (Choose(random, {2, 3, 2, 3})) {
        case 0:
            return Pick(random, edges);
        case 1:
            return static_cast<LPARAM>(random.Below(64));
        case 2:
            return Point(random.Between(-100, 1200), random.Between(-100, 800));
        default:
            return static_cast<LPARAM>(random.Next64());
    }
}

// As the game's own senders leave it.
LPARAM MostlyZero(FuzzRandom& random) {
    return random.Percent(80) ? 0 : Parameter(random);
}

// Mostly the system's numbers; none above 0xFFFF, which the system keeps for itself.
FuzzMessage RandomMessage(FuzzRandom& random, HWND target) {
    UINT message;
    do {
        const int range = Choose(random, {6, 2, 2});
        message = range == 0   ? random.Below(WM_USER)
                  : range == 1 ? WM_USER + random.Below(0x100) // controls' and the game's own
                               : random.Below(0x10000);
    } while (Unfuzzable(message));
    WPARAM wParam = static_cast<WPARAM>(Parameter(random));
    LPARAM lParam = Parameter(random);
    if (message == WM_TIMER || message == 0x0118 /* WM_SYSTIMER */) {
        lParam = 0; // a timer procedure: a random one would be called
    }
    if (message == WM_SYSKEYDOWN && (wParam & 0xFFFF) == VK_F4) {
        wParam = VK_F5; // Alt+F4 closes the window
    }
    return Message(target, message, wParam, lParam, random.Percent(40));
}

// The cycles' codes are sent: a posted F2, F3 or F4 becomes a command on the way to the main
// window. A box's keys are posted mostly, so that its loop sees them first, as a player's.
template <size_t N>
FuzzMessage KeyMessage(FuzzRandom& random, HWND target, const WPARAM (&keys)[N],
                       FuzzCycle* cycles) {
    const UINT messages[] = {WM_KEYDOWN, WM_KEYUP, WM_CHAR};
    const UINT message = messages[Choose(random, {5, 4, cycles != nullptr ? 0 : 1})];
    const int kind = Choose(random, {45, 45, 10});
    const WPARAM key = kind == 0 ? Pick(random, keys)
                       : kind == 1 && cycles != nullptr
                           ? static_cast<WPARAM>(cycles[message == WM_KEYUP].Next(random))
                           : random.Below(cycles != nullptr ? 0x10000 : 256);
    // A repeat count, a scan code, and the previous-state and transition bits.
    const UINT bits = message == WM_KEYUP ? 3u : random.Percent(30) ? 1u : 0u;
    const UINT scanCode = MapVirtualKeyA(static_cast<UINT>(key & 0xFF), 0) & 0xFF;
    const LPARAM data =
        random.Percent(10)
            ? Parameter(random)
            : static_cast<LPARAM>(random.Between(1, 3) | (scanCode << 16) | (bits << 30));
    const bool post = cycles != nullptr ? kind != 1 && random.Percent(50) : random.Percent(85);
    return Message(target, message, key, data, post);
}

// At a point in the area, on or next to its edges, or anywhere.
FuzzMessage MouseMessage(FuzzRandom& random, HWND target, const RECT& area) {
    const UINT messages[] = {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_MOUSEMOVE};
    const UINT message = messages[Choose(random, {4, 3, 3})];
    const int xs[] = {area.left - 1, area.left, area.right - 1, area.right};
    const int ys[] = {area.top - 1, area.top, area.bottom - 1, area.bottom};
    const int where = Choose(random, {5, 2, 3});
    const LPARAM point = where == 0   ? Point(random.Between(area.left, area.right - 1),
                                              random.Between(area.top, area.bottom - 1))
                         : where == 1 ? Point(Pick(random, xs), Pick(random, ys))
                                      : Point(static_cast<int16_t>(random.Next64()),
                                              static_cast<int16_t>(random.Next64()));
    const WPARAM keys = random.Percent(15)        ? random.Below(0x80)
                        : message == WM_LBUTTONUP ? 0
                                                  : MK_LBUTTON;
    return Message(target, message, keys, point, random.Percent(50));
}

FuzzMessage PaintMessage(FuzzRandom& random, HWND target) {
    return FuzzMessage{target, WM_PAINT, 0, 0, random.Percent(30), random.Percent(50)};
}

// Ids 0 to 10 in turn, the Options box's own, or any; most of those to a box name their control.
FuzzMessage CommandMessage(FuzzGenerator& generator, HWND target, bool box) {
    FuzzRandom& random = generator.random;
    const int kind = Choose(random, {box ? 5 : 6, box ? 3 : 0, box ? 2 : 4});
    const int id = kind == 0   ? (box ? generator.boxCommandIds : generator.commandIds).Next(random)
                   : kind == 1 ? Pick(random, BOX_COMMANDS)
                               : static_cast<int>(random.Below(0x10000));
    const int notification =
        random.Percent(75) ? random.Between(0, 1) : static_cast<int>(random.Below(0x10000));
    const LPARAM control = box && random.Percent(70)
                               ? reinterpret_cast<LPARAM>(GetDlgItem(target, id))
                               : MostlyZero(random);
    return Message(target, WM_COMMAND, MAKEWPARAM(id, notification), control,
                   random.Percent(box ? 50 : 30));
}

// Codes 0 to 10 in turn, or any; any thumb position; mostly from one of the box's bars.
FuzzMessage ScrollMessage(FuzzGenerator& generator, HWND target) {
    FuzzRandom& random = generator.random;
    const int code = random.Percent(70) ? generator.scrollCodes.Next(random)
                                        : static_cast<int>(random.Below(0x10000));
    const int position =
        random.Percent(50) ? random.Between(-3, 32) : static_cast<int>(random.Below(0x10000));
    const HWND bar = GetDlgItem(target, IDC_GRAVITY_BAR + random.Between(0, 2));
    const LPARAM lParam =
        bar != nullptr && random.Percent(80) ? reinterpret_cast<LPARAM>(bar) : MostlyZero(random);
    return Message(target, WM_HSCROLL, MAKEWPARAM(code, position), lParam, random.Percent(50));
}

HWND AnyControl(FuzzRandom& random, const FuzzTargets& targets) {
    const auto count = static_cast<uint32_t>(targets.controls.size());
    return count == 0 ? targets.box : targets.controls[random.Below(count)];
}

} // namespace

FuzzMessage GameMessage(FuzzGenerator& generator, const FuzzMix& mix, const FuzzTargets& targets) {
    FuzzRandom& random = generator.random;
    const HWND main = targets.main;
    switch (Choose(random, mix)) {
        case 0: { // the timer id is not looked at; the timer procedure must stay 0
            const WPARAM id = random.Percent(90) ? 1 : static_cast<WPARAM>(Parameter(random));
            return Message(main, WM_TIMER, id, 0, random.Percent(50));
        }
        case 1:
            return KeyMessage(random, main, GAME_KEYS, generator.keyCodes);
        case 2:
            return MouseMessage(random, main,
                                random.Percent(35) ? targets.buttonRects[random.Below(3)]
                                                   : targets.client);
        case 3: {
            const HWND button = targets.buttons[random.Below(3)];
            const int what = Choose(random, {75, 20, 5});
            if (what == 0) {
                return MouseMessage(random, button,
                                    RECT{0, 0, THRUST_BUTTON_SIZE, THRUST_BUTTON_SIZE});
            }
            // Their parameters are unread: any values will do.
            return what == 1
                       ? Message(button, random.Percent(50) ? WM_THRUST_PRESS : WM_THRUST_RELEASE,
                                 static_cast<WPARAM>(MostlyZero(random)), MostlyZero(random),
                                 random.Percent(50))
                       : PaintMessage(random, button);
        }
        case 4:
            return CommandMessage(generator, main, false);
        case 5:
            return PaintMessage(random, main);
        case 6: // the main window has no scroll bars
            return ScrollMessage(generator, main);
        case 7:
            return Message(main, WM_SYSCOMMAND,
                           Pick(random, SAFE_SYSTEM_COMMANDS) | random.Below(16), Parameter(random),
                           random.Percent(50));
        default:
            return RandomMessage(random,
                                 random.Percent(60) ? main : targets.buttons[random.Below(3)]);
    }
}

FuzzMessage BoxMessage(FuzzGenerator& generator, const FuzzTargets& targets) {
    FuzzRandom& random = generator.random;
    const HWND box = targets.box;
    const HWND boxOrControl = random.Percent(50) ? box : AnyControl(random, targets);
    // Behind the box: the timer and repaints, and what gets past the disabled main window.
    const FuzzMix behindTheBox = {60, 10, 0, 7, 8, 15, 0, 0, 0};
    // Any command ends the About and End-of-flight boxes: fewer of them there.
    const bool options = targets.options;
    switch (Choose(random, {options ? 6 : 2, options ? 25 : 3, 15, 12, 5, 6, options ? 31 : 57})) {
        case 0:
            return CommandMessage(generator, box, true);
        case 1:
            return ScrollMessage(generator, box);
        case 2: {
            const HWND focus = GetFocus();
            const bool inBox = focus == box || IsChild(box, focus);
            return KeyMessage(random, inBox ? focus : box, BOX_KEYS, nullptr);
        }
        case 3: {
            const HWND control = AnyControl(random, targets);
            RECT client = {};
            GetClientRect(control, &client);
            const FuzzMessage message = MouseMessage(random, control, client);
            return random.Percent(25) ? Message(control, BM_CLICK, 0, 0, message.post) : message;
        }
        case 4:
            return PaintMessage(random, boxOrControl);
        case 5:
            return GameMessage(generator, behindTheBox, targets);
        default:
            return RandomMessage(random, boxOrControl);
    }
}
