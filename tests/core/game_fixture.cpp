#include "game_fixture.h"

#include <cstring>

#include "game/contact.h"
#include "game/host.h"
#include "game/random.h"
#include "game/state.h"
#include "game/terrain.h"

void ResetWholeGame() {
    settings = DEFAULT_SETTINGS;
    flight = FlightState{};
    screen = ScreenLayout{};
    screen.screenWidth = TEST_SCREEN_WIDTH;
    screen.groundHeight = TEST_GROUND_HEIGHT;
    if (terrainRegion != nullptr) {
        DeleteTerrain(terrainRegion);
        terrainRegion = nullptr;
    }
    SeedRandom(1);
    craftWidth = 32;
    craftHeight = 30;
    SetGameHost(nullptr);
}

uint32_t FloatBits(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}
