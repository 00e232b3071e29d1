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
    float scale;      // what (value - firstValue) is multiplied by when the box opens
};

const Bar BARS[] = {
    {"gravity", GravityFromPosition, PositionFromGravity, 1.0f, 0.0f, 3.0f},
    {"fuel", FuelFromPosition, PositionFromFuel, 100.0f, 100.0f, 0.01f},
    {"thrust", ThrustFromPosition, PositionFromThrust, 2500.0f, 1250.0f, 0.0008f},
};

// The opening formula with the 0.01 left out.
int PositionWithoutNudge(const Bar& bar, float value) {
    return static_cast<int>((static_cast<double>(value) - static_cast<double>(bar.firstValue)) *
                            static_cast<double>(bar.scale));
}

TEST(OptionScaleTest, EveryStoredValueReopensAtItsOwnPosition) {
    for (const Bar& bar : BARS) {
        for (int16_t position = OPTION_POSITION_MIN; position <= OPTION_POSITION_MAX; ++position) {
            const float stored = bar.valueFromPosition(position);
            EXPECT_EQ(bar.positionFromValue(stored), position)
                << bar.name << " at position " << position << " stored " << stored;
        }
    }
}

TEST(OptionScaleTest, FuelAndThrustStoreExactWholeSteps) {
    for (const Bar& bar : BARS) {
        if (bar.step == 0.0f) {
            continue;
        }
        for (int16_t position = OPTION_POSITION_MIN; position <= OPTION_POSITION_MAX; ++position) {
            EXPECT_EQ(bar.valueFromPosition(position), bar.firstValue + bar.step * position)
                << bar.name << " at position " << position;
        }
    }
}

TEST(OptionScaleTest, BarsSpanTheirRanges) {
    EXPECT_EQ(GravityFromPosition(0), 1.0f);
    EXPECT_EQ(FloatBits(GravityFromPosition(29)), FloatBits(10.666667f));
    EXPECT_EQ(FuelFromPosition(0), 100.0f);
    EXPECT_EQ(FuelFromPosition(29), 3000.0f);
    EXPECT_EQ(ThrustFromPosition(0), 2500.0f);
    EXPECT_EQ(ThrustFromPosition(29), 38750.0f);
}

TEST(OptionScaleTest, GravityIsAThirdPerStepRoundedToFloat) {
    // 4/3 in double, rounded once to float.
    EXPECT_EQ(FloatBits(GravityFromPosition(1)), FloatBits(1.3333334f));
    EXPECT_EQ(PositionFromGravity(1.3333334f), 1);
    EXPECT_EQ(GravityFromPosition(3), 2.0f);
    EXPECT_EQ(FloatBits(GravityFromPosition(5)), FloatBits(2.6666667f));
}

TEST(OptionScaleTest, BuiltInDefaultsOpenWhereDefaultPutsTheBars) {
    EXPECT_EQ(PositionFromGravity(DEFAULT_SETTINGS.gravity), DEFAULT_GRAVITY_POSITION);
    EXPECT_EQ(PositionFromFuel(DEFAULT_SETTINGS.initialFuel), DEFAULT_FUEL_POSITION);
    EXPECT_EQ(PositionFromThrust(DEFAULT_SETTINGS.mainThrust), DEFAULT_THRUST_POSITION);
    // ... and OK on those positions stores the defaults back.
    EXPECT_EQ(GravityFromPosition(DEFAULT_GRAVITY_POSITION), DEFAULT_SETTINGS.gravity);
    EXPECT_EQ(FuelFromPosition(DEFAULT_FUEL_POSITION), DEFAULT_SETTINGS.initialFuel);
    EXPECT_EQ(ThrustFromPosition(DEFAULT_THRUST_POSITION), DEFAULT_SETTINGS.mainThrust);
}

TEST(OptionScaleTest, FuelThousandOpensAtNine) {
    // 900 x 0.0099999998 = 8.9999998: without the 0.01 it would open one step lower.
    EXPECT_EQ(PositionFromFuel(1000.0f), 9);
    EXPECT_EQ(PositionWithoutNudge(BARS[1], 1000.0f), 8);
}

TEST(OptionScaleTest, OpeningTruncatesTowardZero) {
    // Half a step above a position still opens at it; a value just under gravity 1 gives 0, not
    // -1.
    EXPECT_EQ(PositionFromFuel(1050.0f), 9);
    EXPECT_EQ(PositionFromThrust(10600.0f), 6);
    EXPECT_EQ(PositionFromGravity(3.1f), 6);
    EXPECT_EQ(PositionFromGravity(0.99f), 0);
}

} // namespace
