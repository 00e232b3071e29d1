#include <gtest/gtest.h>

#include "game/option_scale.h"
#include "game/state.h"
#include "game_fixture.h"

namespace {

struct Bar {
    const char* name;
    float (*valueFromPosition)(int16_t);
    int16_t (*positionFromValue)(float);
    float firstValue; // at position 0
    float step;       // between neighbouring positions, exact for fuel and thrust
};

const Bar BARS[] = {
    {"gravity", GravityFromPosition, PositionFromGravity, 1.0f, 0.0f},
    {"fuel", FuelFromPosition, PositionFromFuel, 100.0f, 100.0f},
    {"thrust", ThrustFromPosition, PositionFromThrust, 2500.0f, 1250.0f},
};

// Fuel and thrust store exact whole steps. Fuel 1000 is 900 x 0.0099999998 = 8.9999998 steps up:
// without the 0.01 added before truncating, such values (some in each bar) would reopen one step
// lower.
TEST(OptionScaleTest, EveryStoredValueReopensAtItsOwnPosition) {
    for (const Bar& bar : BARS) {
        for (int16_t position = OPTION_POSITION_MIN; position <= OPTION_POSITION_MAX; ++position) {
            SCOPED_TRACE(testing::Message() << bar.name << " at position " << position);
            const float stored = bar.valueFromPosition(position);
            EXPECT_EQ(bar.positionFromValue(stored), position) << "stored " << stored;
            if (bar.step != 0.0f) {
                EXPECT_EQ(stored, bar.firstValue + bar.step * position);
            }
        }
    }
}

// Fuel and thrust are exact (above); gravity is a third per step from 1, taken in double and
// rounded once to float, up to 10 2/3.
TEST(OptionScaleTest, GravityIsAThirdPerStepRoundedToFloat) {
    const float gravities[][2] = {{0, 1.0f},       {1, 1.3333334f}, {2, 1.6666666f}, {3, 2.0f},
                                  {5, 2.6666667f}, {6, 3.0f},       {29, 10.666667f}};
    for (const auto& g : gravities) {
        const int16_t position = static_cast<int16_t>(g[0]);
        EXPECT_EQ(FloatBits(GravityFromPosition(position)), FloatBits(g[1])) << position;
    }
}

// Default puts the bars where the built-in settings open them.
TEST(OptionScaleTest, BuiltInDefaultsOpenWhereDefaultPutsTheBars) {
    EXPECT_EQ(PositionFromGravity(DEFAULT_SETTINGS.gravity), DEFAULT_GRAVITY_POSITION);
    EXPECT_EQ(PositionFromFuel(DEFAULT_SETTINGS.initialFuel), DEFAULT_FUEL_POSITION);
    EXPECT_EQ(PositionFromThrust(DEFAULT_SETTINGS.mainThrust), DEFAULT_THRUST_POSITION);
}

TEST(OptionScaleTest, OpeningTruncatesTowardZero) {
    // Half a step above a position still opens at it; a value just under gravity 1 gives 0, not
    // -1.
    EXPECT_EQ(PositionFromFuel(1000.0f), 9);
    EXPECT_EQ(PositionFromFuel(1050.0f), 9);
    EXPECT_EQ(PositionFromThrust(10600.0f), 6);
    EXPECT_EQ(PositionFromGravity(3.1f), 6);
    EXPECT_EQ(PositionFromGravity(0.99f), 0);
}

} // namespace
