// The About box: everything it shows (icon, version line, notice) comes from its template.
#include "ui/dialogs.h"

INT_PTR CALLBACK AboutDlgProc(HWND dialog, UINT message, WPARAM, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            return TRUE;
        case WM_COMMAND: // OK, Enter, Escape and the close box alike
            EndDialog(dialog, 1);
            return TRUE;
        default:
            return FALSE;
    }
}

int ShowAboutDialog(HWND owner) {
    const HINSTANCE instance =
        reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(owner, GWLP_HINSTANCE));
    return static_cast<int>(DialogBoxParamA(instance, "TAVUNE_ABOUT", owner, AboutDlgProc, 0));
}
