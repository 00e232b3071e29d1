// The main window: its client area is the play area; it owns the game's pictures and the timer
// that drives every tick, stopped while the player cannot play; it paints the scene, turns the
// arrow keys into thrust-button presses and carries out the menu commands. Its WM_DESTROY
// releases everything its WM_CREATE made.
#ifndef TAVUNE_APP_MAIN_WINDOW_H
#define TAVUNE_APP_MAIN_WINDOW_H

#include <windows.h>

constexpr UINT_PTR GAME_TIMER_ID = 1;
constexpr UINT GAME_TIMER_PERIOD_MS = 50;
// A one-shot timer: a new size is laid out once no other has come for this long.
constexpr UINT_PTR LAYOUT_TIMER_ID = 2;
constexpr UINT LAYOUT_SETTLE_MS = 250;
constexpr char MAIN_CLASS_NAME[] = "Tavune";

extern HWND mainWindow;

// How the window asks to be told of session locks: WTSRegisterSessionNotification, which tests
// may replace by one that fails as it can while the session's services are not yet up.
extern BOOL(WINAPI* registerSessionNotification)(HWND window, DWORD flags);

// Registers the class "Tavune"; 1 on success, else 0.
int RegisterMainClass(HINSTANCE instance);

// Creates the main window maximised (not yet shown) and records it in mainWindow.
HWND CreateMainWindow(HINSTANCE instance);

// Around each of the game's own boxes: a change of the play area's size while one is open
// starts the new game only once the last box has closed.
void BoxOpening();
void BoxClosed();

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The message loop's key table: F2, F3 and F4 are the main window's, whichever window has the
// message, and each acts once, at its press; a held key's repeats are no new command. True when
// the message became a command.
bool TranslateGameKeys(HACCEL accelerators, MSG* message);

// Loads the game's pictures into graphics, the craft and flames each selected into a memory
// context compatible with window's, and measures the craft picture. Creation does this.
void LoadGraphicsSet(HWND window);

// Deletes every picture and context of graphics, and the terrain. Destruction does this.
void FreeGraphicsSet();

#endif
