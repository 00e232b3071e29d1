// desktop_keeper: holds a tests' Wine desktop open from its set-up to its end (scripts/desktop).
//
// Wine closes a virtual desktop a second after its last window, and a test that starts in that
// second gets no window. This program's hidden window keeps the desktop, and the wineserver, up.
// Usage: desktop_keeper.exe READY-FILE (created once the window exists).

#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR readyFile, int) {
    HWND window = nullptr;
    // The desktop of the run before may still be closing: CreateWindow fails for a moment.
    for (int attempt = 0; attempt < 50 && window == nullptr; ++attempt) {
        window = CreateWindowExA(WS_EX_TOOLWINDOW, "STATIC", "Tavune desktop keeper", WS_POPUP, 0,
                                 0, 1, 1, nullptr, nullptr, instance, nullptr);
        if (window == nullptr) {
            Sleep(200);
        }
    }
    HANDLE ready = window == nullptr ? INVALID_HANDLE_VALUE
                                     : CreateFileA(readyFile, GENERIC_WRITE, 0, nullptr,
                                                   CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (ready == INVALID_HANDLE_VALUE) {
        return 3;
    }
    CloseHandle(ready);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        DispatchMessageA(&message);
    }
    return 0;
}
