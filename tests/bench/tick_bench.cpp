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
#include <numeric>
#include <vector>

#include "app/instance.h"
#include "app/main_window.h"
#include "game/state.h"
#include "game/tick.h"
#include "ui/thrust.h"

static const int FLYING_TICKS = 1000;
// Resets allowed before the run counts as failed; a healthy hover needs none or a few.
static const int MAX_RESETS = 50;
static const size_t TIMER_INTERVALS = 200;

static double countsPerSecond = 0.0;

static double NowSeconds() {
    LARGE_INTEGER count;
    QueryPerformanceCounter(&count);
    return static_cast<double>(count.QuadPart) / countsPerSecond;
}

// Handles messages as they come for the given time, as the game's loop would between ticks.
static void PumpFor(double seconds) {
    const double end = NowSeconds() + seconds;
    MSG message;
    for (;;) {
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE) != 0) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        const double left = end - NowSeconds();
        if (left <= 0.0) {
            return;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(left * 1000.0) + 1,
                                  QS_ALLINPUT);
    }
}

// The autopilot: steers toward a point that wanders slowly over the sky, so the craft moves,
// turns and fires every thruster, and the flames come and go as in a real flight.
static void Steer(int tick) {
    const double phase = static_cast<double>(tick) / 150.0;
    const double targetAltitude = 600.0 + 250.0 * std::sin(phase);
    const double targetX = 400.0 * std::sin(phase * 0.7);
    const double wantVy = std::clamp((targetAltitude - flight.altitude) * 0.1, -15.0, 15.0);
    const double wantVx = std::clamp((targetX - flight.posX) * 0.05, -8.0, 8.0);
    flight.thrusterOn[THRUSTER_MAIN] = flight.vy < wantVy ? 1 : 0;
    flight.thrusterOn[THRUSTER_LEFT] = flight.vx < wantVx - 0.5 ? 1 : 0;
    flight.thrusterOn[THRUSTER_RIGHT] = flight.vx > wantVx + 0.5 ? 1 : 0;
}

// Prints "PREFIX_count N", "PREFIX_median_UNIT VALUE" and the like: what the report takes of it.
static void PrintFigures(std::vector<double> values, const char* prefix, const char* unit,
                         int decimals) {
    const double n = static_cast<double>(values.size());
    const double mean = std::accumulate(values.begin(), values.end(), 0.0) / n;
    double squares = 0.0;
    for (double value : values) {
        squares += (value - mean) * (value - mean);
    }
    std::sort(values.begin(), values.end());
    const size_t half = values.size() / 2;
    // The 99th percentile by nearest rank: the smallest value with 99% of them at or below.
    const size_t rank99 = std::max<size_t>(static_cast<size_t>(std::ceil(0.99 * n)), 1);
    const double median =
        values.size() % 2 == 1 ? values[half] : (values[half - 1] + values[half]) / 2.0;
    const double figures[] = {median, values[rank99 - 1],    values.front(), values.back(),
                              mean,   std::sqrt(squares / n)};
    const char* const names[] = {"median", "p99", "min", "max", "mean", "stddev"};
    std::printf("%s_count %d\n", prefix, static_cast<int>(values.size()));
    for (int i = 0; i < 6; ++i) {
        std::printf("%s_%s_%s %.*f\n", prefix, names[i], unit, decimals, figures[i]);
    }
}

static bool Fail(const char* what) {
    std::fprintf(stderr, "tick_bench: %s\n", what);
    return false;
}

// The game's window, and a new game and calibration at the timer's own pace, so that the
// calibrated time step is a real one.
static bool StartGame() {
    if (RegisterMainClass(appInstance) == 0 || RegisterThrustClass(appInstance) == 0 ||
        CreateMainWindow(appInstance) == nullptr) {
        return Fail("cannot make the game's window");
    }
    ShowWindow(mainWindow, SW_SHOWMAXIMIZED);
    UpdateWindow(mainWindow);
    // The bench calls GameTick itself; the window's own ticks would come in between.
    KillTimer(mainWindow, GAME_TIMER_ID);
    for (const double giveUp = NowSeconds() + 15.0; flight.phase != PHASE_READY;) {
        if (NowSeconds() > giveUp) {
            return Fail("the game did not become ready");
        }
        GameTick(reinterpret_cast<GameWindow>(mainWindow));
        PumpFor(GAME_TIMER_PERIOD_MS / 1000.0);
    }
    return true;
}

static bool MeasureFlyingTicks(int spacingMs) {
    std::vector<double> ticks;
    int resets = 0;
    flight.phase = PHASE_FLYING;
    for (int tick = 0; static_cast<int>(ticks.size()) < FLYING_TICKS; ++tick) {
        if (flight.phase != PHASE_FLYING) {
            // A touchdown or a craft gone astray: back to the start, off the clock.
            if (++resets > MAX_RESETS) {
                return Fail("the craft kept leaving the sky");
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
        GameTick(reinterpret_cast<GameWindow>(mainWindow));
        const double end = NowSeconds();
        if (flight.phase == PHASE_FLYING) {
            ticks.push_back((end - start) * 1e6);
        }
    }
    std::printf("tick_spacing_ms %d\ntick_resets %d\n", spacingMs, resets);
    std::printf("tick_time_step_s %.4f\n", static_cast<double>(settings.timeStep));
    PrintFigures(ticks, "tick", "us", 1);
    return true;
}

static std::vector<double> timerArrivals;

static LRESULT CALLBACK TimerWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_TIMER) {
        return DefWindowProcA(window, message, wParam, lParam);
    }
    timerArrivals.push_back(NowSeconds());
    if (timerArrivals.size() > TIMER_INTERVALS) {
        KillTimer(window, wParam);
        PostQuitMessage(0);
    }
    return 0;
}

// The game's window goes first, so that the timer is measured alone (its WM_DESTROY posts a quit
// message, which must not end the timer's loop); a hidden window of our own holds the timer.
static bool MeasureTimer() {
    std::fflush(stdout);
    DestroyWindow(mainWindow);
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE) != 0) {
    }
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = TimerWndProc;
    windowClass.hInstance = appInstance;
    windowClass.lpszClassName = "TavuneTimerBench";
    RegisterClassA(&windowClass); // without it, no window either
    HWND window =
        CreateWindowExA(0, windowClass.lpszClassName, "Tavune timer bench", WS_OVERLAPPEDWINDOW, 0,
                        0, 200, 100, nullptr, nullptr, appInstance, nullptr);
    if (window == nullptr) {
        return Fail("cannot make the timer's window");
    }
    timerArrivals.reserve(TIMER_INTERVALS + 1);
    SetTimer(window, 1, GAME_TIMER_PERIOD_MS, nullptr);
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    DestroyWindow(window);
    std::vector<double> intervals;
    for (size_t i = 1; i < timerArrivals.size(); ++i) {
        intervals.push_back((timerArrivals[i] - timerArrivals[i - 1]) * 1000.0);
    }
    PrintFigures(intervals, "timer", "ms", 2);
    return true;
}

int main(int argc, char** argv) {
    appInstance = GetModuleHandleA(nullptr);
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    countsPerSecond = static_cast<double>(frequency.QuadPart);
    const int spacingMs = std::max(argc > 1 ? std::atoi(argv[1]) : 20, 0);
    return StartGame() && MeasureFlyingTicks(spacingMs) && MeasureTimer() ? 0 : 1;
}
