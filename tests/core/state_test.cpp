#include <gtest/gtest.h>

#include "game/state.h"
#include "game_fixture.h"

namespace {

class StateTest : public ::testing::Test {
  protected:
    void SetUp() override { ResetWholeGame(); }
};

TEST_F(StateTest, RecordsAreLaidOutWithTheirDeclaredWidths) {
    EXPECT_EQ(sizeof(GameSettings), 12u * 4u);
    EXPECT_EQ(sizeof(flight.phase), 1u);
    EXPECT_EQ(sizeof(flight.outcome), 1u);
    EXPECT_EQ(sizeof(flight.crashX), 2u);
    EXPECT_EQ(sizeof(flight.debrisFrame), 2u);
    EXPECT_EQ(sizeof(flight.calibrationStartTick), 4u);
    EXPECT_EQ(sizeof(ScreenLayout), 4u * 2u);
    // The settings' field order is part of the record.
    EXPECT_EQ(&settings.dryMass + 9, &settings.timeStep);
}

TEST_F(StateTest, DefaultsAreTheBuiltInFlightValues) {
    const GameSettings& d = DEFAULT_SETTINGS;
    EXPECT_EQ(d.dryMass, 1000.0f);
    EXPECT_EQ(d.initialFuel, 1000.0f);
    EXPECT_EQ(d.mainThrust, 10000.0f);
    EXPECT_EQ(d.sideThrust, 2000.0f);
    EXPECT_EQ(d.mainBurnRate, 10.0f);
    EXPECT_EQ(d.sideBurnRate, 2.0f);
    EXPECT_EQ(d.gravity, 3.0f);
    EXPECT_EQ(d.maxLandingSpeedX, 1.0f);
    EXPECT_EQ(d.maxLandingSpeedY, 10.0f);
    EXPECT_EQ(d.timeStep, 0.5f);
    EXPECT_EQ(d.reverseSideThrust, 0);
    EXPECT_EQ(d.drawFlame, 1);
}

TEST_F(StateTest, ResetCraftLoadsTheTankAndTouchesNothingElse) {
    settings.initialFuel = 3000.0f;
    flight.altitude = 12.0f;
    flight.posX = -40.0f;
    flight.vx = 3.0f;
    flight.vy = -8.0f;
    flight.thrusterOn[THRUSTER_LEFT] = 1;
    flight.phase = PHASE_DEBRIS;
    flight.outcome = OUTCOME_LOST;
    flight.crashY = 77;
    flight.calibrated = 1;

    ResetCraft();

    EXPECT_EQ(flight.fuel, 3000.0f);
    EXPECT_EQ(flight.altitude, 1000.0f);
    EXPECT_EQ(FloatBits(flight.posX), 0u);
    EXPECT_EQ(FloatBits(flight.vx), 0u);
    EXPECT_EQ(FloatBits(flight.vy), 0u);
    EXPECT_EQ(flight.thrusterOn[THRUSTER_LEFT], 1);
    EXPECT_EQ(flight.phase, PHASE_DEBRIS);
    EXPECT_EQ(flight.outcome, OUTCOME_LOST);
    EXPECT_EQ(flight.crashY, 77);
    EXPECT_EQ(flight.calibrated, 1);
}

TEST_F(StateTest, WorldToScreenTruncatesTowardZeroAndHitsTheEdgesExactly) {
    screen.originX = 512;
    screen.originY = 609;

    EXPECT_EQ(WorldToScreen(0.0f, 0.0f).x, 512);
    EXPECT_EQ(WorldToScreen(0.0f, 0.0f).y, 609);
    // Both constants are a little above 1/600 and 1/1200, so whole screens land on whole pixels.
    EXPECT_EQ(WorldToScreen(0.0f, 1200.0f).y, 0);
    EXPECT_EQ(WorldToScreen(600.0f, 0.0f).x, 1024);
    EXPECT_EQ(WorldToScreen(-600.0f, 0.0f).x, 0);
    // -0.9 of a pixel truncates to 0, not -1.
    const float almostOnePixelLeft = -0.9f * 600.0f / 512.0f;
    EXPECT_EQ(WorldToScreen(almostOnePixelLeft, 0.0f).x, 512);
    EXPECT_EQ(WorldToScreen(-3.7f * 600.0f / 512.0f, 0.0f).x, 509);
    // A craft below the site maps below originY, truncated toward zero as well.
    EXPECT_EQ(WorldToScreen(0.0f, -1.0f).y, 609);
    EXPECT_EQ(WorldToScreen(0.0f, -500.0f).y, 609 + 253);
    // The start position is about a sixth of originY below the top.
    EXPECT_EQ(WorldToScreen(0.0f, 1000.0f).y, 609 - 507);
}

TEST_F(StateTest, WorldToScreenStaysIn16BitsOverTheWholeFlightRangeAndHoldsBeyondIt) {
    screen.originX = 1920;
    screen.originY = 2000;
    const ScreenPoint farRightLow = WorldToScreen(1000.0f, -500.0f);
    const ScreenPoint farLeftHigh = WorldToScreen(-1000.0f, 5000.0f);
    EXPECT_EQ(farRightLow.x, 1920 + 3200);
    EXPECT_EQ(farRightLow.y, 2000 + 833);
    EXPECT_EQ(farLeftHigh.x, 1920 - 3200);
    EXPECT_EQ(farLeftHigh.y, 2000 - 8333);
    // Far outside the range a coordinate stays at the edge of 16 bits; it never wraps around.
    const ScreenPoint beyondRightLow = WorldToScreen(1.0e9f, -1.0e9f);
    const ScreenPoint beyondLeftHigh = WorldToScreen(-1.0e9f, 1.0e9f);
    EXPECT_EQ(beyondRightLow.x, INT16_MAX);
    EXPECT_EQ(beyondRightLow.y, INT16_MAX);
    EXPECT_EQ(beyondLeftHigh.x, INT16_MIN);
    EXPECT_EQ(beyondLeftHigh.y, INT16_MIN);
    EXPECT_EQ(WorldToScreen(12000.0f, 0.0f).x, INT16_MAX);
}

} // namespace
