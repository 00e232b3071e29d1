// Puts every piece of process-wide game state back to how a fresh process finds it, with a
// 1024-pixel-wide screen and a 730-row play area, and the 32 x 30 craft picture.
#ifndef TAVUNE_TESTS_GAME_FIXTURE_H
#define TAVUNE_TESTS_GAME_FIXTURE_H

#include <cstdint>

constexpr int16_t TEST_SCREEN_WIDTH = 1024;
constexpr int16_t TEST_GROUND_HEIGHT = 730;

void ResetWholeGame();

// The bits of a float, so that tests compare values exactly.
uint32_t FloatBits(float value);

#endif
