// polling_loop: the yardstick for the game's idle cost, measured by scripts/bench next to the game
// waiting for a key: a maximised black window with the game's 50 ms timer, run by a message loop
// that polls and never waits, as the game's loop once did.
// Usage: polling_loop.exe [SECONDS]   closes itself after SECONDS (default: runs until closed).
// Exit code: 0 when done or closed, 1 when the window could not be made.
#include <windows.h>

#include <cstdlib>

static const UINT_PTR TICK_TIMER_ID = 1, END_TIMER_ID = 2;

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcA;
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
    // Never waits: PeekMessage returns at once. Counting ticks is the least work still observable.
    volatile long timerTicks = 0;
    for (MSG message;;) {
        if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE) == 0) {
            continue;
        }
        if (message.message == WM_TIMER && message.wParam == END_TIMER_ID) {
            return 0;
        }
        if (message.message == WM_TIMER) {
            timerTicks = timerTicks + 1;
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
        if (IsWindow(window) == 0) { // closed
            return 0;
        }
    }
}
