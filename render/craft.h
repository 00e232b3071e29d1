// Drawing the craft straight into the main window during a flight, with no off-screen buffer:
// black rectangles cover the strip the old picture leaves, the picture is copied to its new
// place, and flames are combined by exclusive-or so that drawing one again removes it.
#ifndef TAVUNE_RENDER_CRAFT_H
#define TAVUNE_RENDER_CRAFT_H

#include <windows.h>

#include <cstdint>

#include "game/host.h"

// The game's pictures, loaded by the main window when it is created and released when it is
// destroyed. craftWidth and craftHeight (game/contact.h) are measured from craftBitmap.
struct GraphicsSet {
    HBITMAP craftBitmap;
    HBITMAP leftFlameBitmap;
    HBITMAP rightFlameBitmap;
    HBITMAP mainFlameBitmap;
    HBITMAP explosionBitmaps[EXPLOSION_PICTURES];
    HBITMAP debrisBitmaps[DEBRIS_PICTURES];
    HDC craftDC;
    HDC leftFlameDC;
    HDC rightFlameDC;
    HDC mainFlameDC;
};

extern GraphicsSet graphics;

// What the last DrawCraft left on the screen. Process-wide; never reset between games.
struct CraftDrawing {
    int16_t lastCraftX;
    int16_t lastCraftY;
    int32_t rightFlameShown;
    int32_t leftFlameShown;
    int32_t mainFlameShown;
    int16_t flameBlink; // flames are drawn only by a call that finds it 0
};

extern CraftDrawing craftDrawing;
extern const CraftDrawing CRAFT_DRAWING_AT_START;

// Draws the craft where the flight state puts it; with eraseTrail non-zero it first removes the
// previous frame's flames and uncovered strip. Returns 1 on ground contact, else 0. When erasing,
// it leaves the stock black brush and pen selected in dc.
int DrawCraft(HDC dc, int eraseTrail);

// The box of the craft and all its flames, where it was last drawn and where it is now, while a
// flame is on the screen or a repaint may draw one: a repaint that covers it leaves the flames
// and the shown flags in agreement. Returns 0, and leaves box alone, when no flame can be at stake.
int CraftRepaintBox(RECT* box);

#endif
