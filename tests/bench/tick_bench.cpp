// tick_bench: times the game's own work inside one process, with the real main window and real
// drawing. First the flying tick: the game timer is stopped and GameTick is called directly,
// each call timed alone, while a simple autopilot keeps the craft hovering about the sky. Then
// the timer itself: how regularly a 50 ms SetTimer really arrives through a GetMessage loop.
//
// Usage: tick_bench.exe [SPACING_MS]   prints "name value" lines (microseconds, milliseconds)
//   SPACING_MS  time between the timed ticks, spent handling messages (default 20). Ticks much
//               closer together than the game's 50 ms measured faster here (back to back, about a
//               quarter of the time); from about 20 ms on they cost what they cost at 50 ms.
// Exit code: 0 on success, 1 when a window could not be made or the game never became ready.
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "app/instance.h"
#include "app/main_window.h"
#include "game/state.h"
#include "game/tick.h"
#include "ui/thrust.h"

static const int FLYING_TICKS = 1000;
// Resets allowed before the run counts as failed; a healthy hover needs none or a few.
static const int MAX_RESETS = 50;
static const int TIMER_INTERVALS = 200;
static const int DEFAULT_SPACING_MS = 20;
static const UINT_PTR BENCH_TIMER_ID = 7;
static const char TIMER_CLASS_NAME[] = "TavuneTimerBench";

static double countsPerSecond = 0.0;

static double NowSeconds() {
    LARGE_INTEGER count;
    QueryPerformanceCounter(&count);
    return static_cast<double>(count.QuadPart) / countsPerSecond;
}

static void DispatchPending() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE) != 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

// Handles messages as they come for the given time, as the game's loop would between ticks.
static void PumpFor(double seconds) {
    const double end = NowSeconds() + seconds;
    for (;;) {
        DispatchPending();
        const double left = end - NowSeconds();
        if (left <= 0.0) {
            return;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(left * 1000.0) + 1,
                                  QS_ALLINPUT);
    }
}

static double Clamp(double value, double low, double high) {
    return std::min(std::max(value, low), high);
}

// The autopilot: steers toward a point that wanders slowly over the sky, so the craft moves,
// turns and fires every thruster, and the flames come and go as in a real flight.
static void Steer(int tick) {
    const double phase = static_cast<double>(tick) / 150.0;
    const double targetAltitude = 600.0 + 250.0 * std::sin(phase);
    const double targetX = 400.0 * std::sin(phase * 0.7);
    const double wantVy =
        Clamp((targetAltitude - static_cast<double>(flight.altitude)) * 0.1, -15.0, 15.0);
    const double wantVx = Clamp((targetX - static_cast<double>(flight.posX)) * 0.05, -8.0, 8.0);
    const double vx = static_cast<double>(flight.vx);
    flight.thrusterOn[THRUSTER_MAIN] = static_cast<double>(flight.vy) < wantVy ? 1 : 0;
    flight.thrusterOn[THRUSTER_LEFT] = vx < wantVx - 0.5 ? 1 : 0;
    flight.thrusterOn[THRUSTER_RIGHT] = vx > wantVx + 0.5 ? 1 : 0;
}

static double Percentile(const std::vector<double>& sorted, double fraction) {
    // Nearest rank: the smallest value with at least this fraction of the values at or below.
    const size_t rank =
        static_cast<size_t>(std::ceil(fraction * static_cast<double>(sorted.size())));
    return sorted[std::max<size_t>(rank, 1) - 1];
}

static double Median(const std::vector<double>& sorted) {
    const size_t n = sorted.size();
    return n % 2 == 1 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2.0;
}

// New game and calibration at the timer's own pace, so the calibrated time step is a real one.
static bool StartGame(GameWindow window) {
    const double giveUp = NowSeconds() + 15.0;
    while (flight.phase != PHASE_READY) {
        if (NowSeconds() > giveUp) {
            return false;
        }
        GameTick(window);
        PumpFor(GAME_TIMER_PERIOD_MS / 1000.0);
    }
    return true;
}

