// tick_bench: how regularly a 50 ms SetTimer really arrives through a GetMessage loop, then the
// game's flying tick in its real main window with real drawing, each GameTick timed alone while an
// autopilot hovers the craft about the sky. Prints "name value" lines (microseconds, milliseconds).
// Usage: tick_bench.exe [SPACING_MS]: the time spent handling messages between the timed ticks
// (default 20; ticks back to back measured about four times faster, from 20 ms on as at 50 ms).
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
#include "win32_test_util.h"
#include "ui/thrust.h"

static const size_t TIMER_INTERVALS = 200, FLYING_TICKS = 1000;
static const int MAX_RESETS = 50; // before the run fails; a healthy hover needs none or a few

static double NowSeconds() {
    LARGE_INTEGER frequency, count;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&count);
    return static_cast<double>(count.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Prints "PREFIX_count N", "PREFIX_median_UNIT VALUE" and the like: what the report takes of it.
// The 99th percentile is by nearest rank: the smallest value with 99% of them at or below it.
static void PrintFigures(std::vector<double> v, const char* prefix, const char* unit,
                         int decimals) {
    const size_t n = v.size();
    const double mean = std::accumulate(v.begin(), v.end(), 0.0) / n;
    const double squares = std::accumulate(v.begin(), v.end(), 0.0, [mean](double sum, double x) {
        return sum + (x - mean) * (x - mean);
    });
    std::sort(v.begin(), v.end());
    const double median = n % 2 == 1 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2.0;
    const double p99 = v[std::max<size_t>(static_cast<size_t>(std::ceil(0.99 * n)), 1) - 1];
    const double figures[] = {median, p99, v.front(), v.back(), mean, std::sqrt(squares / n)};
    const char* const names[] = {"median", "p99", "min", "max", "mean", "stddev"};
    std::printf("%s_count %d\n", prefix, static_cast<int>(n));
    for (int i = 0; i < 6; ++i) {
        std::printf("%s_%s_%s %.*f\n", prefix, names[i], unit, decimals, figures[i]);
    }
}

[[noreturn]] static void Fail(const char* what) {
    std::fprintf(stderr, "tick_bench: %s\n", what);
    std::exit(1);
}

// A 50 ms timer alone in the process, before the game's window exists.
static void MeasureTimer() {
    const UINT_PTR timer = SetTimer(nullptr, 0, GAME_TIMER_PERIOD_MS, nullptr);
    std::vector<double> arrivals, intervals;
    MSG message;
    while (timer != 0 && arrivals.size() <= TIMER_INTERVALS &&
           GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (message.message == WM_TIMER && message.wParam == timer) {
            arrivals.push_back(NowSeconds());
        }
    }
    KillTimer(nullptr, timer);
    for (size_t i = 1; i < arrivals.size(); ++i) {
        intervals.push_back((arrivals[i] - arrivals[i - 1]) * 1000.0);
    }
    if (intervals.empty()) {
        Fail("cannot set a timer");
    }
    PrintFigures(intervals, "timer", "ms", 2);
}

// The game's window, its timer stopped: a calibration at the timer's pace, so that the time step is
// a real one, then the flying ticks, the autopilot steering toward a point that wanders over the
// sky, so the craft moves, turns and fires every thruster, and the flames come and go.
static void MeasureFlyingTicks(int spacingMs) {
    if (RegisterMainClass(appInstance) == 0 || RegisterThrustClass(appInstance) == 0 ||
        CreateMainWindow(appInstance) == nullptr) {
        Fail("cannot make the game's window");
    }
    ShowWindow(mainWindow, SW_SHOWMAXIMIZED);
    UpdateWindow(mainWindow);
    KillTimer(mainWindow, GAME_TIMER_ID);
    for (const double giveUp = NowSeconds() + 15.0; flight.phase != PHASE_READY;) {
        if (NowSeconds() > giveUp) {
            Fail("the game did not become ready");
        }
        GameTick(reinterpret_cast<GameWindow>(mainWindow));
        PumpFor(GAME_TIMER_PERIOD_MS);
    }
    std::vector<double> ticks;
    int resets = 0;
    flight.phase = PHASE_FLYING;
    for (int tick = 0; ticks.size() < FLYING_TICKS; ++tick) {
        if (flight.phase != PHASE_FLYING) { // a touchdown or a craft gone astray: off the clock
            if (++resets > MAX_RESETS) {
                Fail("the craft kept leaving the sky");
            }
            ResetCraft();
            RedrawWindow(mainWindow, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
            flight.phase = PHASE_FLYING;
        }
        flight.fuel =
            flight.fuel < settings.initialFuel / 4.0f ? settings.initialFuel : flight.fuel;
        PumpFor(static_cast<DWORD>(spacingMs));
        const double phase = static_cast<double>(tick) / 150.0;
        const double wantVy =
            std::clamp((600.0 + 250.0 * std::sin(phase) - flight.altitude) * 0.1, -15.0, 15.0);
        const double wantVx =
            std::clamp((400.0 * std::sin(phase * 0.7) - flight.posX) * 0.05, -8.0, 8.0);
        flight.thrusterOn[THRUSTER_MAIN] = flight.vy < wantVy ? 1 : 0;
        flight.thrusterOn[THRUSTER_LEFT] = flight.vx < wantVx - 0.5 ? 1 : 0;
        flight.thrusterOn[THRUSTER_RIGHT] = flight.vx > wantVx + 0.5 ? 1 : 0;
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
}

int main(int argc, char** argv) {
    appInstance = GetModuleHandleA(nullptr);
    MeasureTimer();
    MeasureFlyingTicks(std::max(argc > 1 ? std::atoi(argv[1]) : 20, 0));
}
