#include "app/main_window.h"

#include "app/instance.h"
#include "app/win32_host.h"

#include <wtsapi32.h>

#include "game/contact.h"
#include "game/random.h"
#include "game/state.h"
#include "game/terrain.h"
#include "game/tick.h"
#include "render/craft.h"
#include "render/ground.h"
#include "render/instruments.h"
#include "resource.h"
#include "ui/dialogs.h"
#include "ui/thrust.h"

HINSTANCE appInstance = nullptr;
HWND mainWindow = nullptr;

int RegisterMainClass(HINSTANCE instance) {
    WNDCLASSA windowClass = {};
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = MainWndProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, MAIN_CLASS_NAME);
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    windowClass.lpszMenuName = MAIN_CLASS_NAME;
    windowClass.lpszClassName = MAIN_CLASS_NAME;
    return RegisterClassA(&windowClass) != 0 ? 1 : 0;
}

HWND CreateMainWindow(HINSTANCE instance) {
    mainWindow = CreateWindowExA(0, MAIN_CLASS_NAME, "Tavune",
                                 WS_OVERLAPPEDWINDOW | WS_MAXIMIZE | WS_CLIPCHILDREN, CW_USEDEFAULT,
                                 0, CW_USEDEFAULT, 0, nullptr, nullptr, instance, nullptr);
    return mainWindow;
}

static HBITMAP LoadGameBitmap(int id) {
    return LoadBitmapA(appInstance, MAKEINTRESOURCEA(id));
}

// The explosion and debris pictures are loaded by counting on from the first of each.
static_assert(IDB_EXPLOSION_3 == IDB_EXPLOSION_1 + EXPLOSION_PICTURES - 1,
              "the explosion pictures follow each other");
static_assert(IDB_DEBRIS_10 == IDB_DEBRIS_1 + DEBRIS_PICTURES - 1,
              "the debris pictures follow each other");

void LoadGraphicsSet(HWND window) {
    graphics.craftBitmap = LoadGameBitmap(IDB_CRAFT);
    graphics.leftFlameBitmap = LoadGameBitmap(IDB_FLAME_LEFT);
    graphics.rightFlameBitmap = LoadGameBitmap(IDB_FLAME_RIGHT);
    graphics.mainFlameBitmap = LoadGameBitmap(IDB_FLAME_MAIN);
    for (int i = 0; i < EXPLOSION_PICTURES; ++i) {
        graphics.explosionBitmaps[i] = LoadGameBitmap(IDB_EXPLOSION_1 + i);
    }
    for (int i = 0; i < DEBRIS_PICTURES; ++i) {
        graphics.debrisBitmaps[i] = LoadGameBitmap(IDB_DEBRIS_1 + i);
    }
    HDC windowDC = GetDC(window);
    graphics.craftDC = CreateCompatibleDC(windowDC);
    graphics.leftFlameDC = CreateCompatibleDC(windowDC);
    graphics.rightFlameDC = CreateCompatibleDC(windowDC);
    graphics.mainFlameDC = CreateCompatibleDC(windowDC);
    ReleaseDC(window, windowDC);
    SelectObject(graphics.craftDC, graphics.craftBitmap);
    SelectObject(graphics.leftFlameDC, graphics.leftFlameBitmap);
    SelectObject(graphics.rightFlameDC, graphics.rightFlameBitmap);
    SelectObject(graphics.mainFlameDC, graphics.mainFlameBitmap);

    BITMAP craft = {};
    GetObjectA(graphics.craftBitmap, sizeof craft, &craft);
    craftWidth = craft.bmWidth;
    craftHeight = craft.bmHeight;
}

void FreeGraphicsSet() {
    // Each picture is deleted after the context that held it.
    DeleteDC(graphics.craftDC);
    DeleteDC(graphics.leftFlameDC);
    DeleteDC(graphics.rightFlameDC);
    DeleteDC(graphics.mainFlameDC);
    DeleteObject(graphics.craftBitmap);
    DeleteObject(graphics.leftFlameBitmap);
    DeleteObject(graphics.rightFlameBitmap);
    DeleteObject(graphics.mainFlameBitmap);
    if (terrainRegion != nullptr) {
        DeleteTerrain(terrainRegion);
        terrainRegion = nullptr;
    }
    for (HBITMAP bitmap : graphics.explosionBitmaps) {
        DeleteObject(bitmap);
    }
    for (HBITMAP bitmap : graphics.debrisBitmaps) {
        DeleteObject(bitmap);
    }
    graphics = GraphicsSet{};
}

