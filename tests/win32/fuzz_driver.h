// Runs the real game under a stream of random messages: the main window as the game creates it,
// its thrust buttons, and every box that opens along the way, which is fuzzed from inside its own
// modal loop and then closed the way a player would. After every message the game's invariants
// are checked; a failure names the seed, the game's state and the last messages.
#ifndef TAVUNE_TESTS_WIN32_FUZZ_DRIVER_H
#define TAVUNE_TESTS_WIN32_FUZZ_DRIVER_H

#include <cstdint>
#include <string>

// Each shard leans one way, by its index modulo 4; all of them send every kind of message.
// Flights: calibrated, flights run to their end and the end-of-flight box. Calibration: the
// first game calibrates under the fuzz. Boxes: About and Options open often and stay open long.
// Chaos: mostly arbitrary message numbers.
enum FuzzProfile { PROFILE_FLIGHTS, PROFILE_CALIBRATION, PROFILE_BOXES, PROFILE_CHAOS };

// One shard of that many fuzz messages from the seed: every failure seen, or nothing.
std::string RunFuzzShard(uint64_t seed, FuzzProfile profile, long messages);

// The first invariant of the game's state that is broken, or null.
const char* BrokenInvariant();

#endif
