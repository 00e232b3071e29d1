// Process entry: registers the two window classes, opens the maximised main window and runs the
// message loop until the window is destroyed. The game advances only on its timer, so the loop
// waits for messages rather than polling.
#include <windows.h>

#include "app/instance.h"
#include "app/main_window.h"
#include "resource.h"
#include "ui/thrust.h"

static int RunMessageLoop(HACCEL accelerators) {
    MSG message;
    for (;;) {
        const BOOL got = GetMessageA(&message, nullptr, 0, 0);
        if (got == 0) {
            return static_cast<int>(message.wParam);
        }
        if (got == -1) {
            return 0;
        }
        if (TranslateGameKeys(accelerators, &message)) {
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR, int) {
    appInstance = instance;
    if (previousInstance == nullptr) {
        if (RegisterMainClass(appInstance) == 0 || RegisterThrustClass(appInstance) == 0) {
            return 0;
        }
    }
    if (CreateMainWindow(appInstance) == nullptr) {
        return 0;
    }
    ShowWindow(mainWindow, SW_SHOWMAXIMIZED);
    UpdateWindow(mainWindow);
    HACCEL accelerators = LoadAcceleratorsA(appInstance, MAKEINTRESOURCEA(IDR_ACCELERATORS));
    return RunMessageLoop(accelerators);
}
