// The game under random messages: the shard (of TAVUNE_FUZZ_SHARDS, 10,000 messages each) that
// TAVUNE_FUZZ_SHARD names, from TAVUNE_FUZZ_SEED if set; a failure names both.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "fuzz_driver.h"

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

} // namespace
