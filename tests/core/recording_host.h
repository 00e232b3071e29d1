// A host for the phase machine that records every call it gets, in order, as short text lines,
// and answers as the real window would: the craft touches the ground where the contact probes
// say so, and the clock advances only when the test says. A call the real window could not take
// (a second surface, a picture that does not exist, a box opened in the wrong phase) is noted in
// faults. Thrust button id holds thruster id: the game only ever releases all three buttons, so
// which fires which is the buttons' business. The core's tests and the flight fuzzer use it.
#ifndef TAVUNE_TESTS_RECORDING_HOST_H
#define TAVUNE_TESTS_RECORDING_HOST_H

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "game/host.h"

struct Recorder {
    std::vector<std::string> calls, faults;
    uint32_t clock = 0;
    int menuBarHeight = 19;
    int openSurfaces = 0;                 // surfaces taken and not yet released
    int inputEnabled = 1, busyCursor = 0; // as the window would have them
    int dialogs = 0, dialogOpen = 0;      // end-of-flight boxes opened, and one open now
    int callCount = 0;                    // drawing and window calls, recorded or not
    bool keepCalls = true;                // false: no calls recorded, only faults and counts
    // Runs inside the end-of-flight box, where no tick may make a drawing or window call.
    std::function<void()> whileDialogOpen;

    void Clear() { calls.clear(); }
    // The recorded calls that start with any of the given texts, in order.
    std::vector<std::string> Only(std::initializer_list<const char*> prefixes) const;
};

extern Recorder recorder;

// Installs the recorder as the game's host, emptied, with the clock at start.
void InstallRecorder(uint32_t startClock = 0);

// One timer tick: the clock moves on by the period, then the game ticks.
void Tick(uint32_t periodMs = 50);

// Ticks until the phase differs from the current one or the limit is reached; returns the count.
int TickWhilePhase(int phase, int limit = 100000);

#endif