// The smallest client area the window may be given, so that the game stays playable. The
// instruments' labels start about 170 columns left of the right edge, and the craft, which starts
// on the centre column with its right flame ending 61 columns on, must clear them: twice 231 is
// 462, rounded up to 512. The buttons end on row 198, and the band in which the ground line and
// its landing site lie, 120 to 20 rows above the bottom, must start well below them: 384 rows.
// A maximised window on a 640x480 screen still has more (640x442 here).
constexpr int MIN_PLAY_WIDTH = 512;
constexpr int MIN_PLAY_HEIGHT = 384;

// The game stands still wherever the player cannot fly: while the window is minimised, while
// another program is the active one, while one of the window's menus is open, while the frame is
// being dragged, and while the session is locked. The game's own boxes keep the program active.
static bool programActive = true;
static bool menuOpen = false;
static bool movingOrSizing = false;
static bool sessionLocked = false;
static bool standingStill = false; // the game timer is stopped
// A box of the game's own is open, its loop running inside this window's procedure.
static int boxesOpen = 0;
// The play area changed size while a box was open: the new game waits until the box closes.
static bool newGameOwed = false;

// The key-ups of keys held now go to another window, so each button the keyboard holds is
// released here. A window deactivated with the focus loses it too; without the focus no key
// reaches the buttons. A button the mouse holds ends with its capture.
static void ReleaseKeyHeldButtons() {
    for (int id = 0; id < THRUST_BUTTON_COUNT; ++id) {
        if (buttonTracking[id] == 0) {
            SendMessageA(thrustButtons[id], WM_THRUST_RELEASE, 0, 0);
        }
    }
}

// Without its timer a game standing still costs nothing. The key-ups of keys held now go
// elsewhere, so their thrusters are released. Coming back, it carries on where it was.
static void StandStillOrGoOn(HWND window) {
    const bool still =
        IsIconic(window) != FALSE || !programActive || menuOpen || movingOrSizing || sessionLocked;
    if (still == standingStill) {
        return;
    }
    standingStill = still;
    if (still) {
        KillTimer(window, GAME_TIMER_ID);
        ReleaseKeyHeldButtons();
        GameStandStill(reinterpret_cast<GameWindow>(window));
    } else {
        GameResume(reinterpret_cast<GameWindow>(window));
        SetTimer(window, GAME_TIMER_ID, GAME_TIMER_PERIOD_MS, nullptr);
    }
}

static void StartNewGameWhenFree() {
    if (boxesOpen > 0) {
        newGameOwed = true;
    } else {
        flight.phase = PHASE_NEW_GAME;
    }
}

void BoxOpening() {
    ++boxesOpen;
}

void BoxClosed() {
    --boxesOpen;
    if (boxesOpen == 0 && newGameOwed) {
        newGameOwed = false;
        flight.phase = PHASE_NEW_GAME;
    }
}

static int16_t PlaySize(LONG clientSize, int minimum) {
    if (clientSize < minimum) {
        return static_cast<int16_t>(minimum);
    }
    return static_cast<int16_t>(clientSize < INT16_MAX ? clientSize : INT16_MAX);
}

// The play area is the client area, but never below the minimum, which only a smaller screen
// could force. On a new size a flight under way ends without an outcome, and a new game starts
// on a terrain of that size.
static void FitPlayArea(HWND window) {
    RECT client = {};
    GetClientRect(window, &client);
    const int16_t width = PlaySize(client.right, MIN_PLAY_WIDTH);
    const int16_t height = PlaySize(client.bottom, MIN_PLAY_HEIGHT);
    if (width == screen.screenWidth && height == screen.groundHeight) {
        return;
    }
    screen.screenWidth = width;
    screen.groundHeight = height;
    PlaceThrustButtons();
    StartNewGameWhenFree();
}

// The window itself says whether it is minimised and how big it is: the minimised size is no
// size to play at. A drag of the frame is laid out once, when it ends: a new game set up in the
// middle of it would cancel the drag.
static void OnSize(HWND window) {
    if (IsIconic(window) == FALSE && !movingOrSizing) {
        FitPlayArea(window);
    }
    StandStillOrGoOn(window);
}

