// A host for the phase machine that records every call it gets, in order, as short text lines,
// and answers as the real window would: the craft touches the ground where the contact probes
// say so, and the clock advances only when the test says.
#ifndef TAVUNE_TESTS_RECORDING_HOST_H
#define TAVUNE_TESTS_RECORDING_HOST_H

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "game/host.h"

struct DialogRecord {
    int outcome;
    int phase; // the phase while the box is open
};

struct Recorder {
    std::vector<std::string> calls;
    std::vector<DialogRecord> dialogs;
    uint32_t clock = 0;
    int menuBarHeight = 19;
    int openSurfaces = 0; // surfaces taken and not yet released
    int inputEnabled = 1; // as the window would have it
    int busyCursor = 0;
    std::function<void()> whileDialogOpen; // runs inside the end-of-flight box

    void Clear() { calls.clear(); }
    // How many recorded calls start with the given text.
    int Count(const std::string& prefix) const;
};

extern Recorder recorder;

// Installs the recorder as the game's host, emptied, with the clock at start.
void InstallRecorder(uint32_t startClock = 0);

// One timer tick: the clock moves on by the period, then the game ticks.
void Tick(uint32_t periodMs = 50);

// Ticks until the phase differs from the current one or the limit is reached; returns the count.
int TickWhilePhase(int phase, int limit = 100000);

#endif
