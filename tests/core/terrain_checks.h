// What the terrain's tests and its fuzzer ask of a terrain, free of GoogleTest. Each check
// answers "" when the terrain passes, else the first fault it found.
#ifndef TAVUNE_TESTS_TERRAIN_CHECKS_H
#define TAVUNE_TESTS_TERRAIN_CHECKS_H

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "game/state.h"
#include "game/terrain.h"

inline std::string TerrainFault(const char* format, int a, int b = 0, int c = 0) {
    char text[96];
    std::snprintf(text, sizeof text, format, a, b, c);
    return text;
}

// An even-odd test of a pixel against the closed polygon, apart from the game's own: the edges a
// ray to the right crosses from the point a hair right of and (much more) below the pixel's
// corner (x, y), so that top and left edges are inside, right and bottom edges outside, as a
// filled polygon on the screen has them.
inline bool PolygonHoldsPixel(const TerrainVertex* vertices, int count, int x, int y) {
    bool inside = false;
    for (int i = 0, j = count - 1; i < count; j = i++) {
        const TerrainVertex& a = vertices[j];
        const TerrainVertex& b = vertices[i];
        if ((a.y > y) == (b.y > y)) {
            continue; // the ray's row, a hair below y, does not meet this edge
        }
        const int64_t dx = static_cast<int64_t>(b.x) - a.x;
        const int64_t dy = static_cast<int64_t>(b.y) - a.y;
        // (crossing column - point column) * dy, in whole pixels; on a tie the hair below decides
        // along the edge's run, and on a vertical edge the hair to the right.
        const int64_t whole =
            (static_cast<int64_t>(y) - a.y) * dx - (static_cast<int64_t>(x) - a.x) * dy;
        const int64_t sign = whole != 0 ? whole : dx != 0 ? dx : -dy;
        if ((sign > 0) == (dy > 0)) {
            inside = !inside; // the edge crosses right of the point
        }
    }
    return inside;
}

// The game's containment test and the column top that paints the ground (top, of column x)
// agree with the polygon at (x, y). A column with no ground has its top on the bottom edge.
inline std::string TerrainPointFault(const Terrain* terrain, int x, int y, int top) {
    const bool inside = PolygonHoldsPixel(terrain->vertices, TERRAIN_VERTEX_COUNT, x, y);
    const bool painted = y >= top && y < terrain->groundHeight;
    if ((TerrainContains(terrain, x, y) != 0) != inside || painted != inside ||
        top > terrain->groundHeight) {
        return TerrainFault("point %d %d (column top %d) is not where the polygon says", x, y, top);
    }
    return "";
}

// The first ground-line vertex of the landing site: five vertices in a row on the row that puts
// the craft's bottom on the site (screen.originY + SITE_TO_ORIGIN_ROWS); 0 when there is none.
// Another vertex may lie on that row by chance.
inline int LandingSiteStart(const Terrain* terrain) {
    const int row = screen.originY + SITE_TO_ORIGIN_ROWS;
    for (int s = 1, level = 0; s <= TERRAIN_SEGMENTS + 1; ++s) {
        level = terrain->vertices[s].y == row ? level + 1 : 0;
        if (level == SITE_SEGMENTS + 1) {
            return s - SITE_SEGMENTS;
        }
    }
    return 0;
}

// The shape of a terrain built as the game builds it (relief 120, a 4-segment site): the ground
// line evenly spread across the width, at least 20 rows above the bottom and never above
// MIN_GROUND_ROW, no step over 25 rows, and a landing site on the row that originY gives.
inline std::string TerrainShapeFault(const Terrain* terrain) {
    const TerrainVertex* v = terrain->vertices;
    const int width = terrain->width, bottom = terrain->groundHeight;
    if (v[0].x != 0 || v[0].y != bottom || v[32].x != width || v[32].y != bottom) {
        return TerrainFault("corners at rows %d and %d, right edge %d", v[0].y, v[32].y, v[32].x);
    }
    for (int i = 1; i <= 31; ++i) {
        if (v[i].x != (i - 1) * width / 30 || v[i].y > bottom - 20 || v[i].y < MIN_GROUND_ROW ||
            (i > 1 && std::abs(v[i].y - v[i - 1].y) > 25)) {
            return TerrainFault("vertex %d at %d %d", i, v[i].x, v[i].y);
        }
    }
    if (LandingSiteStart(terrain) == 0) {
        return TerrainFault("no landing site on row %d", screen.originY + SITE_TO_ORIGIN_ROWS);
    }
    return "";
}

#endif
