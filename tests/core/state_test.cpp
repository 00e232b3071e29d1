#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>

#include "game/state.h"
#include "game_fixture.h"

namespace {

// The records keep their declared widths: 4-byte settings in order, 8-bit phases, 16-bit points.
static_assert(sizeof(GameSettings) == 48 && offsetof(GameSettings, timeStep) == 36, "settings");
static_assert(sizeof(FlightState::phase) == 1 && sizeof(FlightState::outcome) == 1, "phase");
static_assert(sizeof(FlightState::crashX) == 2 && sizeof(FlightState::debrisFrame) == 2, "crash");
static_assert(sizeof(FlightState::calibrationStartTick) == 4, "tick count");
static_assert(sizeof(ScreenLayout) == 8 && sizeof(ScreenPoint) == 4, "screen coordinates");

using StateTest = GameTest;

TEST_F(StateTest, ResetCraftLoadsTheTankAndTouchesNothingElse) {
    settings.initialFuel = 3000.0f;
    flight =
        FlightState{12.0f, -40.0f, 3.0f, -8.0f, 5.0f, {0, 0, 1}, PHASE_DEBRIS, OUTCOME_LOST, 300,
                    77,    4,      2,    1234,  1,    3};
    FlightState expected;
    std::memcpy(&expected, &flight, sizeof expected); // padding too, for the comparison below
    expected.altitude = 1000.0f;
    expected.posX = expected.vx = expected.vy = 0.0f;
    expected.fuel = 3000.0f;
    expected.wreckPicture = 0;
    ResetCraft();
    EXPECT_EQ(std::memcmp(&flight, &expected, sizeof expected), 0);
}

// Both constants are a little above 1/600 and 1/1200, so whole screens land on whole pixels; the
// start is a sixth of originY below the top. Coordinates truncate toward zero (-0.9 of a pixel to
// 0, -3.7 to -3, a craft below the site as well); far beyond the flight range they stay at the
// edge of 16 bits and never wrap around.
TEST_F(StateTest, WorldToScreenTruncatesTowardZeroAndHolds16Bits) {
    const struct {
        bool large; // origin (1920, 2000) instead of (512, 609)
        float posX, altitude;
        int x, y;
    } cases[] = {
        {false, 0.0f, 0.0f, 512, 609},           {false, 0.0f, 1200.0f, 512, 0},
        {false, 600.0f, 0.0f, 1024, 609},        {false, -600.0f, 0.0f, 0, 609},
        {false, -1.0546875f, -1.0f, 512, 609},   {false, -4.3359375f, -500.0f, 509, 862},
        {false, 0.0f, 1000.0f, 512, 102},        {true, 1000.0f, -500.0f, 5120, 2833},
        {true, -1000.0f, 5000.0f, -1280, -6333}, {true, 1.0e9f, -1.0e9f, 32767, 32767},
        {true, -1.0e9f, 1.0e9f, -32768, -32768}, {true, 12000.0f, 0.0f, 32767, 2000},
    };
    for (const auto& c : cases) {
        screen.originX = c.large ? 1920 : 512;
        screen.originY = c.large ? 2000 : 609;
        const ScreenPoint at = WorldToScreen(c.posX, c.altitude);
        EXPECT_EQ(at.x, c.x) << c.posX << " " << c.altitude;
        EXPECT_EQ(at.y, c.y) << c.posX << " " << c.altitude;
    }
}

} // namespace
