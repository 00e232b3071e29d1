// The game's message loop, as tests, probes and benchmarks run it between their steps.
#ifndef TAVUNE_TESTS_WIN32_PUMP_H
#define TAVUNE_TESTS_WIN32_PUMP_H

#include <windows.h>

// Handles every message waiting for this thread, then returns.
inline void PumpMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

// Dispatches messages as the game's loop does, timers' among them, until done() or the time is
// up; whether done() held.
template <typename Done> bool PumpUntil(Done done, DWORD milliseconds) {
    for (DWORD start = GetTickCount(), spent = 0; !done() && spent < milliseconds;
         spent = GetTickCount() - start) {
        const DWORD left = milliseconds - spent;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, left < 10 ? left : 10, QS_ALLINPUT);
        PumpMessages();
    }
    return done();
}

// Dispatches messages for that long.
inline void PumpFor(DWORD milliseconds) {
    PumpUntil([] { return false; }, milliseconds);
}

#endif
