#include <gtest/gtest.h>

#include "game/physics.h"
#include "game/state.h"
#include "game_fixture.h"

namespace {

class PhysicsTest : public GameTest {
  protected:
    void SetUp() override {
        GameTest::SetUp();
        settings.timeStep = 0.375f;
        ResetCraft();
    }
    void Fire(int mainOn, int rightOn, int leftOn) {
        flight.thrusterOn[THRUSTER_MAIN] = mainOn;
        flight.thrusterOn[THRUSTER_RIGHT] = rightOn;
        flight.thrusterOn[THRUSTER_LEFT] = leftOn;
    }
};

// One step from rest with the built-in craft: 1000 of dry mass, 1000 of fuel, gravity 3, the main
// engine's 10000 burning 10 a second.
TEST_F(PhysicsTest, OneStepFromRestClimbsFallsAndBurns) {
    struct Case {
        const char* name;
        float timeStep, fuel;
        int mainOn, sidesOn;
        float fuelAfter, vy, altitude;
    };
    const Case cases[] = {
        {"main engine", 0.375f, 1000.0f, 1, 0, 996.25f, 0.75f, 1000.28125f},
        {"free fall", 0.375f, 1000.0f, 0, 0, 1000.0f, -1.125f, 999.578125f},
        // All three burn 14 a second; the side nozzles cancel.
        {"all three", 0.375f, 1000.0f, 1, 1, 1000.0f - 14.0f * 0.375f, 0.75f, 1000.28125f},
        {"an empty tank ignores the thrusters", 0.375f, 0.0f, 1, 1, 0.0f, -1.125f, 999.578125f},
        // The mass is taken before the burn: with 1900 the acceleration would be 2.263..., not 2.
        {"mass before the burn", 10.0f, 1000.0f, 1, 0, 900.0f, 20.0f, 1200.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        settings.timeStep = c.timeStep;
        ResetCraft();
        flight.fuel = c.fuel;
        Fire(c.mainOn, c.sidesOn, c.sidesOn);
        PhysicsStep();
        EXPECT_EQ(flight.fuel, c.fuelAfter);
        EXPECT_EQ(flight.vy, c.vy);
        EXPECT_EQ(flight.altitude, c.altitude);
        EXPECT_EQ(FloatBits(flight.vx), 0u);
        EXPECT_EQ(FloatBits(flight.posX), 0u);
    }
}

TEST_F(PhysicsTest, SideNozzlesPushOppositeWaysAndCancelTogether) {
    // At mass 2000 the push is exact; at 1999 the quotient is no float, and the two nozzles
    // together leave what rounding took off it, since each sum is taken in double.
    const float quotient = static_cast<float>(2000.0 / 1999.0);
    const float residue = static_cast<float>(2000.0 / 1999.0 - static_cast<double>(quotient));
    struct Case {
        float fuel;
        int rightOn, leftOn;
        float vx;
    };
    const Case cases[] = {
        {1000.0f, 1, 0, -0.375f},           {1000.0f, 0, 1, 0.375f},
        {999.0f, 1, 0, -quotient * 0.375f}, {999.0f, 0, 1, quotient * 0.375f},
        {999.0f, 1, 1, residue * 0.375f},
    };
    for (const Case& c : cases) {
        ResetCraft();
        flight.fuel = c.fuel;
        Fire(0, c.rightOn, c.leftOn);
        PhysicsStep();
        EXPECT_EQ(FloatBits(flight.vx), FloatBits(c.vx)) << c.fuel << " " << c.rightOn << c.leftOn;
        EXPECT_EQ(flight.fuel, c.fuel - (c.rightOn + c.leftOn) * 0.75f);
    }
    EXPECT_NE(residue, 0.0f);
}

// The step that empties the tank keeps its full thrust; then the flags stay set but nothing burns
// or pushes. A tank exactly equal to the burn is used up; one a hair above it keeps the difference
// with the burn rounded to a float: 0.1f * 10 is a shade above 1 in double and exactly 1 as a
// float. (Whether the burn is compared with the tank before or after rounding never shows: the
// two differ only for a tank equal to the rounded burn, and both then leave 0.)
TEST_F(PhysicsTest, TheLastDropOfFuel) {
    flight.fuel = 1.0f; // less than the 3.75 the main engine wants
    Fire(1, 0, 0);
    PhysicsStep();
    EXPECT_EQ(flight.fuel, 0.0f);
    EXPECT_FLOAT_EQ(flight.vy, static_cast<float>(10000.0 / 1001.0 - 3.0) * 0.375f);
    const float vyBefore = flight.vy;
    PhysicsStep();
    EXPECT_EQ(flight.vy, vyBefore - 1.125f);
    EXPECT_EQ(flight.fuel, 0.0f);

    ResetCraft();
    flight.fuel = 3.75f;
    PhysicsStep();
    EXPECT_EQ(FloatBits(flight.fuel), 0u);
    EXPECT_GT(flight.vy, 0.0f);

    settings.timeStep = 0.1f;
    flight.fuel = 1.0000001f;
    PhysicsStep();
    EXPECT_EQ(flight.fuel, 1.0000001f - 1.0f);
}

// FNV-1a over the bits of every stored float after every step.
uint32_t HashFlight(uint32_t hash) {
    const float values[] = {flight.altitude, flight.posX, flight.vx, flight.vy, flight.fuel};
    for (float value : values) {
        uint32_t bits = FloatBits(value);
        for (int byte = 0; byte < 4; ++byte) {
            hash = (hash ^ (bits & 0xFFu)) * 16777619u;
            bits >>= 8;
        }
    }
    return hash;
}

// A long scripted flight through every thruster combination, the tank running dry, and several
// calibrated time steps. The native and the Windows builds must both reach this exact checksum:
// any excess precision or fused multiply-add in either build changes it.
TEST_F(PhysicsTest, LongScriptedFlightIsBitIdenticalOnEveryBuild) {
    const float timeSteps[] = {0.375f, 0.4125f, 0.3675f, 0.5f};
    uint32_t hash = 2166136261u;
    int dryStep = -1;
    int steps = 0;
    for (float timeStep : timeSteps) {
        settings.timeStep = timeStep;
        settings.gravity = static_cast<float>(steps % 29) / 3.0f + 1.0f;
        ResetCraft();
        for (int i = 0; i < 1500; ++i) {
            const int combination = (i / 7 + i / 53) % 8;
            Fire(combination & 1, (combination >> 1) & 1, (combination >> 2) & 1);
            PhysicsStep();
            hash = HashFlight(hash);
            if (flight.fuel == 0.0f && dryStep < 0) {
                dryStep = steps;
            }
            ++steps;
        }
    }
    EXPECT_GT(dryStep, 0) << "the script must run the tank dry";
    EXPECT_EQ(steps, 6000);
    EXPECT_EQ(hash, 331665270u) << hash;
}

} // namespace
