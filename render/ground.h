// The ground on the screen: white from the ground line down, column by column, exactly the
// pixels that TerrainContains calls ground, which no polygon fill could promise.
#ifndef TAVUNE_RENDER_GROUND_H
#define TAVUNE_RENDER_GROUND_H

#include <windows.h>

#include "game/terrain.h"

// Paints the terrain with the stock white brush; the brush selected before is put back.
void PaintTerrain(HDC dc, const Terrain* terrain);

#endif
