// Terrains under libFuzzer: any seed and screen must give the ground line's shape, with the
// containment test and the column tops agreeing with the polygon everywhere; arguments the game
// never passes must do no harm.
#include <fuzzer/FuzzedDataProvider.h>

#include <climits>
#include <string>

#include "fuzz_check.h"
#include "game/random.h"
#include "game/state.h"
#include "game/terrain.h"
#include "terrain_checks.h"

namespace {

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
    // Mostly as the game asks: the screen less a caption and a menu bar.
    const int16_t width = asTheGame ? input.ConsumeIntegralInRange<int16_t>(320, 3840)
                                    : input.ConsumeIntegral<int16_t>();
    const int16_t groundHeight =
        asTheGame ? static_cast<int16_t>(input.ConsumeIntegralInRange<int>(200, 2160) - 38)
                  : input.ConsumeIntegral<int16_t>();
    const int16_t relief = asTheGame ? RELIEF_HEIGHT : input.ConsumeIntegral<int16_t>();
    const int16_t site = asTheGame ? SITE_SEGMENTS : input.ConsumeIntegral<int16_t>();
    screen = ScreenLayout{};
    screen.originY = -12345;
    SeedRandom(seed);
    Terrain* terrain = MakeTerrain(width, groundHeight, relief, site);
    const bool sensible = relief > 0 && site >= 1 && site <= 30;
    FUZZ_CHECK((terrain != nullptr) == sensible, "relief %d, site %d: terrain %p", relief, site,
               static_cast<void*>(terrain));
    if (terrain == nullptr) {
        FUZZ_CHECK(screen.originY == -12345, "originY written without a terrain");
        return 0;
    }
    const std::string shape = asTheGame ? TerrainShapeFault(terrain) : "";
    FUZZ_CHECK(shape.empty(), "%s", shape.c_str());
    while (input.remaining_bytes() > 0) {
        const int x = Coordinate(input, terrain->width);
        const int y = Coordinate(input, terrain->groundHeight);
        const int top = TerrainColumnTop(terrain, x);
        // The asked point, and the column's first ground row and the row above.
        for (int row : {y, top - 1, top}) {
            const std::string point = asTheGame ? TerrainPointFault(terrain, x, row, top) : "";
            FUZZ_CHECK(point.empty(), "%s", point.c_str());
        }
        TerrainContains(terrain, x, y);
    }
    DeleteTerrain(terrain);
    return 0;
}
