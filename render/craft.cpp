#include "render/craft.h"

#include "game/contact.h"
#include "game/state.h"

GraphicsSet graphics = {};

constexpr CraftDrawing CRAFT_DRAWING_AT_START = {0, 0, 0, 0, 0, 1};
CraftDrawing craftDrawing = CRAFT_DRAWING_AT_START;

namespace {

// Where each flame sits against the craft picture's top-left corner, in the order in which the
// flames are removed and drawn. The sizes are fixed here, not read from the pictures.
struct FlamePlace {
    int thruster;
    // decltype: clang-format 14 and 19 lay out a written-out pointer to member differently.
    decltype(&GraphicsSet::craftDC) image;
    decltype(&CraftDrawing::rightFlameShown) shown;
    int left;
    int top;
    int width;
    int height;
};

const FlamePlace FLAMES[] = {
    {THRUSTER_RIGHT, &GraphicsSet::rightFlameDC, &CraftDrawing::rightFlameShown, 29, 5, 32, 8},
    {THRUSTER_LEFT, &GraphicsSet::leftFlameDC, &CraftDrawing::leftFlameShown, -29, 5, 32, 8},
    {THRUSTER_MAIN, &GraphicsSet::mainFlameDC, &CraftDrawing::mainFlameShown, 4, 25, 24, 32},
};

// Exclusive-or with the screen: a second copy at the same place restores what lay beneath, so
// a flame is removed without saving the sky, craft or terrain under it.
void InvertFlame(HDC dc, const FlamePlace& flame, int craftX, int craftY) {
    BitBlt(dc, craftX + flame.left, craftY + flame.top, flame.width, flame.height,
           graphics.*flame.image, 0, 0, SRCINVERT);
}

void RemoveFlames(HDC dc) {
    for (const FlamePlace& flame : FLAMES) {
        if (craftDrawing.*flame.shown) {
            InvertFlame(dc, flame, craftDrawing.lastCraftX, craftDrawing.lastCraftY);
            craftDrawing.*flame.shown = 0;
        }
    }
}

// Blacks out what the old picture covered and the new one does not; the brush and pen must be
// black. A downward move also clears the row above the old picture.
void EraseUncovered(HDC dc, ScreenPoint now) {
    const int oldX = craftDrawing.lastCraftX;
    const int oldY = craftDrawing.lastCraftY;
    if (now.y > oldY) {
        Rectangle(dc, oldX, oldY - 1, oldX + craftWidth, now.y);
    } else if (now.y < oldY) {
        Rectangle(dc, oldX, now.y + craftHeight, oldX + craftWidth, oldY + craftHeight);
    }
    if (now.x > oldX) {
        Rectangle(dc, oldX, oldY, now.x, oldY + craftHeight);
    } else if (now.x < oldX) {
        Rectangle(dc, now.x + craftWidth, oldY, oldX + craftWidth, oldY + craftHeight);
    }
}

void DrawFlames(HDC dc, ScreenPoint now) {
    const bool burning = craftDrawing.flameBlink == 0 && settings.drawFlame != 0 &&
                         flight.fuel > 0.0f && flight.phase == PHASE_FLYING;
    for (const FlamePlace& flame : FLAMES) {
        const bool firing = burning && flight.thrusterOn[flame.thruster] != 0;
        if (firing) {
            InvertFlame(dc, flame, now.x, now.y);
        }
        craftDrawing.*flame.shown = firing ? 1 : 0;
    }
}

// The craft picture at (x, y) together with every flame that could show beside it.
RECT BoxWithFlames(int x, int y) {
    RECT box = {x, y, x + craftWidth, y + craftHeight};
    for (const FlamePlace& flame : FLAMES) {
        const RECT place = {x + flame.left, y + flame.top, x + flame.left + flame.width,
                            y + flame.top + flame.height};
        UnionRect(&box, &box, &place);
    }
    return box;
}

} // namespace

int CraftRepaintBox(RECT* box) {
    const bool shown = craftDrawing.rightFlameShown != 0 || craftDrawing.leftFlameShown != 0 ||
                       craftDrawing.mainFlameShown != 0;
    if (!shown && flight.phase != PHASE_FLYING) {
        return 0;
    }
    const ScreenPoint now = WorldToScreen(flight.posX, flight.altitude);
    const RECT last = BoxWithFlames(craftDrawing.lastCraftX, craftDrawing.lastCraftY);
    const RECT next = BoxWithFlames(now.x, now.y);
    UnionRect(box, &last, &next);
    return 1;
}

int DrawCraft(HDC dc, int eraseTrail) {
    const ScreenPoint now = WorldToScreen(flight.posX, flight.altitude);
    if (eraseTrail) {
        SelectObject(dc, GetStockObject(BLACK_BRUSH));
        SelectObject(dc, GetStockObject(BLACK_PEN));
        // Before anything else is drawn, so the inversion meets exactly what the last frame left.
        if (settings.drawFlame) {
            RemoveFlames(dc);
        }
        EraseUncovered(dc, now);
    }
    BitBlt(dc, now.x, now.y, craftWidth, craftHeight, graphics.craftDC, 0, 0, SRCCOPY);
    craftDrawing.lastCraftX = now.x;
    craftDrawing.lastCraftY = now.y;
    DrawFlames(dc, now);
    // The blink follows the calls, repaints included: a held thruster's flame shows every other.
    craftDrawing.flameBlink =
        static_cast<int16_t>(craftDrawing.flameBlink == 0 ? 1 : craftDrawing.flameBlink - 1);
    // The same probes as the touchdown judge, at the position just drawn.
    return CraftTouchesGround(now);
}
