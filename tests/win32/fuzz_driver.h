// The message fuzzer. Its driver runs the real game under a stream of random messages: the main
// window as the game creates it, its thrust buttons, and every box that opens along the way,
// which is fuzzed from inside its own modal loop and then closed the way a player would. After
// every message the game's invariants are checked; a failure names the seed, the game's state and
// the last messages. Its generators (fuzz_messages.cpp) draw the messages from a seed: those the
// game handles, with the parameters that matter to it, and any other message number with random
// parameters, but for those that no sender may fill at random.
#ifndef TAVUNE_TESTS_WIN32_FUZZ_DRIVER_H
#define TAVUNE_TESTS_WIN32_FUZZ_DRIVER_H

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// Each shard leans one way, by its index modulo 4; all of them send every kind of message.
// Flights: calibrated, flights run to their end and the end-of-flight box. Calibration: the
// first game calibrates under the fuzz. Boxes: About and Options open often and stay open long.
// Chaos: mostly arbitrary message numbers.
enum FuzzProfile { PROFILE_FLIGHTS, PROFILE_CALIBRATION, PROFILE_BOXES, PROFILE_CHAOS };

// One shard of that many fuzz messages from the seed: every failure seen, or nothing.
std::string RunFuzzShard(uint64_t seed, FuzzProfile profile, long messages);

// The first invariant of the game's state that is broken, or null.
const char* BrokenInvariant();

// splitmix64: small, fast, and the same sequence wherever it runs.
struct FuzzRandom {
    uint64_t state;

    uint64_t Next64();
    uint32_t Below(uint32_t count) { return static_cast<uint32_t>(Next64() >> 32) % count; }
    // low to high, both included.
    int Between(int low, int high) { return low + static_cast<int>(Below(high - low + 1)); }
    bool Percent(uint32_t percent) { return Below(100) < percent; }
};

// Hands out 0 to count - 1 in an order shuffled anew every round: each value once a round.
struct FuzzCycle {
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
    bool post;            // posted and left to the running message loop, else sent
    bool invalidateFirst; // a WM_PAINT that has something to paint
};

// How often each kind of message is drawn while no box is open, in parts of the sum.
struct FuzzMix {
    int timer, keys, mainMouse, buttons, command, paint, scroll, sysCommand, random;
};

// What the generators may aim at.
struct FuzzTargets {
    HWND main;
    HWND buttons[3];
    RECT buttonRects[3];        // in the main window's client coordinates
    RECT client;                // the main window's client area
    HWND box;                   // the innermost open box, or null
    bool options;               // the box is the Options box
    std::vector<HWND> controls; // the box's controls
};

// The random sequence, and the rounds in which every key code goes down and comes up, and every
// command id and scroll code 0 to 10 is drawn.
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
