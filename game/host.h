// The one seam between the phase machine and the platform: every drawing, dialog, cursor, focus
// and clock operation that a game tick needs. The main window installs an implementation made
// of Win32 calls; tests install a recorder, so the whole game runs without a window.
#ifndef TAVUNE_GAME_HOST_H
#define TAVUNE_GAME_HOST_H

#include <cstdint>

// Opaque handles: the main window and a drawing context of its client area.
struct GameWindowTag;
using GameWindow = GameWindowTag*;
struct DrawSurfaceTag;
using DrawSurface = DrawSurfaceTag*;

// Pictures of the crash, as the main window loaded them.
enum GamePicture {
    PICTURE_EXPLOSION_1 = 0, // the craft squashed; 1 and 2 follow in order
    PICTURE_DEBRIS_1 = 3,    // first of ten debris frames, 32 x 64, drawn 34 rows above the craft
};
constexpr int EXPLOSION_PICTURES = 3;
constexpr int DEBRIS_PICTURES = 10;
constexpr int THRUST_BUTTON_COUNT = 3;

struct GameHost {
    DrawSurface (*getSurface)(GameWindow window);
    void (*releaseSurface)(GameWindow window, DrawSurface surface);
    // Draws the craft where the flight state puts it; non-zero on ground contact.
    int (*drawCraft)(DrawSurface surface, int eraseTrail);
    void (*drawInstruments)(DrawSurface surface, int force);
    void (*drawPicture)(DrawSurface surface, int16_t x, int16_t y, int picture);
    // Copies the craft picture to (x, y) as it is, without flames or erasing.
    void (*copyCraft)(DrawSurface surface, int16_t x, int16_t y);
    // Fills the rectangle [left, right) x [top, bottom) with black.
    void (*fillBlack)(DrawSurface surface, int left, int top, int right, int bottom);
    // A complete repaint of the main window before the call returns.
    void (*repaint)(GameWindow window);
    void (*enableInput)(GameWindow window, int enable);
    void (*showBusyCursor)(int busy);
    void (*focusWindow)(GameWindow window);
    // Shows thrust button id released, ends its mouse capture and clears its thruster.
    void (*releaseThrustButton)(int buttonId);
    // Runs the end-of-flight box modally; it reads flight.outcome.
    void (*showEndGameDialog)(GameWindow window);
    uint32_t (*tickCount)();
    // Height of the window's menu bar, above the play area.
    int (*menuBarHeight)();
};

// The host stays installed until replaced; the game reads it on every tick.
void SetGameHost(const GameHost* host);

#endif
