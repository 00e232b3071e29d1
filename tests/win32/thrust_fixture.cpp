#include "thrust_fixture.h"

#include <vector>

#include "app/instance.h"
#include "game/state.h"
#include "game_fixture.h"
#include "resource.h"
#include "ui/thrust.h"
#include "win32_test_util.h"

static const char PARENT_CLASS_NAME[] = "TavuneThrustTestParent";
static const DWORD SCRIBBLE_COLOUR = 0x0C2238; // 0x00RRGGBB, as the screen's pixels read

int RegisterThrustClassOnce() {
    static const int result = [] {
        WNDCLASSA parentClass = {};
        parentClass.lpfnWndProc = DefWindowProcA;
        parentClass.hInstance = appInstance;
        parentClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
        parentClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
        parentClass.lpszClassName = PARENT_CLASS_NAME;
        RegisterClassA(&parentClass);
        return RegisterThrustClass(appInstance);
    }();
    return result;
}

HWND CreateTestParent() {
    HWND window = CreateWindowExA(0, PARENT_CLASS_NAME, "thrust buttons",
                                  WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 1024, 300, nullptr,
                                  nullptr, appInstance, nullptr);
    SetForegroundWindow(window);
    return window;
}

LPARAM PointerAt(int x, int y) {
    return MAKELPARAM(static_cast<WORD>(static_cast<int16_t>(x)),
                      static_cast<WORD>(static_cast<int16_t>(y)));
}

// The pixels of a button's picture, released or pressed, taken straight from the program's
// resources rather than from the images the buttons loaded.
static const std::vector<DWORD>& ImagePixels(int id, bool pressed) {
    static const int ids[2][THRUST_BUTTON_COUNT] = {
        {IDB_BUTTON_MAIN_UP, IDB_BUTTON_LEFT_UP, IDB_BUTTON_RIGHT_UP},
        {IDB_BUTTON_MAIN_DOWN, IDB_BUTTON_LEFT_DOWN, IDB_BUTTON_RIGHT_DOWN}};
    static std::vector<DWORD> pixels[2][THRUST_BUTTON_COUNT];
    if (pixels[pressed][id].empty()) {
        pixels[pressed][id] =
            ResourcePixels(ids[pressed][id], THRUST_BUTTON_SIZE, THRUST_BUTTON_SIZE);
    }
    return pixels[pressed][id];
}

const char* ShownName(Shown shown) {
    const char* const names[] = {"released image", "pressed image", "untouched scribble",
                                 "something else"};
    return names[static_cast<int>(shown)];
}

Shown ShownImage(HWND button, int id) {
    const std::vector<DWORD> onScreen =
        WindowPixels(button, 0, 0, THRUST_BUTTON_SIZE, THRUST_BUTTON_SIZE);
    if (onScreen == ImagePixels(id, false)) {
        return Shown::Released;
    }
    if (onScreen == ImagePixels(id, true)) {
        return Shown::Pressed;
    }
    for (DWORD pixel : onScreen) {
        if (pixel != SCRIBBLE_COLOUR) {
            return Shown::Other;
        }
    }
    return Shown::Scribble;
}

void Scribble(HWND button) {
    HDC dc = GetDC(button);
    HBRUSH brush = CreateSolidBrush(
        RGB(SCRIBBLE_COLOUR >> 16, (SCRIBBLE_COLOUR >> 8) & 0xFF, SCRIBBLE_COLOUR & 0xFF));
    RECT all = {0, 0, THRUST_BUTTON_SIZE, THRUST_BUTTON_SIZE};
    FillRect(dc, &all, brush);
    DeleteObject(brush);
    ReleaseDC(button, dc);
}

const char* StateName(ButtonState state) {
    const char* const names[] = {"Idle", "KeyHeld", "MouseIn", "MouseOut"};
    return names[static_cast<int>(state)];
}

void ThrustButtonsTest::SetUp() {
    ResetWholeGame();
    ASSERT_EQ(RegisterThrustClassOnce(), 1);
    // The real pointer rests away from the buttons, so no real mouse message reaches them.
    SetCursorPos(10, 700);
    parent = CreateTestParent();
    ASSERT_NE(parent, nullptr);
    CreateThrustButtons(appInstance, parent);
    UpdateWindow(parent);
    PumpMessages();
    for (int id = 0; id < THRUST_BUTTON_COUNT; ++id) {
        ASSERT_NE(thrustButtons[id], nullptr);
        UpdateWindow(thrustButtons[id]);
    }
}

void ThrustButtonsTest::TearDown() {
    ReleaseCapture();
    DestroyWindow(parent);
    PumpMessages();
}

HWND ThrustButtonsTest::Button(int id) const {
    return thrustButtons[id];
}

void ThrustButtonsTest::SendMouse(int id, UINT message, int x, int y) {
    PostMessageA(Button(id), message, message == WM_LBUTTONDOWN ? MK_LBUTTON : 0, PointerAt(x, y));
    PumpMessages();
}

void ThrustButtonsTest::SendPrivate(int id, UINT message) {
    EXPECT_EQ(SendMessageA(Button(id), message, 0, 0), 0);
}

void ThrustButtonsTest::PutInState(int id, ButtonState state) {
    switch (state) {
        case ButtonState::Idle:
            break;
        case ButtonState::KeyHeld:
            SendPrivate(id, WM_THRUST_PRESS);
            break;
        case ButtonState::MouseIn:
            SendMouse(id, WM_LBUTTONDOWN, 20, 20);
            break;
        case ButtonState::MouseOut:
            SendMouse(id, WM_LBUTTONDOWN, 20, 20);
            SendMouse(id, WM_MOUSEMOVE, 60, 20);
            break;
    }
}

void ThrustButtonsTest::ExpectState(int id, ButtonState state) {
    const bool tracking = state == ButtonState::MouseIn || state == ButtonState::MouseOut;
    const bool firing = state == ButtonState::KeyHeld || state == ButtonState::MouseIn;
    EXPECT_EQ(buttonTracking[id], tracking ? 1 : 0) << "button " << id << ", " << StateName(state);
    EXPECT_EQ(flight.thrusterOn[ButtonToThruster(id)], firing ? 1 : 0)
        << "button " << id << ", " << StateName(state);
    EXPECT_EQ(GetCapture() == Button(id), tracking) << "button " << id << ", " << StateName(state);
}
