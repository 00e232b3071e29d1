#include <gtest/gtest.h>

#include "game/physics.h"
#include "game/state.h"
#include "game_fixture.h"

namespace {

class PhysicsTest : public GameTest {
  protected:
    // A craft at its start that fires the given thrusters for one step.
    void Step(float timeStep, float fuel, int mainOn, int rightOn, int leftOn) {
        settings.timeStep = timeStep;
        ResetCraft();
        flight.fuel = fuel;
        Fire(mainOn, rightOn, leftOn);
        PhysicsStep();
    }
    void Fire(int mainOn, int rightOn, int leftOn) {
        flight.thrusterOn[THRUSTER_MAIN] = mainOn;
        flight.thrusterOn[THRUSTER_RIGHT] = rightOn;
        flight.thrusterOn[THRUSTER_LEFT] = leftOn;
    }
};

// One step from rest with the built-in craft: 1000 of dry mass, 1000 of fuel, gravity 3, the main
// engine's 10000 burning 10 a second, the side nozzles' 2000 burning 2 a second each.
TEST_F(PhysicsTest, OneStepFromRest) {
    const struct {
        const char* name;
        float timeStep, fuel;
        int mainOn, rightOn, leftOn;
        float fuelAfter, vx, vy, altitude;
    } cases[] = {
        {"main engine", 0.375f, 1000.0f, 1, 0, 0, 996.25f, 0.0f, 0.75f, 1000.28125f},
        {"free fall", 0.375f, 1000.0f, 0, 0, 0, 1000.0f, 0.0f, -1.125f, 999.578125f},
        {"all three: the side nozzles cancel", 0.375f, 1000.0f, 1, 1, 1, 994.75f, 0.0f, 0.75f,
         1000.28125f},
        {"an empty tank ignores the thrusters", 0.375f, 0.0f, 1, 1, 1, 0.0f, 0.0f, -1.125f,
         999.578125f},
        // The mass is taken before the burn: with 1900 the acceleration would be 2.263..., not 2.
        {"mass before the burn", 10.0f, 1000.0f, 1, 0, 0, 900.0f, 0.0f, 20.0f, 1200.0f},
        {"right nozzle pushes left", 0.375f, 1000.0f, 0, 1, 0, 999.25f, -0.375f, -1.125f,
         999.578125f},
        {"left nozzle pushes right", 0.375f, 1000.0f, 0, 0, 1, 999.25f, 0.375f, -1.125f,
         999.578125f},
        // At mass 1999 the push 2000 / 1999 is no float; the two nozzles together leave what
        // rounding took off it, since each sum is taken in double.
        {"right at 1999", 0.375f, 999.0f, 0, 1, 0, 998.25f, -0x1.80312cp-2f, -1.125f, 999.578125f},
        {"left at 1999", 0.375f, 999.0f, 0, 0, 1, 998.25f, 0x1.80312cp-2f, -1.125f, 999.578125f},
        {"both at 1999", 0.375f, 999.0f, 0, 1, 1, 997.5f, 0x1.34e3f4p-26f, -1.125f, 999.578125f},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Step(c.timeStep, c.fuel, c.mainOn, c.rightOn, c.leftOn);
        EXPECT_EQ(flight.fuel, c.fuelAfter);
        EXPECT_EQ(FloatBits(flight.vx), FloatBits(c.vx));
        EXPECT_EQ(flight.vy, c.vy);
        EXPECT_EQ(flight.altitude, c.altitude);
        EXPECT_EQ(flight.posX, c.vx * c.timeStep);
    }
}

// The step that empties the tank keeps its full thrust; then the flags stay set but nothing burns
// or pushes. A tank exactly equal to the burn is used up; one a hair above it keeps the difference
// with the burn rounded to a float: 0.1f * 10 is a shade above 1 in double and exactly 1 as a
// float. (Whether the burn is compared with the tank before or after rounding never shows: the
// two differ only for a tank equal to the rounded burn, and both then leave 0.)
TEST_F(PhysicsTest, TheLastDropOfFuel) {
    Step(0.375f, 1.0f, 1, 0, 0); // less than the 3.75 the main engine wants
    EXPECT_EQ(flight.fuel, 0.0f);
    EXPECT_FLOAT_EQ(flight.vy, static_cast<float>(10000.0 / 1001.0 - 3.0) * 0.375f);
    const float vyBefore = flight.vy;
    PhysicsStep();
    EXPECT_EQ(flight.vy, vyBefore - 1.125f);
    EXPECT_EQ(flight.fuel, 0.0f);

    Step(0.375f, 3.75f, 1, 0, 0);
    EXPECT_EQ(FloatBits(flight.fuel), 0u);
    EXPECT_GT(flight.vy, 0.0f);
    Step(0.1f, 1.0000001f, 1, 0, 0);
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
            const int combination = (i / 7 + i / 53) % 8;
            Fire(combination & 1, (combination >> 1) & 1, (combination >> 2) & 1);
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
