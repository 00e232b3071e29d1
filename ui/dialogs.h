// The three modal boxes. Each runs on its own template with DialogBoxParam, owned by the main
// window, and returns DialogBoxParam's result: 1 after any close, -1 if the box cannot open.
#ifndef TAVUNE_UI_DIALOGS_H
#define TAVUNE_UI_DIALOGS_H

#include <windows.h>

// Gravity, fuel, main thrust, flame drawing and reverse side thrust. OK stores, Cancel does not.
int ShowOptionsDialog(HWND owner);
INT_PTR CALLBACK OptionsDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Announces flight.outcome with a picture, a title and a message.
int ShowEndGameDialog(HWND owner);
INT_PTR CALLBACK EndGameDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

int ShowAboutDialog(HWND owner);
INT_PTR CALLBACK AboutDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

#endif
