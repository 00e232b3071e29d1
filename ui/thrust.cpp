// The thrust buttons: their window class, their placement at the top right of the main window,
// and the procedure that turns mouse presses and the main window's key messages into thruster
// flags and button images.
#include "ui/thrust.h"

#include <tpcshrd.h>

#include "game/state.h"
#include "render/bitmap.h"
#include "resource.h"

HWND thrustButtons[THRUST_BUTTON_COUNT];
HBITMAP buttonUpBitmaps[THRUST_BUTTON_COUNT];
HBITMAP buttonDownBitmaps[THRUST_BUTTON_COUNT];
int32_t buttonTracking[THRUST_BUTTON_COUNT];

static const char THRUST_CLASS_NAME[] = "TVNThrust";

// Where each button stands: its distance from the right edge of the play area, and its top row.
// The side buttons stand side by side with a 2-pixel gap; the main one centred below them.
struct ButtonPlace {
    int fromRight;
    int top;
};
static const ButtonPlace BUTTON_PLACES[THRUST_BUTTON_COUNT] = {
    {75, 150},  // BUTTON_MAIN
    {100, 100}, // BUTTON_LEFT
    {50, 100},  // BUTTON_RIGHT
};

int RegisterThrustClass(HINSTANCE instance) {
    WNDCLASSA buttonClass = {};
    buttonClass.style = CS_HREDRAW | CS_VREDRAW;
    buttonClass.lpfnWndProc = ThrustWndProc;
    buttonClass.hInstance = instance;
    buttonClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    buttonClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    buttonClass.lpszClassName = THRUST_CLASS_NAME;
    return RegisterClassA(&buttonClass) != 0 ? 1 : 0;
}

