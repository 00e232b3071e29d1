// The Options box: three 30-step scroll bars for gravity, fuel and main thrust, two check boxes,
// and Default, OK and Cancel. Only OK writes anything into the settings.
#include "ui/dialogs.h"

#include <cstdint>

#include "game/option_scale.h"
#include "game/state.h"
#include "resource.h"

enum {
    BAR_GRAVITY = 0,
    BAR_FUEL = 1,
    BAR_THRUST = 2,
    BAR_COUNT = 3,
};

// A bar's control id is IDC_GRAVITY_BAR plus its index.
static_assert(IDC_FUEL_BAR == IDC_GRAVITY_BAR + BAR_FUEL &&
                  IDC_THRUST_BAR == IDC_GRAVITY_BAR + BAR_THRUST,
              "the bars' control ids follow their indexes");

// The positions of the three bars while the box is open, indexed by control id minus
// IDC_GRAVITY_BAR. Filled anew at every opening.
static int16_t scrollPositions[BAR_COUNT];

static void PlaceThumb(HWND dialog, int barIndex, BOOL redraw) {
    SetScrollPos(GetDlgItem(dialog, IDC_GRAVITY_BAR + barIndex), SB_CTL, scrollPositions[barIndex],
                 redraw);
}

// Any non-zero flag is on. The box itself only ever stores 0 or 1, but a check box handed 2
// would show its greyed third state.
static UINT CheckState(int32_t flag) {
    return flag != 0 ? BST_CHECKED : BST_UNCHECKED;
}

static BOOL InitOptions(HWND dialog) {
    CheckDlgButton(dialog, IDC_REVERSE_SIDE_THRUST, CheckState(settings.reverseSideThrust));
    CheckDlgButton(dialog, IDC_DRAW_FLAME, CheckState(settings.drawFlame));
    scrollPositions[BAR_GRAVITY] = PositionFromGravity(settings.gravity);
    scrollPositions[BAR_FUEL] = PositionFromFuel(settings.initialFuel);
    scrollPositions[BAR_THRUST] = PositionFromThrust(settings.mainThrust);
    for (int bar = 0; bar < BAR_COUNT; ++bar) {
        SetScrollRange(GetDlgItem(dialog, IDC_GRAVITY_BAR + bar), SB_CTL, OPTION_POSITION_MIN,
                       OPTION_POSITION_MAX, FALSE);
        PlaceThumb(dialog, bar, FALSE);
    }
    return TRUE;
}

// The bar's position after a scroll code 0..7. A page moves one step, like a line.
static int16_t ScrolledPosition(int16_t position, int code, int16_t thumb) {
    switch (code) {
        case SB_LINELEFT:
        case SB_PAGELEFT:
            return position > OPTION_POSITION_MIN ? static_cast<int16_t>(position - 1)
                                                  : OPTION_POSITION_MIN;
        case SB_LINERIGHT:
        case SB_PAGERIGHT:
            return position < OPTION_POSITION_MAX ? static_cast<int16_t>(position + 1)
                                                  : OPTION_POSITION_MAX;
        case SB_THUMBPOSITION:
        case SB_THUMBTRACK:
            // The bar reports only positions in its range; anything else would be stored while
            // the thumb showed the clamped place.
            if (thumb < OPTION_POSITION_MIN) {
                return OPTION_POSITION_MIN;
            }
            return thumb > OPTION_POSITION_MAX ? OPTION_POSITION_MAX : thumb;
        case SB_LEFT:
            return OPTION_POSITION_MIN;
        default: // SB_RIGHT
            return OPTION_POSITION_MAX;
    }
}

static BOOL ScrollOptionBar(HWND dialog, HWND bar, WPARAM wParam) {
    const int code = LOWORD(wParam);
    const int index = static_cast<int>(GetWindowLongPtrA(bar, GWLP_ID)) - IDC_GRAVITY_BAR;
    // Anything but one of our three bars (a stray message) is left alone.
    if (code > SB_RIGHT || index < 0 || index >= BAR_COUNT) {
        return FALSE;
    }
    const int16_t thumb = static_cast<int16_t>(HIWORD(wParam));
    scrollPositions[index] = ScrolledPosition(scrollPositions[index], code, thumb);
    PlaceThumb(dialog, index, TRUE);
    return TRUE;
}

static void StoreOptions(HWND dialog) {
    settings.reverseSideThrust =
        static_cast<int32_t>(IsDlgButtonChecked(dialog, IDC_REVERSE_SIDE_THRUST));
    settings.drawFlame = static_cast<int32_t>(IsDlgButtonChecked(dialog, IDC_DRAW_FLAME));
    settings.gravity = GravityFromPosition(scrollPositions[BAR_GRAVITY]);
    settings.initialFuel = FuelFromPosition(scrollPositions[BAR_FUEL]);
    settings.mainThrust = ThrustFromPosition(scrollPositions[BAR_THRUST]);
}

static void ResetBars(HWND dialog) {
    scrollPositions[BAR_GRAVITY] = DEFAULT_GRAVITY_POSITION;
    scrollPositions[BAR_FUEL] = DEFAULT_FUEL_POSITION;
    scrollPositions[BAR_THRUST] = DEFAULT_THRUST_POSITION;
    for (int bar = 0; bar < BAR_COUNT; ++bar) {
        PlaceThumb(dialog, bar, TRUE);
    }
}

static BOOL OptionsCommand(HWND dialog, int id) {
    switch (id) {
        case IDOK:
            StoreOptions(dialog);
            EndDialog(dialog, 1);
            return TRUE;
        case IDCANCEL:
            EndDialog(dialog, 1);
            return TRUE;
        case IDC_DEFAULT:
            ResetBars(dialog);
            return TRUE;
        default: // the check boxes toggle themselves
            return FALSE;
    }
}

INT_PTR CALLBACK OptionsDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            return InitOptions(dialog);
        case WM_HSCROLL:
            return ScrollOptionBar(dialog, reinterpret_cast<HWND>(lParam), wParam);
        case WM_COMMAND:
            return OptionsCommand(dialog, LOWORD(wParam));
        default:
            return FALSE;
    }
}

int ShowOptionsDialog(HWND owner) {
    const HINSTANCE instance =
        reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(owner, GWLP_HINSTANCE));
    return static_cast<int>(DialogBoxParamA(instance, "TAVUNE_Options", owner, OptionsDlgProc, 0));
}
