#include "game/option_scale.h"

// The scale factors of fuel and thrust are single-precision constants; the arithmetic around
// them is double.
static const float FUEL_SCALE = 0.01f;
static const float THRUST_SCALE = 0.0008f;

// Added before truncating, so that a value a hair below its step (4/3 stored as a float, or a
// float scale factor just under 1/100) still reopens at its own position.
static const double ROUNDING_NUDGE = 0.01;

// Truncates toward zero into a bar position. No clamping: every stored value came from a bar.
static int16_t TruncateToPosition(double value) {
    return static_cast<int16_t>(static_cast<int>(value));
}

float GravityFromPosition(int16_t position) {
    return static_cast<float>(static_cast<double>(position) * 0.3333333333333333 + 1.0);
}

int16_t PositionFromGravity(float gravity) {
    return TruncateToPosition((static_cast<double>(gravity) - 1.0) * 3.0 + ROUNDING_NUDGE);
}

float FuelFromPosition(int16_t position) {
    return static_cast<float>(100 * position + 100);
}

int16_t PositionFromFuel(float fuel) {
    return TruncateToPosition(
        (static_cast<double>(fuel) - 100.0) * static_cast<double>(FUEL_SCALE) + ROUNDING_NUDGE);
}

float ThrustFromPosition(int16_t position) {
    return static_cast<float>(1250 * position + 2500);
}

int16_t PositionFromThrust(float thrust) {
    return TruncateToPosition((static_cast<double>(thrust) - 2500.0) *
                                  static_cast<double>(THRUST_SCALE) +
                              ROUNDING_NUDGE);
}