void CreateThrustButtons(HINSTANCE instance, HWND parentWindow) {
    const int width = screen.screenWidth;
    for (int id = 0; id < THRUST_BUTTON_COUNT; ++id) {
        thrustButtons[id] =
            CreateWindowExA(0, THRUST_CLASS_NAME, nullptr, WS_CHILD | WS_VISIBLE,
                            width - BUTTON_PLACES[id].fromRight, BUTTON_PLACES[id].top,
                            THRUST_BUTTON_SIZE, THRUST_BUTTON_SIZE, parentWindow,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
    }
}

void PlaceThrustButtons() {
    const int width = screen.screenWidth;
    for (int id = 0; id < THRUST_BUTTON_COUNT; ++id) {
        SetWindowPos(thrustButtons[id], nullptr, width - BUTTON_PLACES[id].fromRight,
                     BUTTON_PLACES[id].top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

static bool IsButtonId(int id) {
    return id >= 0 && id < THRUST_BUTTON_COUNT;
}

int ButtonToThruster(int buttonId) {
    // Any other id fires the main engine, so that no id can index past the thruster flags.
    if (buttonId == BUTTON_LEFT) {
        return settings.reverseSideThrust != 0 ? THRUSTER_RIGHT : THRUSTER_LEFT;
    }
    if (buttonId == BUTTON_RIGHT) {
        return settings.reverseSideThrust != 0 ? THRUSTER_LEFT : THRUSTER_RIGHT;
    }
    return THRUSTER_MAIN;
}

// Drawn at once rather than through invalidation, so the image changes in the same message that
// changes the thruster flag.
static void ShowImage(HWND window, HBITMAP image) {
    HDC dc = GetDC(window);
    DrawBitmapAt(dc, 0, 0, image);
    ReleaseDC(window, dc);
}

// A button's two pictures are picked by its id from the main button's.
static_assert(IDB_BUTTON_LEFT_UP == IDB_BUTTON_MAIN_UP + BUTTON_LEFT &&
                  IDB_BUTTON_RIGHT_UP == IDB_BUTTON_MAIN_UP + BUTTON_RIGHT,
              "the released images follow the button ids");
static_assert(IDB_BUTTON_LEFT_DOWN == IDB_BUTTON_MAIN_DOWN + BUTTON_LEFT &&
                  IDB_BUTTON_RIGHT_DOWN == IDB_BUTTON_MAIN_DOWN + BUTTON_RIGHT,
              "the pressed images follow the button ids");

// From the module that created the button, which links the pictures.
static void LoadButtonImages(HWND window, int id) {
    const HINSTANCE instance =
        reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(window, GWLP_HINSTANCE));
    buttonUpBitmaps[id] = LoadBitmapA(instance, MAKEINTRESOURCEA(IDB_BUTTON_MAIN_UP + id));
    buttonDownBitmaps[id] = LoadBitmapA(instance, MAKEINTRESOURCEA(IDB_BUTTON_MAIN_DOWN + id));
}

static void DeleteButtonImages(HWND window, int id) {
    DeleteObject(buttonUpBitmaps[id]);
    DeleteObject(buttonDownBitmaps[id]);
    buttonUpBitmaps[id] = nullptr;
    buttonDownBitmaps[id] = nullptr;
    // A release sent after the main window is gone then goes nowhere.
    if (thrustButtons[id] == window) {
        thrustButtons[id] = nullptr;
    }
}

// A repaint always shows the released image, whatever the button's state.
static void PaintButton(HWND window, int id) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    DrawBitmapAt(dc, 0, 0, buttonUpBitmaps[id]);
    EndPaint(window, &paint);
}

// While the mouse holds the button, the thruster fires only while the pointer is on it.
static void FollowPointer(HWND window, int id, int thruster, LPARAM lParam) {
    const int x = static_cast<int16_t>(LOWORD(lParam));
    const int y = static_cast<int16_t>(HIWORD(lParam));
    const bool inside = x >= 0 && x < THRUST_BUTTON_SIZE && y >= 0 && y < THRUST_BUTTON_SIZE;
    if (inside && flight.thrusterOn[thruster] == 0) {
        ShowImage(window, buttonDownBitmaps[id]);
        flight.thrusterOn[thruster] = 1;
    } else if (!inside && flight.thrusterOn[thruster] != 0) {
        ShowImage(window, buttonUpBitmaps[id]);
        flight.thrusterOn[thruster] = 0;
    }
}

static void PressWithMouse(HWND window, int id, int thruster) {
    ShowImage(window, buttonDownBitmaps[id]);
    SetCapture(window);
    flight.thrusterOn[thruster] = 1;
    buttonTracking[id] = 1;
    if (flight.phase == PHASE_READY) {
        flight.phase = PHASE_FLYING;
    }
}

// Tracking ends before any ReleaseCapture, so the capture change that it sends back here finds
// nothing left to release.
static void ShowReleased(HWND window, int id, int thruster) {
    ShowImage(window, buttonUpBitmaps[id]);
    flight.thrusterOn[thruster] = 0;
    buttonTracking[id] = 0;
}

// The mouse button may have gone down elsewhere; whoever holds the capture, it ends here.
static void ReleaseFromMouse(HWND window, int id, int thruster) {
    ShowReleased(window, id, thruster);
    ReleaseCapture();
}

static void Release(HWND window, int id, int thruster) {
    const bool tracked = buttonTracking[id] == 1;
    ShowReleased(window, id, thruster);
    if (tracked) {
        ReleaseCapture();
    }
}

// Another window took the mouse before its button came up (a box opened, the player switched
// programs): the press ends as the release would have ended it.
static void LoseCapture(HWND window, int id, int thruster, HWND newCapture) {
    if (buttonTracking[id] == 1 && newCapture != window) {
        ShowReleased(window, id, thruster);
    }
}

LRESULT CALLBACK ThrustWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const int id = static_cast<int>(GetWindowLongA(window, GWL_ID));
    // A window of this class with a foreign id has no images or flags to work on.
    if (!IsButtonId(id)) {
        return DefWindowProcA(window, message, wParam, lParam);
    }
    const int thruster = ButtonToThruster(id);
    switch (message) {
        case WM_CREATE:
            LoadButtonImages(window, id);
            // Indexed by the button, not its thruster: once all three exist all flags are clear.
            flight.thrusterOn[id] = 0;
            buttonTracking[id] = 0;
            return 0;
        case WM_DESTROY:
            DeleteButtonImages(window, id);
            return 0;
        case WM_PAINT:
            PaintButton(window, id);
            return 0;
        case WM_MOUSEMOVE:
            if (buttonTracking[id] == 1) {
                FollowPointer(window, id, thruster, lParam);
            }
            return 0;
        case WM_LBUTTONDOWN:
            PressWithMouse(window, id, thruster);
            return 0;
        case WM_LBUTTONUP:
            ReleaseFromMouse(window, id, thruster);
            return 0;
        case WM_CAPTURECHANGED:
            LoseCapture(window, id, thruster, reinterpret_cast<HWND>(lParam));
            return 0;
        case WM_THRUST_RELEASE:
            Release(window, id, thruster);
            return 0;
        case WM_THRUST_PRESS:
            ShowImage(window, buttonDownBitmaps[id]);
            flight.thrusterOn[thruster] = 1;
            return 0;
        case WM_TABLET_QUERYSYSTEMGESTURESTATUS:
            // A finger held on a button fires its thruster, as the mouse does; it is no gesture
            // that ends in a right-click.
            return TABLET_DISABLE_PRESSANDHOLD;
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}
