// The clock-driven heart of the game. The main window calls GameTick once for each message of
// its 50 ms timer; each call does one tick's work of the current phase and usually stores the
// next phase. Only the main window and the thrust buttons change the phase otherwise.
#ifndef TAVUNE_GAME_TICK_H
#define TAVUNE_GAME_TICK_H

#include "game/host.h"

constexpr int CALIBRATION_TICKS = 10;
constexpr double SIMULATED_SECONDS_PER_REAL_SECOND = 7.5;
constexpr int DEBRIS_TICKS = 32;
// Beyond these the craft is lost.
constexpr float MAX_ALTITUDE = 5000.0f;
constexpr float MIN_ALTITUDE = -500.0f;
constexpr float MAX_DISTANCE = 1000.0f;

void GameTick(GameWindow window);

// The game stands still while the player cannot play (its timer stopped). The window is shut to
// input only while it calibrates, and a window shut to input could never be brought back: it
// takes input while the game stands still.
void GameStandStill(GameWindow window);

// The game goes on: a calibration under way starts over, shut to input again, so that it never
// measures the time nobody played.
void GameResume(GameWindow window);

// What a repaint draws where the craft is: the craft as it stands, or after a crash the picture
// last drawn in its place.
void RedrawCraft(DrawSurface surface);

#endif
