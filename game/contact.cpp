#include "game/contact.h"

#include "game/terrain.h"

int32_t craftWidth = 0;
int32_t craftHeight = 0;

ScreenPoint ContactProbe(ScreenPoint topLeft, int k) {
    static const int across[CONTACT_PROBES] = {1, 0, 2}; // halves of the width
    ScreenPoint probe;
    probe.x = static_cast<int16_t>(topLeft.x + across[k] * craftWidth / 2);
    probe.y = static_cast<int16_t>(topLeft.y + craftHeight);
    return probe;
}

int CraftTouchesGround(ScreenPoint topLeft) {
    for (int k = 0; k < CONTACT_PROBES; ++k) {
        const ScreenPoint probe = ContactProbe(topLeft, k);
        if (TerrainContains(terrainRegion, probe.x, probe.y)) {
            return 1;
        }
    }
    return topLeft.y + craftHeight >= screen.groundHeight ? 1 : 0;
}

int CraftStandsOnGround(ScreenPoint topLeft) {
    for (int k = 0; k < CONTACT_PROBES; ++k) {
        const ScreenPoint probe = ContactProbe(topLeft, k);
        if (!TerrainContains(terrainRegion, probe.x, probe.y)) {
            return 0;
        }
    }
    return 1;
}
