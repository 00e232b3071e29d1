// Terrains under libFuzzer: any seed and the play area of any screen from 320 x 200 to
// 3840 x 2160 must give a ground line with the shape the game relies on, and the containment test
// and the column tops must agree with the polygon on every point asked about, inside the screen
// and far outside it. Arguments the game never passes (any 16-bit size, relief or site width) must
// do no harm.
#include <fuzzer/FuzzedDataProvider.h>

#include <climits>
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "game/random.h"
#include "game/state.h"
#include "game/terrain.h"
#include "terrain_checks.h"

namespace {

constexpr int CAPTION_AND_MENU_HEIGHT = 38;

// The column top is the first row of ground in the column, exactly; beside the play area, its
// bottom.
void CheckColumn(const Terrain* terrain, int x) {
    const int top = TerrainColumnTop(terrain, x);
    if (x < 0 || x >= terrain->width) {
        FUZZ_CHECK(top == terrain->groundHeight, "column %d outside has top %d", x, top);
        return;
    }
    FUZZ_CHECK(PolygonHoldsPixel(terrain->vertices, TERRAIN_VERTEX_COUNT, x, top) &&
                   !PolygonHoldsPixel(terrain->vertices, TERRAIN_VERTEX_COUNT, x, top - 1),
               "column %d has top %d", x, top);
}

// Points near the screen mostly, and now and then anywhere an int reaches.
int Coordinate(FuzzedDataProvider& input, int size) {
    switch (input.ConsumeIntegralInRange<int>(0, 7)) {
        case 0:
            return input.ConsumeIntegral<int>();
        case 1:
            return input.PickValueInArray({INT_MIN, INT_MIN + 1, -1, 0, size - 1, size, INT_MAX});
        default: // size is negative only for a width or height that the game never uses
            return size >= 0 ? input.ConsumeIntegralInRange<int>(-40, size + 40)
                             : input.ConsumeIntegralInRange<int>(size - 40, 40);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    const uint32_t seed = input.ConsumeIntegral<uint32_t>();
    const bool asTheGame = input.ConsumeIntegralInRange<int>(0, 7) != 0;
    int16_t width;
    int16_t groundHeight;
    int16_t relief = RELIEF_HEIGHT;
    int16_t site = SITE_SEGMENTS;
    if (asTheGame) {
        width = input.ConsumeIntegralInRange<int16_t>(320, 3840);
        // The play area of a maximised window: the screen less a caption and a menu bar.
        groundHeight = static_cast<int16_t>(input.ConsumeIntegralInRange<int>(200, 2160) -
                                            CAPTION_AND_MENU_HEIGHT);
    } else {
        width = input.ConsumeIntegral<int16_t>();
        groundHeight = input.ConsumeIntegral<int16_t>();
        relief = input.ConsumeIntegral<int16_t>();
        site = input.ConsumeIntegral<int16_t>();
    }

    screen = ScreenLayout{};
    screen.originY = -12345;
    SeedRandom(seed);
    Terrain* terrain = MakeTerrain(width, groundHeight, relief, site);
    const bool sensible = relief > 0 && site >= 1 && site <= 30;
    FUZZ_CHECK((terrain != nullptr) == sensible, "relief %d, site %d: terrain %p", relief, site,
               static_cast<void*>(terrain));
    if (terrain == nullptr) {
        FUZZ_CHECK(screen.originY == -12345, "originY written without a terrain");
        FUZZ_CHECK(TerrainContains(nullptr, 0, 0) == 0, "a missing terrain has ground");
        return 0;
    }
    const std::string shape = asTheGame ? TerrainShapeFault(terrain, seed) : "";
    FUZZ_CHECK(shape.empty(), "%s", shape.c_str());
    while (input.remaining_bytes() > 0) {
        const int x = Coordinate(input, terrain->width);
        const int y = Coordinate(input, terrain->groundHeight);
        if (asTheGame) {
            CheckColumn(terrain, x);
            const std::string point =
                TerrainPointFault(terrain, x, y, TerrainColumnTop(terrain, x));
            FUZZ_CHECK(point.empty(), "%s", point.c_str());
        } else {
            TerrainColumnTop(terrain, x);
            TerrainContains(terrain, x, y);
        }
    }
    DeleteTerrain(terrain);
    return 0;
}
