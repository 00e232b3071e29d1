#include "app/main_window.h"

#include "app/instance.h"
#include "app/win32_host.h"

#include <wtsapi32.h>

#include <cstring>

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
BOOL(WINAPI* registerSessionNotification)(HWND, DWORD) = WTSRegisterSessionNotification;

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
// The play area changed size and no new game has started on it yet.
static bool newGameOwed = false;
// Windows tells no program that the session is locked unless it asks, and the asking fails while
// the session's services are not yet up: it is asked again until it succeeds.
static bool sessionChangesAsked = false;
static int ticksSinceSessionAsk = 0;
constexpr int TICKS_BETWEEN_SESSION_ASKS = 20;

// Only a press that this window saw go down may start a waiting flight: the key or click that
// closes a box or a menu, or that another program took, comes up here all the same. A press
// seen here is forgotten when a box opens or the game stands still, whose loops or windows may
// take its release; not when set-up shuts the window to input, across which an arrow may be held.
static bool keyWentDownHere[256];
static bool mouseWentDownHere = false;

static void ForgetPresses() {
    std::memset(keyWentDownHere, 0, sizeof keyWentDownHere);
    mouseWentDownHere = false;
}

// The key-ups of keys held now go to another window, so each button the keyboard holds is
// released here. A window deactivated with the focus loses it too; without the focus no key
// reaches the buttons. With mouseHeldToo, a button the mouse holds is released as well, with its
// capture: a press may end elsewhere while the game stands still.
static void ReleaseThrustButtons(bool mouseHeldToo) {
    for (int id = 0; id < THRUST_BUTTON_COUNT; ++id) {
        if (mouseHeldToo || buttonTracking[id] == 0) {
            SendMessageA(thrustButtons[id], WM_THRUST_RELEASE, 0, 0);
        }
    }
}

// Without its timer a game standing still costs nothing. The ups of keys and buttons held now
// may go elsewhere, so every thruster is released. Coming back, it carries on where it was.
static void StandStillOrGoOn(HWND window) {
    const bool still =
        IsIconic(window) != FALSE || !programActive || menuOpen || movingOrSizing || sessionLocked;
    if (still == standingStill) {
        return;
    }
    standingStill = still;
    if (still) {
        KillTimer(window, GAME_TIMER_ID);
        ReleaseThrustButtons(true);
        ForgetPresses();
        GameStandStill(reinterpret_cast<GameWindow>(window));
    } else {
        GameResume(reinterpret_cast<GameWindow>(window));
        SetTimer(window, GAME_TIMER_ID, GAME_TIMER_PERIOD_MS, nullptr);
    }
}

// Owed until a tick starts it: a restart or the options meanwhile give the new game instead.
static void StartNewGameWhenFree() {
    newGameOwed = true;
    if (boxesOpen == 0) {
        flight.phase = PHASE_NEW_GAME;
    }
}

static uint8_t RestartOrOwedNewGame() {
    return newGameOwed ? PHASE_NEW_GAME : PHASE_RESTART;
}

void BoxOpening() {
    ++boxesOpen;
    ForgetPresses();
}

