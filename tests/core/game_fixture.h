// What the core's tests and the window tests share: putting every piece of process-wide game
// state back to how a fresh process finds it (with a 1024-pixel-wide screen, a 730-row play area
// and the 32 x 30 craft picture), and finding places on the screen and the terrain.
#ifndef TAVUNE_TESTS_GAME_FIXTURE_H
#define TAVUNE_TESTS_GAME_FIXTURE_H

#include <gtest/gtest.h>

#include <cstdint>

constexpr int16_t TEST_SCREEN_WIDTH = 1024;
constexpr int16_t TEST_GROUND_HEIGHT = 730;

void ResetWholeGame();

class GameTest : public ::testing::Test {
  protected:
    void SetUp() override { ResetWholeGame(); }
};

// The bits of a float, so that tests compare values exactly.
uint32_t FloatBits(float value);

// A posX that WorldToScreen puts half a pixel inside screen column x, and an altitude that puts
// the craft's top half a pixel inside row y; each fails the test if not.
float PosXForColumn(int x);
float AltitudeForRow(int y);

// The landing site (LandingSiteStart in terrain_checks.h): its first vertex and its left and
// right columns; fails the test when the terrain has none.
struct Terrain;
struct LandingSite {
    int start, left, right;
};
LandingSite FindLandingSite(const Terrain* terrain);

// Level ground on the given row but for one column, whose ground starts at columnTop instead: a
// spike above the level or a notch below it. Released with DeleteTerrain.
Terrain* LevelGroundWithOneColumn(int width, int groundHeight, int row, int column, int columnTop);

#endif