static bool MeasureFlyingTicks(GameWindow window, int spacingMs) {
    std::vector<double> ticks;
    ticks.reserve(FLYING_TICKS);
    int resets = 0;
    flight.phase = PHASE_FLYING;
    for (int tick = 0; static_cast<int>(ticks.size()) < FLYING_TICKS; ++tick) {
        if (flight.phase != PHASE_FLYING) {
            // A touchdown or a craft gone astray: back to the start, off the clock.
            if (++resets > MAX_RESETS) {
                return false;
            }
            ResetCraft();
            InvalidateRect(mainWindow, nullptr, TRUE);
            UpdateWindow(mainWindow);
            flight.phase = PHASE_FLYING;
        }
        if (flight.fuel < settings.initialFuel / 4.0f) {
            flight.fuel = settings.initialFuel;
        }
        PumpFor(spacingMs / 1000.0);
        Steer(tick);
        const double start = NowSeconds();
        GameTick(window);
        const double end = NowSeconds();
        if (flight.phase == PHASE_FLYING) {
            ticks.push_back((end - start) * 1e6);
        }
    }
    std::sort(ticks.begin(), ticks.end());
    std::printf("tick_count %d\n", static_cast<int>(ticks.size()));
    std::printf("tick_spacing_ms %d\n", spacingMs);
    std::printf("tick_resets %d\n", resets);
    std::printf("tick_time_step_s %.4f\n", static_cast<double>(settings.timeStep));
    std::printf("tick_median_us %.1f\n", Median(ticks));
    std::printf("tick_p99_us %.1f\n", Percentile(ticks, 0.99));
    std::printf("tick_max_us %.1f\n", ticks.back());
    return true;
}

static std::vector<double> timerArrivals;

static LRESULT CALLBACK TimerWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_TIMER:
            timerArrivals.push_back(NowSeconds());
            if (static_cast<int>(timerArrivals.size()) > TIMER_INTERVALS) {
                KillTimer(window, BENCH_TIMER_ID);
                PostQuitMessage(0);
            }
            return 0;
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}

static bool MeasureTimer(HINSTANCE instance) {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = TimerWndProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = TIMER_CLASS_NAME;
    if (RegisterClassA(&windowClass) == 0) {
        return false;
    }
    HWND window = CreateWindowExA(0, TIMER_CLASS_NAME, "Tavune timer bench", WS_OVERLAPPEDWINDOW, 0,
                                  0, 200, 100, nullptr, nullptr, instance, nullptr);
    if (window == nullptr) {
        return false;
    }
    timerArrivals.reserve(TIMER_INTERVALS + 1);
    SetTimer(window, BENCH_TIMER_ID, GAME_TIMER_PERIOD_MS, nullptr);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    DestroyWindow(window);

    std::vector<double> intervals;
    for (size_t i = 1; i < timerArrivals.size(); ++i) {
        intervals.push_back((timerArrivals[i] - timerArrivals[i - 1]) * 1000.0);
    }
    double sum = 0.0;
    for (double interval : intervals) {
        sum += interval;
    }
    const double mean = sum / static_cast<double>(intervals.size());
    double squares = 0.0;
    for (double interval : intervals) {
        squares += (interval - mean) * (interval - mean);
    }
    std::printf("timer_count %d\n", static_cast<int>(intervals.size()));
    std::printf("timer_mean_ms %.2f\n", mean);
    std::printf("timer_min_ms %.2f\n", *std::min_element(intervals.begin(), intervals.end()));
    std::printf("timer_max_ms %.2f\n", *std::max_element(intervals.begin(), intervals.end()));
    std::printf("timer_stddev_ms %.2f\n",
                std::sqrt(squares / static_cast<double>(intervals.size())));
    return true;
}

int main(int argc, char** argv) {
    const int spacingMs = argc > 1 ? std::atoi(argv[1]) : DEFAULT_SPACING_MS;
    appInstance = GetModuleHandleA(nullptr);
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    countsPerSecond = static_cast<double>(frequency.QuadPart);

    if (RegisterMainClass(appInstance) == 0 || RegisterThrustClass(appInstance) == 0 ||
        CreateMainWindow(appInstance) == nullptr) {
        std::fprintf(stderr, "tick_bench: cannot make the game's window\n");
        return 1;
    }
    ShowWindow(mainWindow, SW_SHOWMAXIMIZED);
    UpdateWindow(mainWindow);
    // The bench calls GameTick itself; the window's own ticks would come in between.
    KillTimer(mainWindow, GAME_TIMER_ID);
    GameWindow game = reinterpret_cast<GameWindow>(mainWindow);
    if (!StartGame(game)) {
        std::fprintf(stderr, "tick_bench: the game did not become ready\n");
        return 1;
    }
    if (!MeasureFlyingTicks(game, std::max(spacingMs, 0))) {
        std::fprintf(stderr, "tick_bench: the craft kept leaving the sky\n");
        return 1;
    }
    std::fflush(stdout);

    // The game's window goes first so the timer is measured alone; its WM_DESTROY posts a quit
    // message that must not end the timer's loop.
    DestroyWindow(mainWindow);
    MSG quit;
    while (PeekMessageA(&quit, nullptr, 0, 0, PM_REMOVE) != 0) {
    }
    if (!MeasureTimer(appInstance)) {
        std::fprintf(stderr, "tick_bench: cannot make the timer's window\n");
        return 1;
    }
    return 0;
}
