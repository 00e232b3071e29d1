#include <gtest/gtest.h>

#include <cstring>

#include "game/random.h"
#include "game/state.h"
#include "game/terrain.h"
#include "game_fixture.h"
#include "terrain_checks.h"

namespace {

// Each test's own terrain goes where the game keeps it, so that the next test's reset frees it.
using TerrainTest = GameTest;

// A zero relief or an impossible site would divide by zero or overrun the line: no terrain, no
// number drawn, originY untouched.
TEST_F(TerrainTest, GeneratorFollowsItsRecurrenceAndNonsenseDrawsNothing) {
    SeedRandom(1);
    for (int expected : {41, 18467, 6334, 26500, 19169, 15724}) {
        EXPECT_EQ(NextRandom(), expected);
    }
    SeedRandom(0);
    for (int expected : {38, 7719, 21238}) {
        EXPECT_EQ(NextRandom(), expected);
    }
    screen.originY = 123;
    SeedRandom(7);
    EXPECT_EQ(MakeTerrain(1024, 700, 0, 4), nullptr);
    EXPECT_EQ(MakeTerrain(1024, 700, 120, 31), nullptr);
    EXPECT_EQ(MakeTerrain(1024, 700, 120, 0), nullptr);
    EXPECT_EQ(screen.originY, 123);
    EXPECT_EQ(NextRandom(), 61); // the first number from seed 7
}

// The play area's terrain from seed 1, its ground where the line and the edges put it (the
// bottom and right edges themselves are outside), and the next terrain a different one. A
// smaller play area lowers the whole line with its bottom.
TEST_F(TerrainTest, KnownSeedGivesKnownTerrain) {
    screen.groundHeight = 700;
    SeedRandom(1);
    NewTerrain();
    ASSERT_NE(terrainRegion, nullptr);
    const int line[] = {573, 582, 607, 601, 600, 603, 586, 599, 588, 608, 628,
                        634, 636, 622, 638, 638, 638, 638, 638, 658, 675, 677,
                        666, 650, 629, 606, 584, 601, 608, 604, 595};
    for (int i = 0; i < 31; ++i) {
        EXPECT_EQ(terrainRegion->vertices[i + 1].y, line[i]) << "vertex " << i + 1;
    }
    EXPECT_EQ(screen.originY, 609);
    const int points[][3] = {{500, 638, 1},  {500, 637, 0},  {500, 699, 1},
                             {500, 700, 0},  {500, 701, 0},  {-1, 699, 0},
                             {1024, 699, 0}, {1023, 699, 1}, {0, 699, 1}};
    for (const auto& p : points) {
        EXPECT_EQ(TerrainContains(terrainRegion, p[0], p[1]), p[2]) << p[0] << " " << p[1];
    }
    EXPECT_EQ(TerrainContains(nullptr, 500, 699), 0);
    EXPECT_EQ(NextRandom(), 19895); // the 30th number: a terrain draws 29
    const Terrain first = *terrainRegion;
    NewTerrain();
    ASSERT_NE(terrainRegion, nullptr);
    EXPECT_NE(std::memcmp(terrainRegion->vertices, first.vertices, sizeof first.vertices), 0);
    SeedRandom(1);
    DeleteTerrain(MakeTerrain(640, 420, 120, 4));
    EXPECT_EQ(screen.originY, 329);
}
// Properties every terrain must have, over many seeds and screen sizes. Unchecked, the climb
// above the band would lift the line above the top of a 162-row play area (seed 138's site by
// 23 rows), where altitude would map upside down. The site comes at either end of the line. On
// the first few terrains of each size up to 1024 wide, the containment test and the column tops
// that paint the ground agree with the polygon pixel for pixel.
TEST_F(TerrainTest, EveryTerrainHasItsShapeAndItsGroundWhereThePolygonIs) {
    const struct {
        int width, height;
        uint32_t seeds;
    } sizes[] = {{29, 150, 400},   {320, 200, 400},  {640, 420, 400},   {800, 580, 400},
                 {1024, 730, 400}, {1366, 700, 400}, {3840, 2100, 400}, {320, 162, 20000}};
    int sitesAtLeftEdge = 0;
    int sitesAtRightEdge = 0;
    for (const auto& size : sizes) {
        for (uint32_t seed = 0; seed < size.seeds; ++seed) {
            SeedRandom(seed);
            Terrain* terrain = MakeTerrain(static_cast<int16_t>(size.width),
                                           static_cast<int16_t>(size.height), 120, 4);
            ASSERT_NE(terrain, nullptr);
            ASSERT_EQ(TerrainShapeFault(terrain), "") << size.height << " seed " << seed;
            sitesAtLeftEdge += LandingSiteStart(terrain) == 1;
            sitesAtRightEdge += LandingSiteStart(terrain) == 27;
            for (int x = -2; seed < 5 && size.width <= 1024 && x < size.width + 2; ++x) {
                const int top = TerrainColumnTop(terrain, x);
                for (int y = -200; y < size.height + 2; ++y) {
                    ASSERT_EQ(TerrainPointFault(terrain, x, y, top), "") << size.height;
                }
            }
            DeleteTerrain(terrain);
        }
    }
    EXPECT_GT(sitesAtLeftEdge, 0);
    EXPECT_GT(sitesAtRightEdge, 0);
}

} // namespace
