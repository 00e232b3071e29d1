#include "game_window.h"

#include "app/instance.h"
#include "app/main_window.h"
#include "game/host.h"
#include "game/state.h"
#include "game/tick.h"
#include "game_fixture.h"
#include "render/craft.h"
#include "render/instruments.h"
#include "ui/thrust.h"
#include "win32_test_util.h"

void ResetGameAndDrawing() {
    ResetWholeGame();
    craftDrawing = CRAFT_DRAWING_AT_START;
    instrumentRefreshCount = 0;
}

HWND OpenGameWindow() {
    // A second registration fails and changes nothing, so every opening may try.
    RegisterMainClass(appInstance);
    RegisterThrustClass(appInstance);
    if (CreateMainWindow(appInstance) == nullptr) {
        return nullptr;
    }
    KillTimer(mainWindow, GAME_TIMER_ID);
    ShowWindow(mainWindow, SW_SHOWMAXIMIZED);
    UpdateWindow(mainWindow);
    return mainWindow;
}

void CloseGameWindow() {
    if (IsWindow(mainWindow)) {
        DestroyWindow(mainWindow);
    }
    // Dispatched, not only removed: a WM_PAINT stays in the queue until its window is painted.
    PumpMessages();
    SetGameHost(nullptr);
}

void TickGame(int ticks) {
    for (int i = 0; i < ticks; ++i) {
        GameTick(reinterpret_cast<GameWindow>(mainWindow));
    }
}

bool TickToReady() {
    TickGame();
    while (flight.phase == PHASE_CALIBRATE) {
        Sleep(1);
        TickGame();
    }
    return flight.phase == PHASE_READY;
}
