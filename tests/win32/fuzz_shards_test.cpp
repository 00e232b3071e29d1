// The game under random messages, in TAVUNE_FUZZ_SHARDS shards (a build setting) of
// FUZZ_SHARD_MESSAGES each. TAVUNE_FUZZ_SEED replays a run, and every failure names the seed and
// the shard to replay.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <limits>
#include <set>
#include <string>

#include "fuzz_driver.h"
#include "fuzz_messages.h"
#include "game/state.h"
#include "game_fixture.h"
#include "ui/thrust.h"

namespace {

class FuzzShardTest : public ::testing::TestWithParam<int> {};

TEST_P(FuzzShardTest, GameKeepsItsInvariants) {
    const int index = GetParam();
    const uint64_t baseSeed = FuzzBaseSeed();
    const FuzzShard shard = {FuzzShardSeed(baseSeed, index), index % PROFILE_COUNT,
                             FUZZ_SHARD_MESSAGES};
    const FuzzReport report = RunFuzzShard(shard);

    const FuzzCoverage& seen = report.coverage;
    const std::string replay = "replay with TAVUNE_FUZZ_SEED=" + std::to_string(baseSeed) +
                               " --gtest_filter=*" +
                               ::testing::UnitTest::GetInstance()->current_test_info()->name();
    EXPECT_EQ(report.failure, "") << replay;
    EXPECT_EQ(report.fuzzMessages, shard.messages) << replay;
    EXPECT_EQ(report.boxesOpened[BOX_OTHER], 0) << replay;
    EXPECT_GT(report.handsOffChecks, 0) << replay;
    // Wine's first menus, boxes and scroll bars leave 14 to 25 objects, and its cache of window
    // DCs grows to 80 with their regions (measured): a leak per box, paint or tick goes past.
    EXPECT_LE(report.gdiObjectsLeft, 32) << replay;
    EXPECT_LE(report.windowDCsLeft, 128) << replay;
    // Every command id 0 to 10 reached the main window in every shard.
    EXPECT_EQ(std::count(seen.command, seen.command + 11, true), 11) << replay;
    if (shard.profile == PROFILE_FLIGHTS) {
        // Every key went down and came up; flights ran to their end.
        EXPECT_EQ(std::count(seen.keyDown, seen.keyDown + 256, true), 256) << replay;
        EXPECT_EQ(std::count(seen.keyUp, seen.keyUp + 256, true), 256) << replay;
        EXPECT_GT(report.boxesOpened[BOX_ENDGAME], 0) << replay;
    }
    if (shard.profile == PROFILE_BOXES) {
        EXPECT_GT(report.boxesOpened[BOX_ABOUT], 0) << replay;
        EXPECT_GT(report.boxesOpened[BOX_OPTIONS], 0) << replay;
        EXPECT_GT(report.boxesShown, 0) << replay;
        EXPECT_EQ(std::count(seen.boxScroll, seen.boxScroll + 11, true), 11) << replay;
        EXPECT_EQ(std::count(seen.boxCommand, seen.boxCommand + 11, true), 11) << replay;
    }
}

std::string ShardName(const ::testing::TestParamInfo<int>& info) {
    return std::string(ProfileName(info.param % PROFILE_COUNT)) + "_" + std::to_string(info.param);
}

INSTANTIATE_TEST_SUITE_P(Shards, FuzzShardTest, ::testing::Range(0, FuzzShardCount()), ShardName);

// The generators themselves: a seed replays exactly, and nothing unfuzzable comes out.
FuzzTargets FakeTargets() {
    FuzzTargets targets = {};
    targets.client = RECT{0, 0, 1024, 730};
    for (int id = 0; id < 3; ++id) {
        targets.buttonRects[id] = RECT{900 + 50 * id, 100, 948 + 50 * id, 148};
    }
    return targets;
}

TEST(FuzzGeneratorTest, TheSameSeedDrawsTheSameMessages) {
    const FuzzTargets targets = FakeTargets();
    const FuzzMix mix = {350, 180, 80, 140, 12, 30, 10, 2, 196};
    FuzzGenerator first(42);
    FuzzGenerator second(42);
    FuzzGenerator other(43);
    int differences = 0;
    for (int i = 0; i < 2000; ++i) {
        const FuzzMessage a = GameMessage(first, mix, targets);
        const FuzzMessage b = GameMessage(second, mix, targets);
        const FuzzMessage c = GameMessage(other, mix, targets);
        ASSERT_TRUE(a.message == b.message && a.wParam == b.wParam && a.lParam == b.lParam &&
                    a.post == b.post)
            << i;
        differences += a.message != c.message || a.wParam != c.wParam || a.lParam != c.lParam;
    }
    EXPECT_GT(differences, 1000);
    EXPECT_EQ(FuzzShardSeed(1, 5), FuzzShardSeed(1, 5));
    EXPECT_NE(FuzzShardSeed(1, 5), FuzzShardSeed(1, 6));
    EXPECT_NE(FuzzShardSeed(1, 5), FuzzShardSeed(2, 5));
}

TEST(FuzzGeneratorTest, NeverDrawsAnUnfuzzableMessage) {
    const FuzzTargets targets = FakeTargets();
    const FuzzMix mix = {0, 0, 0, 0, 0, 0, 0, 0, 1};
    FuzzGenerator generator(7);
    std::set<UINT> drawn;
    for (int i = 0; i < 200000; ++i) {
        const FuzzMessage message = GameMessage(generator, mix, targets);
        ASSERT_EQ(UnfuzzableReason(message.message), nullptr) << DescribeMessage(message);
        if (message.message == WM_TIMER) {
            ASSERT_EQ(message.lParam, 0) << "a random timer procedure would be called";
        }
        if (message.message == WM_SYSKEYDOWN) {
            ASSERT_NE(message.wParam & 0xFFFF, static_cast<WPARAM>(VK_F4)) << "Alt+F4";
        }
        drawn.insert(message.message);
    }
    // Most of the system's range comes up, and some of the rest.
    EXPECT_GT(drawn.size(), 1500u);
}

TEST(FuzzGeneratorTest, UnfuzzableMessagesAreThoseWithPointersOrThatEndTheWindow) {
    struct Case {
        UINT message;
        bool unfuzzable;
    };
    const Case cases[] = {
        {WM_CREATE, true},       {WM_DESTROY, true},       {WM_CLOSE, true},
        {WM_QUIT, true},         {WM_NCDESTROY, true},     {WM_SETTEXT, true},
        {WM_GETTEXT, true},      {WM_NCCALCSIZE, true},    {WM_WINDOWPOSCHANGING, true},
        {WM_SYSCOMMAND, true},   {WM_NCLBUTTONDOWN, true}, {WM_INITDIALOG, true},
        {WM_NOTIFY, true},       {0x10000, true},          {WM_TIMER, false},
        {WM_COMMAND, false},     {WM_KEYDOWN, false},      {WM_KEYUP, false},
        {WM_HSCROLL, false},     {WM_PAINT, false},        {WM_MOUSEMOVE, false},
        {WM_LBUTTONDOWN, false}, {WM_THRUST_PRESS, false}, {WM_THRUST_RELEASE, false},
        {WM_NCMOUSEMOVE, false}, {WM_ERASEBKGND, false},   {WM_APP, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(UnfuzzableReason(c.message) != nullptr, c.unfuzzable) << std::hex << c.message;
    }
}

TEST(FuzzGeneratorTest, CyclesHandOutEveryValueOnceARound) {
    FuzzRandom random(3);
    FuzzCycle cycle(11);
    for (int round = 0; round < 3; ++round) {
        std::set<int> values;
        for (int i = 0; i < 11; ++i) {
            values.insert(cycle.Next(random));
        }
        EXPECT_EQ(values.size(), 11u) << round;
        EXPECT_EQ(*values.begin(), 0);
        EXPECT_EQ(*values.rbegin(), 10);
    }
}

// The invariants themselves fire on what they are meant to catch.
TEST(FuzzInvariantTest, EachBrokenInvariantIsNamed) {
    struct Case {
        const char* name;
        void (*breakIt)();
    };
    const Case cases[] = {
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
    };
    for (const Case& c : cases) {
        ResetWholeGame();
        buttonTracking[0] = buttonTracking[1] = buttonTracking[2] = 0;
        flight.phase = PHASE_READY;
        flight.fuel = 0.0f;
        EXPECT_EQ(BrokenInvariant(), nullptr) << c.name;
        c.breakIt();
        EXPECT_NE(BrokenInvariant(), nullptr) << c.name;
    }
    ResetWholeGame();
    buttonTracking[1] = 0;
}

} // namespace
