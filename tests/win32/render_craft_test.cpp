// The craft drawn into a memory canvas with the game's own pictures: after any sequence of moves
// the canvas must hold nothing but a fresh drawing of the craft (and its flames) on black.
#include <gtest/gtest.h>

#include <windows.h>

#include <vector>

#include "app/main_window.h"
#include "game/contact.h"
#include "game/random.h"
#include "game/state.h"
#include "game/terrain.h"
#include "game_fixture.h"
#include "game_window.h"
#include "render/bitmap.h"
#include "render/craft.h"
#include "resource.h"
#include "win32_test_util.h"

namespace {

// Flames as bits: 1 the right, 2 the left, 4 the main, as in PICTURE_IDS below.
constexpr int ALL_FLAMES = 7;

// Puts the craft's top-left corner at (x, y).
void PlaceCraft(int x, int y) {
    flight.posX = PosXForColumn(x);
    flight.altitude = AltitudeForRow(y);
}

void SetThrusters(int firing) {
    flight.thrusterOn[THRUSTER_RIGHT] = firing & 1;
    flight.thrusterOn[THRUSTER_LEFT] = (firing >> 1) & 1;
    flight.thrusterOn[THRUSTER_MAIN] = (firing >> 2) & 1;
}

// The craft, then the right, left and main flames.
const int PICTURE_IDS[] = {IDB_CRAFT, IDB_FLAME_RIGHT, IDB_FLAME_LEFT, IDB_FLAME_MAIN};

class CraftDrawingTest : public ::testing::Test {
  protected:
    void SetUp() override {
        gdiObjectsAtStart = CountGdiObjects();
        ResetGameAndDrawing();
        screen.originX = 200;
        screen.originY = 150;
        flight.fuel = 500.0f;
        flight.phase = PHASE_FLYING;
        LoadGraphicsSet(nullptr); // as the main window loads it
        // Copies of their own for the expected pictures: a bitmap selected into the game's
        // contexts cannot be selected anywhere else.
        for (int i = 0; i < 4; ++i) {
            copies[i] = LoadBitmapA(appInstance, MAKEINTRESOURCEA(PICTURE_IDS[i]));
            ASSERT_NE(copies[i], nullptr);
            GetObjectA(copies[i], sizeof sizes[i], &sizes[i]);
        }
        // The side flames overlap the craft's outer three columns, five rows down; the main one
        // is centred under it and overlaps its last five rows.
        places[1] = {sizes[0].bmWidth - 3, 5};
        places[2] = {3 - sizes[2].bmWidth, 5};
        places[3] = {(sizes[0].bmWidth - sizes[3].bmWidth) / 2, sizes[0].bmHeight - 5};
    }

    void TearDown() override {
        for (HBITMAP copy : copies) {
            DeleteObject(copy);
        }
        FreeGraphicsSet();
        // Nothing left behind, by DrawBitmapAt (which every expected drawing uses) either; one
        // that deleted the caller's picture would blank the expected drawings.
        EXPECT_EQ(CountGdiObjects(), gdiObjectsAtStart);
    }

    // The canvas holds the craft drawn once at (x, y) on black, with those flames combined by
    // exclusive-or at their places, and the flags say which are shown.
    void ExpectDrawn(int x, int y, int flames) {
        expected.Clear();
        DrawBitmapAt(expected.dc, static_cast<int16_t>(x), static_cast<int16_t>(y), copies[0]);
        HDC flame = CreateCompatibleDC(expected.dc);
        for (int i = 1; i < 4; ++i) {
            if ((flames >> (i - 1)) & 1) {
                SelectObject(flame, copies[i]);
                BitBlt(expected.dc, x + places[i].x, y + places[i].y, sizes[i].bmWidth,
                       sizes[i].bmHeight, flame, 0, 0, SRCINVERT);
            }
        }
        DeleteDC(flame); // and with it the selection of the last flame
        EXPECT_EQ(CanvasDifference(canvas, expected), "");
        EXPECT_EQ(craftDrawing.rightFlameShown + 2 * craftDrawing.leftFlameShown +
                      4 * craftDrawing.mainFlameShown,
                  flames);
    }

