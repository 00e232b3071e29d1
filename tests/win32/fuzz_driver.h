// Runs the real game under a stream of random messages: the main window as the game creates it,
// its thrust buttons, and every box that opens along the way, which is fuzzed from inside its own
// modal loop and then closed the way a player would. After every message the game's invariants
// are checked; a fault prints the seed and the last messages before the process ends.
#ifndef TAVUNE_TESTS_WIN32_FUZZ_DRIVER_H
#define TAVUNE_TESTS_WIN32_FUZZ_DRIVER_H

#include <cstdint>
#include <string>

#include "fuzz_messages.h"

// Each shard leans one way; all of them send every kind of message.
enum FuzzProfile {
    PROFILE_FLIGHTS,     // calibrated; flights run to their end and the end-of-flight box
    PROFILE_CALIBRATION, // a fresh process: the first game calibrates under the fuzz
    PROFILE_BOXES,       // About and Options open often and stay open long
    PROFILE_CHAOS,       // mostly arbitrary message numbers
    PROFILE_COUNT,
};
const char* ProfileName(int profile);

// Messages per shard: a shard stays well under a minute under Wine.
constexpr int FUZZ_SHARD_MESSAGES = 10000;
constexpr uint64_t FUZZ_DEFAULT_SEED = 0x7A7E5EEDull;

// TAVUNE_FUZZ_SEED (decimal or 0x hex) or the default.
uint64_t FuzzBaseSeed();
// The build sets the number of shards, so that the list of tests is known before the program runs.
#ifndef TAVUNE_FUZZ_SHARDS
#error "TAVUNE_FUZZ_SHARDS (the number of fuzz shards) comes from tests/CMakeLists.txt"
#endif
static_assert(TAVUNE_FUZZ_SHARDS >= 1, "at least one fuzz shard");
constexpr int FuzzShardCount() {
    return TAVUNE_FUZZ_SHARDS;
}
// The seed of one shard, from the base seed and its index.
uint64_t FuzzShardSeed(uint64_t baseSeed, int index);

struct FuzzShard {
    uint64_t seed;
    int profile;
    int messages;
};

struct FuzzReport {
    long fuzzMessages = 0;  // drawn by the generators (the driver's own to close boxes aside)
    int handsOffChecks = 0; // times every key and the mouse came up, a tick passed, nothing fired
    int boxesOpened[BOX_KIND_COUNT] = {};
    int boxesShown = 0;     // on the screen while the fuzz worked on them
    int gdiObjectsLeft = 0; // objects more after the shard than before it, window DCs aside
    int windowDCsLeft = 0;  // window DCs and their regions more
    FuzzCoverage coverage;
    std::string failure; // empty when every invariant held
};

FuzzReport RunFuzzShard(const FuzzShard& shard);

// The first invariant of the game's state that is broken, or null.
const char* BrokenInvariant();

#endif
