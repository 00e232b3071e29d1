// The phase machine's window-side host: each of its operations is the Win32 call, or the
// drawing routine, that a game tick needs.
#ifndef TAVUNE_APP_WIN32_HOST_H
#define TAVUNE_APP_WIN32_HOST_H

#include "game/host.h"

extern const GameHost WIN32_HOST;

// The client height of a full-screen window with a caption, menu bar included: what a maximised
// window has. Windows' SM_CYFULLSCREEN is exactly that, but Wine computes it from a placeholder
// formula (screen height + 11); the work area less one caption gives the right value on both.
int FullScreenClientHeight();

// Whether the game last asked for the busy cursor: from the start of a new game's set-up to the
// end of its calibration.
bool BusyCursorShown();

#endif
