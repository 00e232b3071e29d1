// A real top-level window with the three real thrust buttons in it, and the helpers that drive
// them with real messages and read back what each button shows on the screen.
#ifndef TAVUNE_TESTS_WIN32_THRUST_FIXTURE_H
#define TAVUNE_TESTS_WIN32_THRUST_FIXTURE_H

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "app/instance.h"
#include "game/state.h"
#include "game_fixture.h"
#include "resource.h"
#include "ui/thrust.h"
#include "win32_test_util.h"

// The thruster each button fires while the side thrust is not reversed.
constexpr int THRUSTER_OF[THRUST_BUTTON_COUNT] = {THRUSTER_MAIN, THRUSTER_LEFT, THRUSTER_RIGHT};

// The thruster a button fires with the side thrust as the settings have it: any non-zero value
// swaps the side nozzles.
inline int FiredBy(int id) {
    return settings.reverseSideThrust != 0 && id != BUTTON_MAIN ? THRUSTER_OF[3 - id]
                                                                : THRUSTER_OF[id];
}
constexpr DWORD SCRIBBLE_COLOUR = 0x0C2238; // 0x00RRGGBB, as the screen's pixels read

// What the process's one registration of the button class returned.
inline int RegisterThrustClassOnce() {
    static const int result = RegisterThrustClass(appInstance);
    return result;
}

// A visible popup covering the top of the desktop, clipping its children as the main window
// does, so that nothing else draws over the buttons, with the three buttons in it, painted.
inline HWND OpenButtons() {
    HWND window = CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0,
                                  1024, 300, nullptr, nullptr, appInstance, nullptr);
    SetForegroundWindow(window);
    CreateThrustButtons(appInstance, window);
    UpdateWindow(window);
    PumpMessages();
    return window;
}

// What a button has on the screen right now: its released or pressed picture, taken straight
// from the program's resources, the scribble that Scribble left, or something else.
constexpr char RELEASED[] = "released image", PRESSED[] = "pressed image",
               SCRIBBLED[] = "untouched scribble";
inline std::string ShownImage(HWND button, int id) {
    static const int ids[2][THRUST_BUTTON_COUNT] = {
        {IDB_BUTTON_MAIN_UP, IDB_BUTTON_LEFT_UP, IDB_BUTTON_RIGHT_UP},
        {IDB_BUTTON_MAIN_DOWN, IDB_BUTTON_LEFT_DOWN, IDB_BUTTON_RIGHT_DOWN}};
    const std::vector<DWORD> onScreen =
        WindowPixels(button, 0, 0, THRUST_BUTTON_SIZE, THRUST_BUTTON_SIZE);
    for (int pressed = 0; pressed < 2; ++pressed) {
        if (onScreen == ResourcePixels(ids[pressed][id], THRUST_BUTTON_SIZE, THRUST_BUTTON_SIZE)) {
            return pressed != 0 ? PRESSED : RELEASED;
        }
    }
    return onScreen == std::vector<DWORD>(onScreen.size(), SCRIBBLE_COLOUR) ? SCRIBBLED
                                                                            : "something else";
}

// Paints over the button, so a test can tell whether a message drew it again.
inline void Scribble(HWND button) {
    HDC dc = GetDC(button);
    HBRUSH brush = CreateSolidBrush(
        RGB(SCRIBBLE_COLOUR >> 16, (SCRIBBLE_COLOUR >> 8) & 0xFF, SCRIBBLE_COLOUR & 0xFF));
    const RECT all = {0, 0, THRUST_BUTTON_SIZE, THRUST_BUTTON_SIZE};
    FillRect(dc, &all, brush);
    DeleteObject(brush);
    ReleaseDC(button, dc);
}

// The four states a button can be in, made of its tracking flag and its thruster's flag.
enum class ButtonState { Idle, KeyHeld, MouseIn, MouseOut };
inline const char* StateName(ButtonState state) {
    const char* const names[] = {"Idle", "KeyHeld", "MouseIn", "MouseOut"};
    return names[static_cast<int>(state)];
}

class ThrustButtonsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetWholeGame();
        ASSERT_EQ(RegisterThrustClassOnce(), 1);
        // The real pointer rests away from the buttons, so no real mouse message reaches them.
        SetCursorPos(10, 700);
        parent = OpenButtons();
        ASSERT_NE(parent, nullptr);
        for (HWND button : thrustButtons) {
            ASSERT_NE(button, nullptr);
            UpdateWindow(button);
        }
    }
    void TearDown() override {
        ReleaseCapture();
        DestroyWindow(parent);
        PumpMessages();
    }

    HWND Button(int id) const { return thrustButtons[id]; }
    // Through the queue, as the platform delivers it, at two signed 16-bit coordinates.
    void SendMouse(int id, UINT message, int x, int y) {
        PostMessageA(Button(id), message, message == WM_LBUTTONDOWN ? MK_LBUTTON : 0,
                     MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y)));
        PumpMessages();
    }
    void SendPrivate(int id, UINT message) {
        EXPECT_EQ(SendMessageA(Button(id), message, 0, 0), 0);
    }
    void PutInState(int id, ButtonState state) {
        if (state == ButtonState::KeyHeld) {
            SendPrivate(id, WM_THRUST_PRESS);
        } else if (state != ButtonState::Idle) {
            SendMouse(id, WM_LBUTTONDOWN, 20, 20);
        }
        if (state == ButtonState::MouseOut) {
            SendMouse(id, WM_MOUSEMOVE, 60, 20);
        }
    }
    void ExpectState(int id, ButtonState state) {
        SCOPED_TRACE(testing::Message() << "button " << id << ", " << StateName(state));
        const bool tracking = state == ButtonState::MouseIn || state == ButtonState::MouseOut;
        EXPECT_EQ(buttonTracking[id], tracking ? 1 : 0);
        EXPECT_EQ(flight.thrusterOn[FiredBy(id)],
                  state == ButtonState::KeyHeld || state == ButtonState::MouseIn ? 1 : 0);
        EXPECT_EQ(GetCapture() == Button(id), tracking);
    }

    HWND parent = nullptr;
};

#endif
