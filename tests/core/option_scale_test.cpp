#include <gtest/gtest.h>

#include "game/option_scale.h"
#include "game/state.h"
#include "game_fixture.h"

namespace {

const struct Bar {
    const char* name;
    float (*valueFromPosition)(int16_t);
    int16_t (*positionFromValue)(float);
} GRAVITY = {"gravity", GravityFromPosition, PositionFromGravity},
  FUEL = {"fuel", FuelFromPosition, PositionFromFuel},
  THRUST = {"thrust", ThrustFromPosition, PositionFromThrust};

// Gravity is a third per step from 1, taken in double and rounded once to float; fuel and thrust
// are whole steps of 100 and 1250. Fuel 1000 is 900 x 0.0099999998 = 8.9999998 steps up: without
// the 0.01 added before truncating, such values (some in each bar) would reopen one step lower.
TEST(OptionScaleTest, PositionsGiveTheirValuesAndEveryValueReopensAtItsPosition) {
    const struct {
        const Bar& bar;
        int16_t position;
        float value;
    } cases[] = {
        {GRAVITY, 0, 1.0f},        {GRAVITY, 1, 1.3333334f}, {GRAVITY, 2, 1.6666666f},
        {GRAVITY, 3, 2.0f},        {GRAVITY, 5, 2.6666667f}, {GRAVITY, 6, 3.0f},
        {GRAVITY, 29, 10.666667f}, {FUEL, 0, 100.0f},        {FUEL, 9, 1000.0f},
        {FUEL, 17, 1800.0f},       {FUEL, 29, 3000.0f},      {THRUST, 0, 2500.0f},
        {THRUST, 6, 10000.0f},     {THRUST, 17, 23750.0f},   {THRUST, 29, 38750.0f},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FloatBits(c.bar.valueFromPosition(c.position)), FloatBits(c.value))
            << c.bar.name << " " << c.position;
    }
    for (const Bar& bar : {GRAVITY, FUEL, THRUST}) {
        for (int16_t position = OPTION_POSITION_MIN; position <= OPTION_POSITION_MAX; ++position) {
            const float stored = bar.valueFromPosition(position);
            EXPECT_EQ(bar.positionFromValue(stored), position) << bar.name << " " << stored;
        }
    }
}

// Default puts the bars where the built-in settings open them, and its switches fire the side
// nozzles as labelled and draw the flames. Opening truncates toward zero: half a step above a
// position still opens at it; a value just under gravity 1 gives 0, not -1.
TEST(OptionScaleTest, BuiltInSettingsOpenAtTheDefaultsAndOpeningTruncatesTowardZero) {
    EXPECT_EQ(PositionFromGravity(DEFAULT_SETTINGS.gravity), DEFAULT_GRAVITY_POSITION);
    EXPECT_EQ(PositionFromFuel(DEFAULT_SETTINGS.initialFuel), DEFAULT_FUEL_POSITION);
    EXPECT_EQ(PositionFromThrust(DEFAULT_SETTINGS.mainThrust), DEFAULT_THRUST_POSITION);
    EXPECT_EQ(DEFAULT_SETTINGS.reverseSideThrust, 0);
    EXPECT_EQ(DEFAULT_SETTINGS.drawFlame, 1);
    EXPECT_EQ(PositionFromFuel(1050.0f), 9);
    EXPECT_EQ(PositionFromThrust(10600.0f), 6);
    EXPECT_EQ(PositionFromGravity(3.1f), 6);
    EXPECT_EQ(PositionFromGravity(0.99f), 0);
}

} // namespace
