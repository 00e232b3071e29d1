#include "render/ground.h"

void PaintTerrain(HDC dc, const Terrain* terrain) {
    if (terrain == nullptr) {
        return;
    }
    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(WHITE_BRUSH));
    for (int x = 0; x < terrain->width; ++x) {
        const int top = TerrainColumnTop(terrain, x);
        if (top < terrain->groundHeight) {
            PatBlt(dc, x, top, 1, terrain->groundHeight - top, PATCOPY);
        }
    }
    SelectObject(dc, oldBrush);
}
