// The game under random messages: the shard (of TAVUNE_FUZZ_SHARDS, 10,000 messages each) that
// TAVUNE_FUZZ_SHARD names, from TAVUNE_FUZZ_SEED if set; a failure names both.
#include <gtest/gtest.h>

#include <cstdlib>
#include <limits>
#include <string>
#include <utility>

#include "fuzz_driver.h"
#include "game/state.h"
#include "game_fixture.h"
#include "ui/thrust.h"

#ifndef TAVUNE_FUZZ_SHARDS
#error "TAVUNE_FUZZ_SHARDS (the number of fuzz shards) comes from tests/CMakeLists.txt"
#endif

namespace {

uint64_t ShardSeed(uint64_t baseSeed, int index) {
    FuzzRandom mixer{baseSeed ^ (static_cast<uint64_t>(index) * 0xD1B54A32D192ED03ull)};
    return mixer.Next64();
}

// A name of no shard fails, so that no ctest test passes without running its shard.
TEST(FuzzShards, TheGameKeepsItsInvariants) {
    const char* seed = std::getenv("TAVUNE_FUZZ_SEED");
    const uint64_t base =
        seed != nullptr && *seed != '\0' ? std::strtoull(seed, nullptr, 0) : 0x7A7E5EEDull;
    const char* name = std::getenv("TAVUNE_FUZZ_SHARD");
    char* end = nullptr;
    const long shard = name != nullptr ? std::strtol(name, &end, 10) : -1;
    ASSERT_TRUE(end != name && *end == '\0' && shard >= 0 && shard < TAVUNE_FUZZ_SHARDS)
        << "TAVUNE_FUZZ_SHARD=" << (name != nullptr ? name : "(unset)")
        << " names no shard of 0 to " << TAVUNE_FUZZ_SHARDS - 1;
    EXPECT_EQ(RunFuzzShard(ShardSeed(base, static_cast<int>(shard)),
                           static_cast<FuzzProfile>(shard % 4), 10000),
              "")
        << "replay with TAVUNE_FUZZ_SEED=" << base << " TAVUNE_FUZZ_SHARD=" << shard;
}

// A seed draws the same messages every time, and another seed others.
TEST(FuzzGenerator, ASeedDrawsTheSameMessagesEveryTime) {
    FuzzTargets targets = {};
    targets.client = targets.buttonRects[0] = targets.buttonRects[1] = targets.buttonRects[2] =
        RECT{0, 0, 48, 48};
    const FuzzMix mix = {350, 180, 80, 140, 12, 30, 10, 2, 196};
    FuzzGenerator first(42), second(42), other(43);
    int differences = 0;
    for (int i = 0; i < 2000; ++i) {
        const FuzzMessage a = GameMessage(first, mix, targets),
                          b = GameMessage(second, mix, targets);
        ASSERT_TRUE(a.message == b.message && a.wParam == b.wParam && a.lParam == b.lParam &&
                    a.post == b.post)
            << i;
        differences += a.wParam != GameMessage(other, mix, targets).wParam;
    }
    EXPECT_GT(differences, 1000);
    EXPECT_NE(ShardSeed(1, 5), ShardSeed(1, 6));
    EXPECT_NE(ShardSeed(1, 5), ShardSeed(2, 5));
}

// The invariants themselves fire on what they are meant to catch.
TEST(FuzzInvariants, EachBrokenInvariantIsNamed) {
    const std::pair<const char*, void (*)()> cases[] = {
        {"phase 14", [] { flight.phase = 14; }},
        {"thruster 2", [] { flight.thrusterOn[THRUSTER_LEFT] = 2; }},
        {"thruster -1", [] { flight.thrusterOn[THRUSTER_MAIN] = -1; }},
        {"fuel below 0", [] { flight.fuel = -0.001f; }},
        {"fuel NaN", [] { flight.fuel = std::numeric_limits<float>::quiet_NaN(); }},
        {"fuel infinite", [] { flight.fuel = std::numeric_limits<float>::infinity(); }},
        {"altitude NaN", [] { flight.altitude = std::numeric_limits<float>::quiet_NaN(); }},
        {"outcome 6", [] { flight.outcome = 6; }},
        {"tracking 2", [] { buttonTracking[1] = 2; }},
        {"flag 2", [] { settings.drawFlame = 2; }},
        {"gravity 0", [] { settings.gravity = 0.0f; }},
        {"fuel 3100", [] { settings.initialFuel = 3100.0f; }},
        {"thrust 40000", [] { settings.mainThrust = 40000.0f; }},
        {"time step NaN", [] { settings.timeStep = std::numeric_limits<float>::quiet_NaN(); }},
    };
    for (const auto& [name, breakIt] : cases) {
        ResetWholeGame();
        buttonTracking[0] = buttonTracking[1] = buttonTracking[2] = 0;
        flight.phase = PHASE_READY; // the edges that hold
        flight.fuel = 0.0f;
        EXPECT_EQ(BrokenInvariant(), nullptr) << name;
        breakIt();
        EXPECT_NE(BrokenInvariant(), nullptr) << name;
    }
    ResetWholeGame();
}

} // namespace
