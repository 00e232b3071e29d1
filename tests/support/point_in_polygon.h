// An even-odd test of a pixel against a closed polygon, written apart from the game's own ground
// test so that tests can check that one against the polygon itself.
#ifndef TAVUNE_TESTS_SUPPORT_POINT_IN_POLYGON_H
#define TAVUNE_TESTS_SUPPORT_POINT_IN_POLYGON_H

#include <cstdint>

#include "game/terrain.h"

// Counts the edges that a ray from the pixel to the right crosses. The pixel stands for the point
// a hair right of and a hair below its top-left corner (x, y), the hair below much larger than
// the one to the right: pixels on the top and left edges are inside, those on the right and
// bottom edges outside, as a filled polygon on the screen has them.
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

#endif
