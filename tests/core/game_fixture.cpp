#include "game_fixture.h"

#include <cstring>

#include "game/contact.h"
#include "game/host.h"
#include "game/random.h"
#include "game/state.h"
#include "game/terrain.h"
#include "terrain_checks.h"

void ResetWholeGame() {
    settings = DEFAULT_SETTINGS;
    flight = FlightState{};
    screen = ScreenLayout{TEST_SCREEN_WIDTH, TEST_GROUND_HEIGHT, 0, 0};
    DeleteTerrain(terrainRegion);
    terrainRegion = nullptr;
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

float PosXForColumn(int x) {
    const int across = x - screen.originX;
    const double half = across > 0 ? 0.5 : across < 0 ? -0.5 : 0.0;
    const float posX = static_cast<float>((across + half) * 600.0 / screen.originX);
    EXPECT_EQ(WorldToScreen(posX, 0.0f).x, x);
    return posX;
}

float AltitudeForRow(int y) {
    const int up = screen.originY - y;
    const float altitude =
        static_cast<float>((up + (up < 0 ? -0.5 : 0.5)) * 1200.0 / screen.originY);
    EXPECT_EQ(WorldToScreen(0.0f, altitude).y, y);
    return altitude;
}

LandingSite FindLandingSite(const Terrain* terrain) {
    const int s = LandingSiteStart(terrain);
    if (s == 0) {
        ADD_FAILURE() << "no landing site on row " << screen.originY + SITE_TO_ORIGIN_ROWS;
        return LandingSite{1, 0, 0};
    }
    return LandingSite{s, terrain->vertices[s].x, terrain->vertices[s + SITE_SEGMENTS].x};
}

Terrain* LevelGroundWithOneColumn(int width, int groundHeight, int row, int column, int columnTop) {
    Terrain* terrain = new Terrain{{}, width, groundHeight};
    terrain->vertices[0] = {0, groundHeight};
    for (int i = 1; i <= TERRAIN_SEGMENTS + 1; ++i) {
        const int x = i == 1 ? 0 : i == TERRAIN_SEGMENTS + 1 ? width : column + i - 3;
        terrain->vertices[i] = {x, i == 3 ? columnTop : row};
    }
    terrain->vertices[TERRAIN_SEGMENTS + 2] = {width, groundHeight};
    return terrain;
}
