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

// The game stood still (its timer stopped while the player could not play) and goes on now: a
// calibration under way starts over, so that it never measures the time nobody played.
void GameResume();

#endif
