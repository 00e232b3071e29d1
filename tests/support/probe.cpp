// Run by the end-to-end tests beside the game in its Wine desktop (TAVUNE_PROBE_DESKTOP names a
// launcher's virtual desktop, which a program started apart never joins): window, box, press ID,
// panel LINE TEXT, alive, show SW_NUMBER, enabled, menu, away. Exit status 0 for found or yes.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "win32_test_util.h"

static void PrintText(const char* name, HWND window) {
    char text[512] = {};
    if (window != nullptr) {
        SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                            SMTO_ABORTIFHUNG, 2000, nullptr);
    }
    std::printf("%s=%s\n", name, text);
}

// Reads the panel's line back from the screen, in the window's font, on the sky's black.
static int ReadPanelLine(HWND game, int line, const char* text) {
    RECT client;
    GetClientRect(game, &client);
    HDC screen = GetDC(game);
    TEXTMETRICA metrics;
    GetTextMetricsA(screen, &metrics);
    const int y = 25 + line * (metrics.tmHeight + metrics.tmExternalLeading);
    const std::string read = ReadText(screen, client.right - 75, y, client.right, client.bottom,
                                      "0123456789.- ", RGB(0, 0, 0), std::strlen(text));
    ReleaseDC(game, screen);
    std::printf("read \"%s\"\n", read.c_str());
    return read == text ? 0 : 1;
}

// Once the game's window is shut to input, takes the activation for a second.
static int TakeActivation() {
    if (!PumpUntil(
            [] {
                const HWND game = FindWindowA("Tavune", "Tavune");
                return game != nullptr && !IsWindowEnabled(game);
            },
            30000)) {
        return 1;
    }
    HWND other = CreateWindowExA(0, "STATIC", "away", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr,
                                 nullptr, nullptr, nullptr);
    SetForegroundWindow(other);
    PumpFor(1000);
    DestroyWindow(other);
    return 0;
}

static int Answer(bool yes, const char* answer, const char* otherwise) {
    std::printf("%s\n", yes ? answer : otherwise);
    return yes ? 0 : 1;
}

int main(int argc, char** argv) {
    const char* desktop = std::getenv("TAVUNE_PROBE_DESKTOP");
    if (desktop != nullptr && !SetThreadDesktop(OpenDesktopA(desktop, 0, FALSE, GENERIC_ALL))) {
        return 1;
    }
    const char* command = argc >= 2 ? argv[1] : "";
    if (std::strcmp(command, "away") == 0) {
        return TakeActivation();
    }
    if (std::strcmp(command, "menu") == 0) {
        // Open, shown or not: with a window manager, Wine may keep it off the X screen.
        HWND menu = nullptr;
        while ((menu = FindWindowExA(nullptr, menu, "#32768", nullptr)) != nullptr &&
               !IsWindowVisible(menu)) {
        }
        return Answer(menu != nullptr, "open", "closed");
    }
    HWND game = FindWindowA("Tavune", "Tavune");
    if (game == nullptr) {
        return 1;
    }
    HWND box = nullptr;
    while ((box = FindWindowExA(nullptr, box, "#32770", nullptr)) != nullptr &&
           (GetWindow(box, GW_OWNER) != game || !IsWindowVisible(box))) {
    }
    if (std::strcmp(command, "window") == 0) {
        RECT client;
        GetClientRect(game, &client);
        POINT origin = {0, 0};
        ClientToScreen(game, &origin);
        std::printf("client %ld %ld %ld %ld\n", origin.x, origin.y, client.right, client.bottom);
        return 0;
    }
    if (std::strcmp(command, "box") == 0 && box != nullptr) {
        PrintText("caption", box);
        PrintText("title", GetDlgItem(box, 151));
        PrintText("message", GetDlgItem(box, 152));
        return 0;
    }
    if (std::strcmp(command, "press") == 0 && argc >= 3 && box != nullptr) {
        PostMessageA(box, WM_COMMAND, MAKEWPARAM(std::atoi(argv[2]), BN_CLICKED), 0);
        return 0;
    }
    if (std::strcmp(command, "alive") == 0) {
        // WM_NULL needs the game's thread to take it from its queue: a stuck game never does.
        DWORD_PTR result = 0;
        return Answer(SendMessageTimeoutA(game, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &result),
                      "answered", "silent");
    }
    if (std::strcmp(command, "show") == 0 && argc >= 3) {
        ShowWindow(game, std::atoi(argv[2]));
        return 0;
    }
    if (std::strcmp(command, "enabled") == 0) {
        return Answer(IsWindowEnabled(game), "enabled", "disabled");
    }
    if (std::strcmp(command, "panel") == 0 && argc >= 4) {
        return ReadPanelLine(game, std::atoi(argv[2]), argv[3]);
    }
    return 1;
}
