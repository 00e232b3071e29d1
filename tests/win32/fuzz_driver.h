// The message fuzzer: the real game's windows and boxes under messages drawn from a seed, its
// invariants checked after each; a failure names the seed, the state and the last messages.
#ifndef TAVUNE_TESTS_WIN32_FUZZ_DRIVER_H
#define TAVUNE_TESTS_WIN32_FUZZ_DRIVER_H

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// What a shard leans to, by its index modulo 4: whole flights and their box, the first game's
// calibration, long-open About and Options boxes, arbitrary message numbers.
enum FuzzProfile { PROFILE_FLIGHTS, PROFILE_CALIBRATION, PROFILE_BOXES, PROFILE_CHAOS };

// Every failure of one shard, or nothing.
std::string RunFuzzShard(uint64_t seed, FuzzProfile profile, long messages);

struct FuzzRandom { // splitmix64: the same sequence wherever it runs
    uint64_t state;

    uint64_t Next64();
    uint32_t Below(uint32_t count) { return static_cast<uint32_t>(Next64() >> 32) % count; }
    int Between(int low, int high) { return low + static_cast<int>(Below(high - low + 1)); }
    bool Percent(uint32_t percent) { return Below(100) < percent; }
};

struct FuzzCycle { // 0 to count - 1, each once a round, shuffled anew every round
    std::vector<int> order;
    size_t next;

    explicit FuzzCycle(int count);
    int Next(FuzzRandom& random);
};

struct FuzzMessage {
    HWND target;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    bool post;            // else sent
    bool invalidateFirst; // a WM_PAINT with something to paint
};

// The weights of the kinds of message drawn while no box is open: timer, keys, mouse on the
// main window, thrust buttons, command, paint, scroll, system command, any number.
using FuzzMix = int[9];

struct FuzzTargets {
    HWND main;
    HWND buttons[3];
    RECT buttonRects[3]; // in the main window's client coordinates
    RECT client;
    HWND box; // the innermost open box, or null
    bool options;
    std::vector<HWND> controls;
};

// Rounds of every key code down and up, and of command ids and scroll codes 0 to 10.
struct FuzzGenerator {
    FuzzRandom random;
    FuzzCycle keyCodes[2] = {FuzzCycle(256), FuzzCycle(256)};
    FuzzCycle commandIds{11}, boxCommandIds{11}, scrollCodes{11};

    explicit FuzzGenerator(uint64_t seed) : random{seed} {}
};

// One message for the main window or a thrust button, while no box is open.
FuzzMessage GameMessage(FuzzGenerator& generator, const FuzzMix& mix, const FuzzTargets& targets);
// One message for the open box, its controls, or now and then the windows behind it.
FuzzMessage BoxMessage(FuzzGenerator& generator, const FuzzTargets& targets);

#endif
