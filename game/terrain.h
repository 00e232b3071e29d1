// The moonscape: a closed 33-vertex polygon in client pixels (x right, y down) whose top edge,
// the ground line, has exactly one flat stretch, the landing site. TerrainContains is the game's
// only test of whether a pixel is ground, and TerrainColumnTop gives the same answer a column at
// a time, so whatever paints the ground paints exactly the pixels the game calls ground.
#ifndef TAVUNE_GAME_TERRAIN_H
#define TAVUNE_GAME_TERRAIN_H

#include <cstdint>

constexpr int TERRAIN_VERTEX_COUNT = 33;
constexpr int TERRAIN_SEGMENTS = 30;    // segments of the ground line
constexpr int16_t RELIEF_HEIGHT = 120;  // band in which the ground line wanders
constexpr int16_t SITE_SEGMENTS = 4;    // width of the landing site, in segments
constexpr int SITE_TO_ORIGIN_ROWS = 29; // the craft picture's 30 rows end on the site's row
constexpr int MIN_GROUND_ROW = 30;      // the ground line never rises above this row

struct TerrainVertex {
    int32_t x;
    int32_t y;
};

struct Terrain {
    // 0 is the bottom-left corner, 1 to 31 the ground line from left to right, 32 the bottom-right
    // corner; the polygon closes along the bottom edge.
    TerrainVertex vertices[TERRAIN_VERTEX_COUNT];
    int32_t width;
    int32_t groundHeight;
};

// The current terrain; null before the first one and after a build that failed.
extern Terrain* terrainRegion;

// Builds a new random terrain, owned by the caller (release it with DeleteTerrain), or returns
// null when no memory is left, in which case nothing is drawn from the random sequence and
// originY is untouched. Otherwise sets screen.originY from the landing site.
Terrain* MakeTerrain(int16_t width, int16_t groundHeight, int16_t reliefHeight,
                     int16_t siteSegments);

void DeleteTerrain(Terrain* terrain);

// Replaces terrainRegion by a new terrain the size of the play area.
void NewTerrain();

// Non-zero when pixel (x, y) is ground. A null terrain has no ground. As with a filled polygon
// on the screen, the right and bottom edges themselves (x = width, y = groundHeight) are outside.
int TerrainContains(const Terrain* terrain, int x, int y);

// The topmost ground row of column x; groundHeight when the column has no ground.
int TerrainColumnTop(const Terrain* terrain, int x);

#endif