static void OnSessionChange(HWND window, WPARAM change) {
    if (change == WTS_SESSION_LOCK || change == WTS_SESSION_UNLOCK) {
        sessionLocked = change == WTS_SESSION_LOCK;
        StandStillOrGoOn(window);
    }
}

// When the screen's resolution changes, Windows fits maximised windows to it, but Wine leaves
// one at its old size, partly off the screen or short of its edges. Only such a window is given
// the maximised place again, without taking the activation from wherever it is.
static void RefitMaximised(HWND window) {
    if (!IsZoomed(window)) {
        return;
    }
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoA(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor);
    const RECT& work = monitor.rcWork;
    RECT frame;
    GetWindowRect(window, &frame);
    RECT client;
    GetClientRect(window, &client);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&client), 2);
    const bool covers = frame.left <= work.left && frame.top <= work.top &&
                        frame.right >= work.right && frame.bottom >= work.bottom;
    const bool inside = client.left >= work.left && client.top >= work.top &&
                        client.right <= work.right && client.bottom <= work.bottom;
    if (covers && inside) {
        return;
    }
    // Maximised, the frame's borders lie just outside the work area.
    RECT border = {};
    AdjustWindowRectEx(&border, static_cast<DWORD>(GetWindowLongPtrA(window, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongPtrA(window, GWL_EXSTYLE)));
    SetWindowPos(window, nullptr, work.left + border.left, work.top - border.bottom,
                 work.right - work.left + border.right - border.left,
                 work.bottom - work.top + 2 * border.bottom, SWP_NOZORDER | SWP_NOACTIVATE);
}

static void OnActivateProgram(HWND window, BOOL active) {
    programActive = active != FALSE;
    StandStillOrGoOn(window);
}

static void OnGetMinMaxInfo(HWND window, MINMAXINFO* limits) {
    RECT frame = {0, 0, MIN_PLAY_WIDTH, MIN_PLAY_HEIGHT};
    AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrA(window, GWL_STYLE)), TRUE,
                       static_cast<DWORD>(GetWindowLongPtrA(window, GWL_EXSTYLE)));
    limits->ptMinTrackSize.x = frame.right - frame.left;
    limits->ptMinTrackSize.y = frame.bottom - frame.top;
}

static void OnCreate(HWND window) {
    // A maximised window's client area, measured from the screen: the window has no size yet.
    screen.screenWidth = static_cast<int16_t>(GetSystemMetrics(SM_CXFULLSCREEN));
    screen.groundHeight = static_cast<int16_t>(static_cast<int16_t>(FullScreenClientHeight()) -
                                               static_cast<int16_t>(GetSystemMetrics(SM_CYMENU)));
    programActive = true;
    menuOpen = false;
    movingOrSizing = false;
    sessionLocked = false;
    standingStill = false;
    boxesOpen = 0;
    newGameOwed = false;
    SetGameHost(&WIN32_HOST);
    CreateThrustButtons(reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(window, GWLP_HINSTANCE)),
                        window);
    SeedRandom(GetTickCount());
    LoadGraphicsSet(window);
    flight.phase = PHASE_NEW_GAME;
    SetTimer(window, GAME_TIMER_ID, GAME_TIMER_PERIOD_MS, nullptr);
    // Windows tells no program that the session is locked unless it asks.
    WTSRegisterSessionNotification(window, NOTIFY_FOR_THIS_SESSION);
}

static void OnDestroy(HWND window) {
    WTSUnRegisterSessionNotification(window);
    KillTimer(window, GAME_TIMER_ID);
    FreeGraphicsSet();
    PostQuitMessage(0);
}

static void OnPaint(HWND window) {
    // The shown-flame flags must describe the screen after any repaint, or a later tick would
    // leave a flame behind or invert one that was never drawn: whatever part of the window is
    // repainted, the craft and its flames are repainted whole.
    RECT craftBox;
    if (terrainRegion != nullptr && CraftRepaintBox(&craftBox)) {
        InvalidateRect(window, &craftBox, TRUE);
    }
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    // Before the first terrain exists only the black background shows.
    if (terrainRegion != nullptr) {
        PaintTerrain(dc, terrainRegion);
        RedrawCraft(reinterpret_cast<DrawSurface>(dc));
        DrawInstruments(dc, 1);
        DrawInstrumentLabels(dc);
    }
    EndPaint(window, &paint);
}

