#include <gtest/gtest.h>

#include "game/physics.h"
#include "game/state.h"
#include "game_fixture.h"

namespace {

const int MAIN = 1, RIGHT = 2, LEFT = 4;

void Fire(int thrusters) {
    flight.thrusterOn[THRUSTER_MAIN] = (thrusters & MAIN) != 0;
    flight.thrusterOn[THRUSTER_RIGHT] = (thrusters & RIGHT) != 0;
    flight.thrusterOn[THRUSTER_LEFT] = (thrusters & LEFT) != 0;
}

// A craft at its start that fires the given thrusters for one step.
void Step(float timeStep, float fuel, int thrusters) {
    settings.timeStep = timeStep;
    ResetCraft();
    flight.fuel = fuel;
    Fire(thrusters);
    PhysicsStep();
}

using PhysicsTest = GameTest;

// One step from rest with the built-in craft: 1000 of dry mass, 1000 of fuel, gravity 3, the main
// engine's 10000 burning 10 a second, the side nozzles' 2000 burning 2 a second each. The mass is
// taken before the burn: with 1900 the acceleration would be 2.263..., not 2. At mass 1999 the
// push 2000 / 1999 is no float, and the two nozzles together leave what rounding took off it,
// since each sum is taken in double.
TEST_F(PhysicsTest, OneStepFromRest) {
    const struct {
        float timeStep, fuel;
        int thrusters;
        float fuelAfter, vx, vy, altitude;
    } cases[] = {
        {0.375f, 1000.0f, MAIN, 996.25f, 0.0f, 0.75f, 1000.28125f},
        {0.375f, 1000.0f, 0, 1000.0f, 0.0f, -1.125f, 999.578125f},
        {0.375f, 1000.0f, MAIN | RIGHT | LEFT, 994.75f, 0.0f, 0.75f, 1000.28125f},
        {0.375f, 0.0f, MAIN | RIGHT | LEFT, 0.0f, 0.0f, -1.125f, 999.578125f}, // an empty tank
        {10.0f, 1000.0f, MAIN, 900.0f, 0.0f, 20.0f, 1200.0f},
        {0.375f, 1000.0f, RIGHT, 999.25f, -0.375f, -1.125f, 999.578125f},
        {0.375f, 1000.0f, LEFT, 999.25f, 0.375f, -1.125f, 999.578125f},
        {0.375f, 999.0f, RIGHT, 998.25f, -0x1.80312cp-2f, -1.125f, 999.578125f},
        {0.375f, 999.0f, LEFT, 998.25f, 0x1.80312cp-2f, -1.125f, 999.578125f},
        {0.375f, 999.0f, RIGHT | LEFT, 997.5f, 0x1.34e3f4p-26f, -1.125f, 999.578125f},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.timeStep << " " << c.fuel << " " << c.thrusters);
        Step(c.timeStep, c.fuel, c.thrusters);
        EXPECT_EQ(flight.fuel, c.fuelAfter);
        EXPECT_EQ(FloatBits(flight.vx), FloatBits(c.vx));
        EXPECT_EQ(flight.vy, c.vy);
        EXPECT_EQ(flight.altitude, c.altitude);
        EXPECT_EQ(flight.posX, c.vx * c.timeStep);
    }
}

// The step that empties the tank keeps its full thrust; then nothing burns or pushes. A tank
// equal to the burn is used up; one a hair above it keeps the difference with the burn rounded to
// a float: 0.1f * 10 is a shade above 1 in double and exactly 1 as a float.
TEST_F(PhysicsTest, TheLastDropOfFuel) {
    Step(0.375f, 1.0f, MAIN); // less than the 3.75 the main engine wants
    EXPECT_EQ(flight.fuel, 0.0f);
    EXPECT_FLOAT_EQ(flight.vy, static_cast<float>(10000.0 / 1001.0 - 3.0) * 0.375f);
    const float vyBefore = flight.vy;
    PhysicsStep();
    EXPECT_EQ(flight.vy, vyBefore - 1.125f);
    EXPECT_EQ(flight.fuel, 0.0f);
    Step(0.375f, 3.75f, MAIN);
    EXPECT_EQ(FloatBits(flight.fuel), 0u);
    EXPECT_GT(flight.vy, 0.0f);
    Step(0.1f, 1.0000001f, MAIN);
    EXPECT_EQ(flight.fuel, 1.0000001f - 1.0f);
}

// A long scripted flight through every thruster combination, the tank running dry, and several
// calibrated time steps, hashed (FNV-1a) over the bits of every stored float after every step.
// The native and the Windows builds must both reach this exact checksum: any excess precision
// or fused multiply-add in either build changes it.
TEST_F(PhysicsTest, LongScriptedFlightIsBitIdenticalOnEveryBuild) {
    const float timeSteps[] = {0.375f, 0.4125f, 0.3675f, 0.5f};
    uint32_t hash = 2166136261u;
    bool ranDry = false;
    for (int run = 0; run < 4; ++run) {
        settings.timeStep = timeSteps[run];
        settings.gravity = static_cast<float>(1500 * run % 29) / 3.0f + 1.0f;
        ResetCraft();
        for (int i = 0; i < 1500; ++i) {
            Fire((i / 7 + i / 53) % 8);
            PhysicsStep();
            ranDry = ranDry || flight.fuel == 0.0f;
            for (float value : {flight.altitude, flight.posX, flight.vx, flight.vy, flight.fuel}) {
                for (uint32_t bits = FloatBits(value), byte = 0; byte < 4; ++byte, bits >>= 8) {
                    hash = (hash ^ (bits & 0xFFu)) * 16777619u;
                }
            }
        }
    }
    EXPECT_TRUE(ranDry) << "the script must run the tank dry";
    EXPECT_EQ(hash, 331665270u) << hash;
}

} // namespace
