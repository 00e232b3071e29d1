// polling_loop: the yardstick for the game's idle cost. A maximised black window with the game's
// 50 ms timer, run by a message loop that polls and never waits, as the game's loop once did.
// scripts/bench measures the processor time this takes next to the game waiting for a key.
//
// Usage: polling_loop.exe [SECONDS]   closes itself after SECONDS (default: runs until closed).
// Exit code: 0 after WM_QUIT, 1 when the window could not be made.
#include <windows.h>

#include <cstdlib>

static const UINT_PTR TICK_TIMER_ID = 1;
static const UINT_PTR END_TIMER_ID = 2;

// Counted so that the timer's handler does the least possible work that is still observable.
static volatile long timerTicks = 0;

static LRESULT CALLBACK PollingWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_TIMER && wParam == END_TIMER_ID) {
        DestroyWindow(window);
    } else if (message == WM_TIMER) {
        timerTicks = timerTicks + 1;
    } else if (message == WM_DESTROY) {
        PostQuitMessage(0);
    } else {
        return DefWindowProcA(window, message, wParam, lParam);
    }
    return 0;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = PollingWndProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    windowClass.lpszClassName = "TavunePollingLoop";
    RegisterClassA(&windowClass); // without it, no window either
    HWND window = CreateWindowExA(0, windowClass.lpszClassName, "Tavune polling loop",
                                  WS_OVERLAPPEDWINDOW | WS_MAXIMIZE, CW_USEDEFAULT, 0,
                                  CW_USEDEFAULT, 0, nullptr, nullptr, instance, nullptr);
    if (window == nullptr) {
        return 1;
    }
    ShowWindow(window, SW_SHOWMAXIMIZED);
    UpdateWindow(window);
    SetTimer(window, TICK_TIMER_ID, 50, nullptr);
    const long seconds = std::strtol(commandLine, nullptr, 10);
    if (seconds > 0) {
        SetTimer(window, END_TIMER_ID, static_cast<UINT>(seconds * 1000), nullptr);
    }
    // Never waits: PeekMessage returns at once whether or not a message is there.
    MSG message;
    for (;;) {
        if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE) != 0) {
            if (message.message == WM_QUIT) {
                return static_cast<int>(message.wParam);
            }
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
}