// The thrust button an arrow key holds, or -1.
static int ButtonForKey(WPARAM key) {
    switch (key) {
        case VK_LEFT:
            return BUTTON_LEFT;
        case VK_RIGHT:
            return BUTTON_RIGHT;
        case VK_DOWN:
            return BUTTON_MAIN;
        default:
            return -1;
    }
}

static void OnKeyDown(WPARAM key) {
    // While the craft waits, a key only starts the flight, on its release.
    const int button = ButtonForKey(key);
    if (flight.phase != PHASE_READY && button >= 0) {
        SendMessageA(thrustButtons[button], WM_THRUST_PRESS, 0, 0);
    }
}

// Also while the craft waits: an arrow held across New or Restart fires until it comes up. An
// arrow released while Alt is held comes up as a system key.
static void ReleaseButtonOfKey(WPARAM key) {
    const int button = ButtonForKey(key);
    if (button >= 0) {
        SendMessageA(thrustButtons[button], WM_THRUST_RELEASE, 0, 0);
    }
}

static void OnKeyUp(WPARAM key) {
    // F2, F3 and F4 have already done their work through the accelerators.
    if (flight.phase == PHASE_READY && key != VK_F2 && key != VK_F3 && key != VK_F4) {
        flight.phase = PHASE_FLYING;
    }
    ReleaseButtonOfKey(key);
}

static void OnCommand(HWND window, int command) {
    switch (command) {
        case CMD_NEW:
            flight.phase = PHASE_NEW_GAME;
            break;
        case CMD_RESTART:
            flight.phase = PHASE_RESTART;
            break;
        case CMD_EXIT:
            SendMessageA(window, WM_CLOSE, 0, 0);
            break;
        case CMD_ABOUT: {
            // The game stands still while the box is open and carries on where it was.
            const uint8_t pausedPhase = flight.phase;
            flight.phase = PHASE_DIALOG;
            BoxOpening();
            ShowAboutDialog(window);
            flight.phase = pausedPhase;
            BoxClosed();
            break;
        }
        case CMD_OPTIONS:
            flight.phase = PHASE_DIALOG;
            BoxOpening();
            ShowOptionsDialog(window);
            flight.phase = PHASE_RESTART;
            BoxClosed();
            break;
        default:
            break;
    }
}

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            OnCreate(window);
            return 0;
        case WM_DESTROY:
            OnDestroy(window);
            return 0;
        case WM_PAINT:
            OnPaint(window);
            return 0;
        case WM_KEYDOWN:
            OnKeyDown(wParam);
            return 0;
        case WM_KEYUP:
            OnKeyUp(wParam);
            return 0;
        case WM_SYSKEYUP:
            // Alt and the menu keep their default handling.
            ReleaseButtonOfKey(wParam);
            return DefWindowProcA(window, message, wParam, lParam);
        case WM_ENTERMENULOOP:
        case WM_EXITMENULOOP:
            menuOpen = message == WM_ENTERMENULOOP;
            StandStillOrGoOn(window);
            return 0;
        case WM_ENTERSIZEMOVE:
        case WM_EXITSIZEMOVE:
            movingOrSizing = message == WM_ENTERSIZEMOVE;
            OnSize(window);
            return 0;
        case WM_WTSSESSION_CHANGE:
            OnSessionChange(window, wParam);
            return 0;
        case WM_SIZE:
            OnSize(window);
            return 0;
        case WM_ACTIVATEAPP:
            OnActivateProgram(window, static_cast<BOOL>(wParam));
            return 0;
        case WM_DISPLAYCHANGE:
            RefitMaximised(window);
            return 0;
        case WM_GETMINMAXINFO:
            OnGetMinMaxInfo(window, reinterpret_cast<MINMAXINFO*>(lParam));
            return 0;
        case WM_KILLFOCUS:
            ReleaseKeyHeldButtons();
            return 0;
        case WM_COMMAND:
            OnCommand(window, LOWORD(wParam));
            return 0;
        case WM_TIMER:
            GameTick(reinterpret_cast<GameWindow>(window));
            return 0;
        case WM_LBUTTONUP:
            if (flight.phase == PHASE_READY) {
                flight.phase = PHASE_FLYING;
            }
            return 0;
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}
