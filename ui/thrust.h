// The three on-screen thrust buttons, child windows of the main window. A button fires its
// thruster while it is held by the mouse (and the pointer stays on it) or by an arrow key, which
// the main window forwards as WM_THRUST_PRESS and WM_THRUST_RELEASE. The pressed state is the
// thruster's flag in the flight state; the buttons keep only their images and mouse tracking.
#ifndef TAVUNE_UI_THRUST_H
#define TAVUNE_UI_THRUST_H

#include <windows.h>

#include <cstdint>

#include "game/host.h"

enum {
    BUTTON_MAIN = 0,
    BUTTON_LEFT = 1,
    BUTTON_RIGHT = 2,
};

constexpr UINT WM_THRUST_RELEASE = WM_USER;
constexpr UINT WM_THRUST_PRESS = WM_USER + 1;
constexpr int THRUST_BUTTON_SIZE = 48;

extern HWND thrustButtons[THRUST_BUTTON_COUNT];
extern HBITMAP buttonUpBitmaps[THRUST_BUTTON_COUNT];
extern HBITMAP buttonDownBitmaps[THRUST_BUTTON_COUNT];
extern int32_t buttonTracking[THRUST_BUTTON_COUNT];

// Registers the "TVNThrust" class; 1 on success, else 0.
int RegisterThrustClass(HINSTANCE instance);

// Creates the three buttons at the top right of parentWindow, placed from screen.screenWidth.
void CreateThrustButtons(HINSTANCE instance, HWND parentWindow);

// Moves the three buttons to their places at the top right, placed from screen.screenWidth.
void PlaceThrustButtons();

// The thruster a button fires, by the reverse-side-thrust setting of this moment.
int ButtonToThruster(int buttonId);

LRESULT CALLBACK ThrustWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

#endif
