#include "game/terrain.h"

#include <new>

#include "game/random.h"
#include "game/state.h"

Terrain* terrainRegion = nullptr;

// The ground line wanders no lower than this many rows above the bottom of the play area.
constexpr int BAND_BOTTOM_MARGIN = 20;
// Each step along the ground line goes up or down by one of this many rows, centred on zero.
constexpr int STEP_CHOICES = 50;

// On a small play area the ground line's climb above its band could reach the top of the window
// and put the landing site above it, where altitude would map upside down. Holding the line a
// little below the top changes nothing on any screen of ordinary height.
static int KeepBelowTop(int y) {
    return y < MIN_GROUND_ROW ? MIN_GROUND_ROW : y;
}

Terrain* MakeTerrain(int16_t width, int16_t groundHeight, int16_t reliefHeight,
                     int16_t siteSegments) {
    // A remainder by zero or a site wider than the line has no sensible terrain.
    if (reliefHeight <= 0 || siteSegments < 1 || siteSegments > TERRAIN_SEGMENTS) {
        return nullptr;
    }
    Terrain* terrain = new (std::nothrow) Terrain;
    if (terrain == nullptr) {
        return nullptr;
    }
    const int lastLineVertex = TERRAIN_SEGMENTS + 1;
    const int siteStart = NextRandom() % (lastLineVertex - siteSegments) + 1;
    const int bandTop = groundHeight - reliefHeight;
    const int bandBottom = groundHeight - BAND_BOTTOM_MARGIN;
    int y = KeepBelowTop(bandBottom - NextRandom() % reliefHeight);
    const int segmentWidth = width / TERRAIN_SEGMENTS;
    const int widthRemainder = width % TERRAIN_SEGMENTS;

    for (int i = 1; i <= lastLineVertex; ++i) {
        // A vertex is stored before the step that follows it, so the site's vertices share a y.
        terrain->vertices[i].x =
            (i - 1) * segmentWidth + ((i - 1) * widthRemainder) / TERRAIN_SEGMENTS;
        terrain->vertices[i].y = y;
        if (i < siteStart || i >= siteStart + siteSegments) {
            const int step = NextRandom() % STEP_CHOICES - STEP_CHOICES / 2;
            // A step that would leave the band is reversed, and the reversal is not tested again.
            if (bandTop < y + step && y + step < bandBottom) {
                y += step;
            } else {
                y -= step;
            }
            y = KeepBelowTop(y);
        } else if (i == siteStart) {
            screen.originY = static_cast<int16_t>(y - SITE_TO_ORIGIN_ROWS);
        }
    }
    terrain->vertices[0] = TerrainVertex{0, groundHeight};
    terrain->vertices[TERRAIN_VERTEX_COUNT - 1] = TerrainVertex{width, groundHeight};
    terrain->width = width;
    terrain->groundHeight = groundHeight;
    return terrain;
}

void DeleteTerrain(Terrain* terrain) {
    delete terrain;
}

void NewTerrain() {
    if (terrainRegion != nullptr) {
        DeleteTerrain(terrainRegion);
        terrainRegion = nullptr;
    }
    terrainRegion =
        MakeTerrain(screen.screenWidth, screen.groundHeight, RELIEF_HEIGHT, SITE_SEGMENTS);
}

static int FloorDivide(int numerator, int denominator) {
    int quotient = numerator / denominator;
    if ((numerator % denominator != 0) && ((numerator < 0) != (denominator < 0))) {
        --quotient;
    }
    return quotient;
}

int TerrainColumnTop(const Terrain* terrain, int x) {
    if (terrain == nullptr) {
        return 0;
    }
    if (x < 0 || x >= terrain->width) {
        return terrain->groundHeight;
    }
    // The segment whose span [left, right) holds x; segments of zero width are skipped.
    int i = 1;
    while (i < TERRAIN_SEGMENTS && terrain->vertices[i + 1].x <= x) {
        ++i;
    }
    const TerrainVertex& left = terrain->vertices[i];
    const TerrainVertex& right = terrain->vertices[i + 1];
    // The first row on or below the straight line between the two vertices.
    const int rise = (right.y - left.y) * (x - left.x);
    const int run = right.x - left.x;
    const int top = left.y - FloorDivide(-rise, run);
    return top < terrain->groundHeight ? top : terrain->groundHeight;
}

int TerrainContains(const Terrain* terrain, int x, int y) {
    if (terrain == nullptr || x < 0 || x >= terrain->width || y >= terrain->groundHeight) {
        return 0;
    }
    return y >= TerrainColumnTop(terrain, x) ? 1 : 0;
}
