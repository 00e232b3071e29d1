// Ground contact: the three probe points just below the craft picture. The craft drawing uses
// them to stop a flight and the touchdown judge to tell a landing from a crash, so both ask the
// same question about the same pixels.
#ifndef TAVUNE_GAME_CONTACT_H
#define TAVUNE_GAME_CONTACT_H

#include <cstdint>

#include "game/state.h"

// Size of the craft picture, measured from its bitmap when the main window is created.
extern int32_t craftWidth;
extern int32_t craftHeight;

constexpr int CONTACT_PROBES = 3;

// Probe k of the craft whose picture's top-left corner is at topLeft, in the order bottom
// centre, bottom left, and the column just right of the picture, all on the row below it.
ScreenPoint ContactProbe(ScreenPoint topLeft, int k);

// Non-zero when a probe is in the ground or the picture has reached the bottom of the play area.
int CraftTouchesGround(ScreenPoint topLeft);

// Non-zero when all three probes are in the ground: the craft stands on level ground.
int CraftStandsOnGround(ScreenPoint topLeft);

#endif