void BoxClosed() {
    --boxesOpen;
    if (boxesOpen == 0 && newGameOwed) {
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
// size to play at.
static void LayOutNow(HWND window) {
    KillTimer(window, LAYOUT_TIMER_ID);
    if (IsIconic(window) == FALSE) {
        FitPlayArea(window);
    }
}

// A size is laid out once it has settled: under a window manager a drag of the frame reaches the
// window as a stream of sizes with no end, and a new game at each would flicker through terrains.
// Wine's own frame ends its drag with WM_EXITSIZEMOVE, which lays out at once; in the middle of
// it a new game would cancel the drag. The first size, before any terrain, is laid out at once.
static void OnSize(HWND window) {
    if (terrainRegion == nullptr) {
        LayOutNow(window);
    } else if (IsIconic(window) == FALSE && !movingOrSizing) {
        SetTimer(window, LAYOUT_TIMER_ID, LAYOUT_SETTLE_MS, nullptr);
    }
    StandStillOrGoOn(window);
}

// A size that came just before the drag began is laid out when the drag ends, not in its middle.
static void OnSizeMove(HWND window, bool starts) {
    movingOrSizing = starts;
    if (starts) {
        KillTimer(window, LAYOUT_TIMER_ID);
    } else {
        LayOutNow(window);
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

static void AskForSessionChanges(HWND window) {
    ticksSinceSessionAsk = 0;
    if (!sessionChangesAsked) {
        sessionChangesAsked = registerSessionNotification(window, NOTIFY_FOR_THIS_SESSION) != FALSE;
    }
}

static void OnActivateProgram(HWND window, BOOL active) {
    programActive = active != FALSE;
    if (programActive) {
        AskForSessionChanges(window);
    }
    StandStillOrGoOn(window);
}

static void OnGameTimer(HWND window) {
    if (!sessionChangesAsked && ++ticksSinceSessionAsk >= TICKS_BETWEEN_SESSION_ASKS) {
        AskForSessionChanges(window);
    }
    // The tick about to run sets up the new game that a new size is owed.
    if (flight.phase == PHASE_NEW_GAME) {
        newGameOwed = false;
    }
    GameTick(reinterpret_cast<GameWindow>(window));
}

static bool PointerInClientArea(HWND window) {
    POINT pointer;
    RECT client;
    GetCursorPos(&pointer);
    ScreenToClient(window, &pointer);
    GetClientRect(window, &client);
    return PtInRect(&client, pointer) != FALSE;
}

// While the game is busy setting up, the busy cursor stays over its client area, its buttons
// included; over a window shut to input the hit test says only that it is shut.
static bool OnSetCursor(HWND window, LPARAM lParam) {
    const int hit = static_cast<int16_t>(LOWORD(lParam));
    if (!BusyCursorShown() ||
        (hit != HTCLIENT && !(hit == HTERROR && PointerInClientArea(window)))) {
        return false;
    }
    SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    return true;
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
    sessionChangesAsked = false;
    ForgetPresses();
    SetGameHost(&WIN32_HOST);
    CreateThrustButtons(reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(window, GWLP_HINSTANCE)),
                        window);
    SeedRandom(GetTickCount());
    LoadGraphicsSet(window);
    flight.phase = PHASE_NEW_GAME;
    SetTimer(window, GAME_TIMER_ID, GAME_TIMER_PERIOD_MS, nullptr);
    AskForSessionChanges(window);
}

static void OnDestroy(HWND window) {
    if (sessionChangesAsked) {
        WTSUnRegisterSessionNotification(window);
    }
    KillTimer(window, GAME_TIMER_ID);
    KillTimer(window, LAYOUT_TIMER_ID);
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

static void OnKeyDown(WPARAM key, LPARAM flags) {
    // A repeat is no press: the first may have gone to a box that has closed since.
    if (key < sizeof keyWentDownHere && (flags & (KF_REPEAT << 16)) == 0) {
        keyWentDownHere[key] = true;
    }
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
    const bool wentDownHere = key < sizeof keyWentDownHere && keyWentDownHere[key];
    if (wentDownHere) {
        keyWentDownHere[key] = false;
    }
    // F2, F3 and F4 have already done their work through the accelerators.
    if (flight.phase == PHASE_READY && wentDownHere && key != VK_F2 && key != VK_F3 &&
        key != VK_F4) {
        flight.phase = PHASE_FLYING;
    }
    ReleaseButtonOfKey(key);
}

static void OnMouseUp() {
    if (flight.phase == PHASE_READY && mouseWentDownHere) {
        flight.phase = PHASE_FLYING;
    }
    mouseWentDownHere = false;
}

bool TranslateGameKeys(HACCEL accelerators, MSG* message) {
    const bool repeat = (message->message == WM_KEYDOWN || message->message == WM_SYSKEYDOWN) &&
                        (message->lParam & (KF_REPEAT << 16)) != 0;
    return accelerators != nullptr && !repeat &&
           TranslateAcceleratorA(mainWindow, accelerators, message) != 0;
}

static void OnCommand(HWND window, int command) {
    switch (command) {
        case CMD_NEW:
            flight.phase = PHASE_NEW_GAME;
            break;
        case CMD_RESTART:
            flight.phase = RestartOrOwedNewGame();
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
            flight.phase = RestartOrOwedNewGame();
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
            OnKeyDown(wParam, lParam);
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
            OnSizeMove(window, message == WM_ENTERSIZEMOVE);
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
            ReleaseThrustButtons(false);
            return 0;
        case WM_SETCURSOR:
            return OnSetCursor(window, lParam) ? TRUE
                                               : DefWindowProcA(window, message, wParam, lParam);
        case WM_COMMAND:
            OnCommand(window, LOWORD(wParam));
            return 0;
        case WM_TIMER:
            if (wParam == GAME_TIMER_ID) {
                OnGameTimer(window);
            } else if (wParam == LAYOUT_TIMER_ID) {
                LayOutNow(window);
            }
            return 0;
        case WM_MOUSEACTIVATE:
            // The click that brings the game back from another program only brings it back: on
            // the sky or a thrust button, it starts no flight and fires nothing. A click on a
            // button asks this too while the game is active.
            return LOWORD(lParam) == HTCLIENT && GetActiveWindow() != window
                       ? MA_ACTIVATEANDEAT
                       : DefWindowProcA(window, message, wParam, lParam);
        case WM_LBUTTONDOWN:
            mouseWentDownHere = true;
            return 0;
        case WM_LBUTTONUP:
            OnMouseUp();
            return 0;
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}
