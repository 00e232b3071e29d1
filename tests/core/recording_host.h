// A host for the phase machine, for the core's tests and the flight fuzzer: it records every call
// as a text line and answers as the real window would (ground where the contact probes say, the
// clock moving only when told), and notes in faults any call the window could not take. Thrust
// button id holds thruster id: the game only ever releases all three, whichever fires which.
#ifndef TAVUNE_TESTS_RECORDING_HOST_H
#define TAVUNE_TESTS_RECORDING_HOST_H

#include <cstdint>
#include <functional>
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
};

extern Recorder recorder;

// Installs the recorder as the game's host, emptied, with the clock at start.
void InstallRecorder(uint32_t startClock = 0);
// One timer tick: the clock moves on by the period, then the game ticks.
void Tick(uint32_t periodMs = 50);
// Ticks until the phase differs from the current one or the limit is reached; returns the count.
int TickWhilePhase(int phase, int limit = 100000);

#endif
