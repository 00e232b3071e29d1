// The game as a window-side test runs it in its own process: the state of a fresh start, and the
// main window made and shown as WinMain makes it, with its timer stopped so that the test ticks.
#ifndef TAVUNE_TESTS_WIN32_GAME_WINDOW_H
#define TAVUNE_TESTS_WIN32_GAME_WINDOW_H

#include <windows.h>

#include "app/main_window.h"

// ResetWholeGame, and what the window side draws from: the craft's last drawing and the
// instruments' refresh count.
void ResetGameAndDrawing();

// Creates the main window (its classes registered once), stops its timer and shows it
// maximised and painted. Nothing is dispatched: the caller pumps when it wants to.
HWND OpenGameWindow();

// Destroys the main window if it is still there and drops what it left in the queue (its
// WM_QUIT among them), so that the next window starts clean.
void CloseGameWindow();

void TickGame(int ticks = 1);

// A message to the main window, as the platform sends it.
inline void Send(UINT message, WPARAM wParam, LPARAM lParam = 0) {
    SendMessageA(mainWindow, message, wParam, lParam);
}

// Ticks a new game through the first game's calibration until the craft waits for the player.
// Returns false if it never does.
bool TickToReady();

#endif
