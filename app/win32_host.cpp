#include "app/win32_host.h"

#include <windows.h>

#include "app/main_window.h"
#include "game/contact.h"
#include "render/bitmap.h"
#include "render/craft.h"
#include "render/instruments.h"
#include "ui/dialogs.h"
#include "ui/thrust.h"

static HWND AsWindow(GameWindow window) {
    return reinterpret_cast<HWND>(window);
}
static HDC AsDC(DrawSurface surface) {
    return reinterpret_cast<HDC>(surface);
}

static DrawSurface GetSurface(GameWindow window) {
    return reinterpret_cast<DrawSurface>(GetDC(AsWindow(window)));
}

static void ReleaseSurface(GameWindow window, DrawSurface surface) {
    ReleaseDC(AsWindow(window), AsDC(surface));
}

static int HostDrawCraft(DrawSurface surface, int eraseTrail) {
    return DrawCraft(AsDC(surface), eraseTrail);
}

static void HostDrawInstruments(DrawSurface surface, int force) {
    DrawInstruments(AsDC(surface), force);
}

static void DrawPicture(DrawSurface surface, int16_t x, int16_t y, int picture) {
    HBITMAP bitmap = picture < PICTURE_DEBRIS_1
                         ? graphics.explosionBitmaps[picture - PICTURE_EXPLOSION_1]
                         : graphics.debrisBitmaps[picture - PICTURE_DEBRIS_1];
    DrawBitmapAt(AsDC(surface), x, y, bitmap);
}

static void CopyCraft(DrawSurface surface, int16_t x, int16_t y) {
    BitBlt(AsDC(surface), x, y, craftWidth, craftHeight, graphics.craftDC, 0, 0, SRCCOPY);
}

static void FillBlack(DrawSurface surface, int left, int top, int right, int bottom) {
    HDC dc = AsDC(surface);
    SelectObject(dc, GetStockObject(BLACK_BRUSH));
    SelectObject(dc, GetStockObject(BLACK_PEN));
    Rectangle(dc, left, top, right, bottom);
}

static void Repaint(GameWindow window) {
    InvalidateRect(AsWindow(window), nullptr, TRUE);
    UpdateWindow(AsWindow(window));
}

static void EnableInput(GameWindow window, int enable) {
    EnableWindow(AsWindow(window), enable != 0 ? TRUE : FALSE);
}

static bool busyCursorShown = false;

static void ShowBusyCursor(int busy) {
    busyCursorShown = busy != 0;
    SetCursor(LoadCursorA(nullptr, busyCursorShown ? IDC_WAIT : IDC_ARROW));
}

bool BusyCursorShown() {
    return busyCursorShown;
}

static void FocusWindow(GameWindow window) {
    SetFocus(AsWindow(window));
}

static void ReleaseThrustButton(int buttonId) {
    SendMessageA(thrustButtons[buttonId], WM_THRUST_RELEASE, 0, 0);
}

static void HostShowEndGameDialog(GameWindow window) {
    BoxOpening();
    ShowEndGameDialog(AsWindow(window));
    BoxClosed();
}

static uint32_t TickCount() {
    return GetTickCount();
}

static int MenuBarHeight() {
    return GetSystemMetrics(SM_CYMENU);
}

int FullScreenClientHeight() {
    RECT workArea = {};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &workArea, 0);
    return (workArea.bottom - workArea.top) - GetSystemMetrics(SM_CYCAPTION);
}

const GameHost WIN32_HOST = {
    GetSurface,
    ReleaseSurface,
    HostDrawCraft,
    HostDrawInstruments,
    DrawPicture,
    CopyCraft,
    FillBlack,
    Repaint,
    EnableInput,
    ShowBusyCursor,
    FocusWindow,
    ReleaseThrustButton,
    HostShowEndGameDialog,
    TickCount,
    MenuBarHeight,
};
