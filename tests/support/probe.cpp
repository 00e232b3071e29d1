// Run by the end-to-end tests beside the game in its Wine desktop (TAVUNE_PROBE_DESKTOP names a
// launcher's virtual desktop, which a program started apart never joins): window, box, press ID,
// panel LINE TEXT, alive, show SW_NUMBER, enabled, menu, away. Exit status 0 for found or yes.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

static void PrintText(const char* name, HWND window) {
    char text[512] = {};
    if (window != nullptr) {
        SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                            SMTO_ABORTIFHUNG, 2000, nullptr);
    }
    std::printf("%s=%s\n", name, text);
}

// Reads the panel's line back from the screen: each character the first candidate whose picture,
// alone white on black in the window's font, matches the screen's cell at the reading point.
static int ReadPanelLine(HWND game, int line, const char* text) {
    RECT client;
    GetClientRect(game, &client);
    HDC screen = GetDC(game);
    TEXTMETRICA metrics;
    GetTextMetricsA(screen, &metrics);
    const int y = 25 + line * (metrics.tmHeight + metrics.tmExternalLeading);
    HDC glyph = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 64, 64);
    SelectObject(glyph, bitmap);
    SelectObject(glyph, GetCurrentObject(screen, OBJ_FONT));
    SetTextColor(glyph, RGB(255, 255, 255));
    SetBkColor(glyph, RGB(0, 0, 0));
    char read[16] = {};
    for (int n = 0, x = client.right - 75; n < 15 && text[n] != '\0' && (n == 0 || read[n - 1]);
         ++n) {
        for (const char* c = "0123456789.- "; *c != '\0' && read[n] == '\0'; ++c) {
            RECT place = {0, 0, 64, 64};
            DrawTextA(glyph, c, 1, &place, DT_SINGLELINE | DT_NOPREFIX | DT_NOCLIP);
            SIZE cell;
            GetTextExtentPoint32A(glyph, c, 1, &cell);
            bool same = x + cell.cx <= client.right;
            for (int i = 0; i < cell.cx * cell.cy && same; ++i) {
                const int column = i % cell.cx, row = i / cell.cx;
                same = GetPixel(glyph, column, row) == GetPixel(screen, x + column, y + row);
            }
            if (same) {
                read[n] = *c;
                x += cell.cx;
            }
        }
    }
    std::printf("read \"%s\"\n", read);
    DeleteDC(glyph); // the bitmap and the font are let go with it
    DeleteObject(bitmap);
    ReleaseDC(game, screen);
    return std::strcmp(read, text) == 0 ? 0 : 1;
}

// Once the game's window is shut to input, takes the activation for a second.
static int TakeActivation() {
    const DWORD start = GetTickCount();
    HWND game;
    while ((game = FindWindowA("Tavune", "Tavune")) == nullptr || IsWindowEnabled(game)) {
        if (GetTickCount() - start > 30000) {
            return 1;
        }
        Sleep(5);
    }
    HWND other = CreateWindowExA(0, "STATIC", "away", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr,
                                 nullptr, nullptr, nullptr);
    SetForegroundWindow(other);
    MSG message;
    for (DWORD away = GetTickCount(); GetTickCount() - away < 1000;) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageA(&message);
        }
    }
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