    PixelCanvas canvas{400, 320};
    PixelCanvas expected{400, 320};
    HBITMAP copies[4] = {};
    BITMAP sizes[4] = {};
    POINT places[4] = {};
    int gdiObjectsAtStart = 0;
};

// Small and large steps in every direction, a pause, and one-pixel steps.
const POINT FLIGHT_PATH[] = {
    {150, 105}, {150, 95},  {153, 95},  {146, 95},  {149, 101}, {145, 94},  {152, 88}, {150, 92},
    {150, 92},  {250, 92},  {250, 200}, {60, 40},   {300, 230}, {40, 230},  {41, 231}, {40, 230},
    {39, 229},  {120, 150}, {121, 149}, {119, 151}, {119, 60},  {330, 240},
};

TEST_F(CraftDrawingTest, EveryMoveLeavesOnlyTheFreshCraft) {
    PlaceCraft(150, 100);
    // The repaint at the start of a flight, the first call of the process: it finds the blink at
    // 1 and draws no flame, whatever fires.
    SetThrusters(ALL_FLAMES);
    DrawCraft(canvas.dc, 0);
    ExpectDrawn(150, 100, 0);
    int step = 0;
    for (const POINT& to : FLIGHT_PATH) {
        SCOPED_TRACE(::testing::Message() << "move " << step << " to " << to.x << ", " << to.y);
        // Every one of the eight combinations fires on some move that shows flames.
        const int firing = (step * 3 + step / 4) % 8;
        SetThrusters(firing);
        PlaceCraft(to.x, to.y);
        EXPECT_EQ(DrawCraft(canvas.dc, 1), 0);
        // The start repaint left the blink at 0, so flames show on the 1st, 3rd, ... move.
        ExpectDrawn(to.x, to.y, step % 2 == 0 ? firing : 0);
        EXPECT_EQ(craftDrawing.lastCraftX, to.x);
        EXPECT_EQ(craftDrawing.lastCraftY, to.y);
        ++step;
    }
}

// A repaint with the blink at 0 draws every firing thruster's flame (if flames are drawn at all);
// the next frame, moved or not, takes them away and draws new ones only when the blink, the
// phase, the fuel, the setting and the thrusters allow.
TEST_F(CraftDrawingTest, FlamesOnlyWhenBlinkPhaseFuelAndSettingAllow) {
    const struct {
        const char* name;
        uint8_t phase;
        float fuel;
        int drawFlame, blink;
        bool firing, drawn;
    } cases[] = {
        {"everything allows", PHASE_FLYING, 500.0f, 1, 0, true, true},
        {"a little fuel left", PHASE_FLYING, 0.01f, 1, 0, true, true},
        {"blink not at zero", PHASE_FLYING, 500.0f, 1, 1, true, false},
        {"tank empty", PHASE_FLYING, 0.0f, 1, 0, true, false},
        {"flames switched off", PHASE_FLYING, 500.0f, 0, 0, true, false},
        {"touching down", PHASE_TOUCHDOWN, 500.0f, 1, 0, true, false},
        {"calibrating", PHASE_CALIBRATE, 500.0f, 1, 0, true, false},
        {"waiting to start", PHASE_READY, 500.0f, 1, 0, true, false},
        {"thrusters released", PHASE_FLYING, 500.0f, 1, 0, false, false},
    };
    const POINT moves[] = {{150, 100}, {155, 108}, {140, 90}};
    for (const auto& c : cases) {
        for (const POINT& to : moves) {
            SCOPED_TRACE(::testing::Message() << c.name << ", to " << to.x);
            canvas.Clear();
            flight.fuel = 500.0f;
            flight.phase = PHASE_FLYING;
            SetThrusters(ALL_FLAMES);
            settings.drawFlame = c.drawFlame;
            craftDrawing = CRAFT_DRAWING_AT_START;
            craftDrawing.flameBlink = 0;
            PlaceCraft(150, 100);
            DrawCraft(canvas.dc, 0);
            ExpectDrawn(150, 100, c.drawFlame ? ALL_FLAMES : 0);
            flight.phase = c.phase;
            flight.fuel = c.fuel;
            SetThrusters(c.firing ? ALL_FLAMES : 0);
            craftDrawing.flameBlink = c.blink;
            PlaceCraft(to.x, to.y);
            DrawCraft(canvas.dc, 1);
            ExpectDrawn(to.x, to.y, c.drawn ? ALL_FLAMES : 0);
        }
    }
}

// The exact strips that turn black on a white screen, besides the craft's own black pixels, and
// the brush left selected. A repaint (no erasing) draws only the picture and keeps the brush.
TEST_F(CraftDrawingTest, ErasingBlackensExactlyTheUncoveredStrips) {
    const struct {
        const char* name;
        POINT from, to;
        std::vector<RECT> blackened;
        int erase = 1;
    } cases[] = {
        {"down and right", {100, 200}, {103, 205}, {{100, 199, 132, 205}, {100, 200, 103, 230}}},
        {"up", {100, 200}, {100, 190}, {{100, 220, 132, 230}}},
        {"one row down", {100, 200}, {100, 201}, {{100, 199, 132, 201}}},
        {"left", {100, 200}, {96, 200}, {{128, 200, 132, 230}}},
        {"up and left", {100, 200}, {95, 194}, {{100, 224, 132, 230}, {127, 200, 132, 230}}},
        {"in place", {100, 200}, {100, 200}, {}},
        {"far up and right", {100, 200}, {200, 100}, {{100, 130, 132, 230}, {100, 200, 200, 230}}},
        {"far down and left", {200, 50}, {90, 180}, {{200, 49, 232, 180}, {122, 50, 232, 80}}},
        {"repaint", {20, 30}, {180, 120}, {}, 0},
    };
    const HGDIOBJ grey = GetStockObject(GRAY_BRUSH);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        canvas.Clear(0xFFFFFF);
        SelectObject(canvas.dc, grey);
        craftDrawing.lastCraftX = static_cast<int16_t>(c.from.x);
        craftDrawing.lastCraftY = static_cast<int16_t>(c.from.y);
        PlaceCraft(c.to.x, c.to.y);
        DrawCraft(canvas.dc, c.erase);
        expected.Clear(0xFFFFFF);
        for (const RECT& area : c.blackened) {
            FillRect(expected.dc, &area, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        }
        DrawBitmapAt(expected.dc, static_cast<int16_t>(c.to.x), static_cast<int16_t>(c.to.y),
                     copies[0]);
        EXPECT_EQ(CanvasDifference(canvas, expected), "");
        EXPECT_EQ(GetCurrentObject(canvas.dc, OBJ_BRUSH),
                  c.erase ? GetStockObject(BLACK_BRUSH) : grey);
        if (c.erase) {
            EXPECT_EQ(GetCurrentObject(canvas.dc, OBJ_PEN), GetStockObject(BLACK_PEN));
        }
    }
}

// Whether the craft touches the ground where it is drawn, erasing or not (the bottom of the play
// area as ground is the core's tick test's). Level ground on row 300 but for one column, whose
// ground starts at spikeTop: the craft at (100, 100) probes row 130 at columns 116, 100 and 132.
TEST_F(CraftDrawingTest, ContactWhereTheCraftIsDrawn) {
    const int spikes[][3] = {
        // column, spikeTop, contact
        {116, 130, 1}, {100, 130, 1}, {132, 130, 1}, {116, 120, 1}, {132, 100, 1},
        {116, 131, 0}, {100, 131, 0}, {132, 131, 0}, {99, 130, 0},  {101, 130, 0},
        {115, 130, 0}, {117, 130, 0}, {131, 130, 0}, {133, 130, 0},
    };
    for (const auto& spike : spikes) {
        SCOPED_TRACE(::testing::Message() << "column " << spike[0] << " from row " << spike[1]);
        DeleteTerrain(terrainRegion);
        terrainRegion = LevelGroundWithOneColumn(400, 310, 300, spike[0], spike[1]);
        PlaceCraft(100, 100);
        EXPECT_EQ(DrawCraft(canvas.dc, 1), spike[2]);
        EXPECT_EQ(DrawCraft(canvas.dc, 0), spike[2]);
    }
    DeleteTerrain(terrainRegion);
    // Over a generated terrain's landing site, whose surface is row 638: altitude 0 puts the
    // craft's lowest row on the surface, so the row below it is ground; two pixels higher it is
    // still in the air.
    SeedRandom(1);
    terrainRegion = MakeTerrain(1024, 700, RELIEF_HEIGHT, SITE_SEGMENTS);
    ASSERT_EQ(screen.originY, 609);
    screen.originX = 512;
    screen.groundHeight = 700;
    const int overSite[][2] = {{607, 0}, {608, 1}, {609, 1}, {500, 0}};
    for (const auto& [y, contact] : overSite) {
        SCOPED_TRACE(y);
        PlaceCraft(500, y);
        EXPECT_EQ(DrawCraft(canvas.dc, 1), contact);
    }
    flight.posX = 0.0f;
    flight.altitude = 0.0f;
    EXPECT_EQ(DrawCraft(canvas.dc, 1), 1);
}

} // namespace
