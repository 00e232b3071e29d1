// The Options box's scroll bars as numbers: each bar has 30 positions, and these turn a position
// into the setting that OK stores and a stored setting back into the position the box opens at.
// Portable, so the round trip of every position is tested without a window.
#ifndef TAVUNE_GAME_OPTION_SCALE_H
#define TAVUNE_GAME_OPTION_SCALE_H

#include <cstdint>

constexpr int16_t OPTION_POSITION_MIN = 0;
constexpr int16_t OPTION_POSITION_MAX = 29;

// Where the built-in defaults (gravity 3, fuel 1000, thrust 10000) sit, and where Default puts
// the bars.
constexpr int16_t DEFAULT_GRAVITY_POSITION = 6;
constexpr int16_t DEFAULT_FUEL_POSITION = 9;
constexpr int16_t DEFAULT_THRUST_POSITION = 6;

// Gravity 1 to 10 2/3 in steps of 1/3.
float GravityFromPosition(int16_t position);
int16_t PositionFromGravity(float gravity);

// Fuel 100 to 3000 in steps of 100.
float FuelFromPosition(int16_t position);
int16_t PositionFromFuel(float fuel);

// Main thrust 2500 to 38750 in steps of 1250.
float ThrustFromPosition(int16_t position);
int16_t PositionFromThrust(float thrust);

#endif
