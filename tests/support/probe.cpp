// A small Win32 console program that end-to-end tests run beside the game, in the same Wine
// prefix and desktop, to see what a person would see without reading pixels: where the game's
// window is, and what its boxes say.
//
//   probe window             prints "client X Y W H" of the game's main window (screen pixels)
//   probe box                prints "title=..", "caption=..", "message=.." of the open box
//   probe press ID           presses the control ID of the open box (1 is OK)
//   probe panel LINE TEXT    is TEXT what the instrument panel shows on LINE (0 to 3)?
//   probe alive              does the game's window answer a message within 2 seconds?
//   probe show HOW           minimises, restores, un-maximises or maximises the game's window,
//                            as the desktop would: HOW is minimize, restore, normal or maximize
//   probe enabled            does the game's window take input (not while it calibrates or a
//                            box is open)?
//   probe menu               is one of the game's menus open (shown or not: with a window
//                            manager, Wine may keep it off the X screen)?
//   probe away               once the game's window is shut to input (its first game sets up),
//                            takes the activation with a window of its own for a second
// Exit status 0 when the window or box was found, 1 when not. TAVUNE_PROBE_DESKTOP names the
// Wine desktop to look in: a launcher's virtual desktop, which a program started apart never joins.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

static HWND FindGameWindow() {
    return FindWindowA("Tavune", "Tavune");
}

// A box (dialog class) owned by the game's main window.
static HWND FindGameBox() {
    HWND game = FindGameWindow();
    if (game == nullptr) {
        return nullptr;
    }
    HWND candidate = nullptr;
    while ((candidate = FindWindowExA(nullptr, candidate, "#32770", nullptr)) != nullptr) {
        if (GetWindow(candidate, GW_OWNER) == game && IsWindowVisible(candidate)) {
            return candidate;
        }
    }
    return nullptr;
}

static void PrintText(const char* name, HWND window) {
    char text[512] = {};
    if (window != nullptr) {
        SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                            SMTO_ABORTIFHUNG, 2000, nullptr);
    }
    std::printf("%s=%s\n", name, text);
}

// Draws text as the instrument panel does (the window's own font, white on opaque black) and
// compares it with what the game's window shows on that line; prints the differing pixels.
static int ComparePanelLine(int line, const char* text) {
    HWND game = FindGameWindow();
    if (game == nullptr) {
        return 1;
    }
    RECT client;
    GetClientRect(game, &client);
    HDC windowDC = GetDC(game);
    TEXTMETRICA metrics;
    GetTextMetricsA(windowDC, &metrics);
    const int x = client.right - 75;
    const int y = 25 + line * (metrics.tmHeight + metrics.tmExternalLeading);
    const int length = static_cast<int>(std::strlen(text));
    SIZE size;
    GetTextExtentPoint32A(windowDC, text, length, &size);

    HDC expected = CreateCompatibleDC(windowDC);
    HBITMAP expectedBitmap = CreateCompatibleBitmap(windowDC, size.cx, size.cy);
    HGDIOBJ oldExpected = SelectObject(expected, expectedBitmap);
    HGDIOBJ oldFont = SelectObject(expected, GetCurrentObject(windowDC, OBJ_FONT));
    SetTextColor(expected, RGB(255, 255, 255));
    SetBkColor(expected, RGB(0, 0, 0));
    SetBkMode(expected, OPAQUE);
    TextOutA(expected, 0, 0, text, length);

    HDC actual = CreateCompatibleDC(windowDC);
    HBITMAP actualBitmap = CreateCompatibleBitmap(windowDC, size.cx, size.cy);
    HGDIOBJ oldActual = SelectObject(actual, actualBitmap);
    BitBlt(actual, 0, 0, size.cx, size.cy, windowDC, x, y, SRCCOPY);

    int differing = 0;
    for (int row = 0; row < size.cy; ++row) {
        for (int column = 0; column < size.cx; ++column) {
            differing += GetPixel(expected, column, row) != GetPixel(actual, column, row);
        }
    }
    std::printf("differing %d of %ld\n", differing, size.cx * size.cy);

    SelectObject(actual, oldActual);
    DeleteObject(actualBitmap);
    DeleteDC(actual);
    SelectObject(expected, oldFont);
    SelectObject(expected, oldExpected);
    DeleteObject(expectedBitmap);
    DeleteDC(expected);
    ReleaseDC(game, windowDC);
    return differing == 0 ? 0 : 1;
}

int main(int argc, char** argv) {
    const char* desktop = std::getenv("TAVUNE_PROBE_DESKTOP");
    if (desktop != nullptr && !SetThreadDesktop(OpenDesktopA(desktop, 0, FALSE, GENERIC_ALL))) {
        return 1;
    }
    if (argc >= 2 && std::strcmp(argv[1], "window") == 0) {
        HWND game = FindGameWindow();
        if (game == nullptr) {
            return 1;
        }
        RECT client;
        GetClientRect(game, &client);
        POINT origin = {0, 0};
        ClientToScreen(game, &origin);
        std::printf("client %ld %ld %ld %ld\n", origin.x, origin.y, client.right, client.bottom);
        return 0;
    }
    if (argc >= 2 && std::strcmp(argv[1], "box") == 0) {
        HWND box = FindGameBox();
        if (box == nullptr) {
            return 1;
        }
        PrintText("caption", box);
        PrintText("title", GetDlgItem(box, 151));
        PrintText("message", GetDlgItem(box, 152));
        return 0;
    }
    if (argc >= 3 && std::strcmp(argv[1], "press") == 0) {
        HWND box = FindGameBox();
        if (box == nullptr) {
            return 1;
        }
        PostMessageA(box, WM_COMMAND, MAKEWPARAM(std::atoi(argv[2]), BN_CLICKED), 0);
        return 0;
    }
    if (argc >= 2 && std::strcmp(argv[1], "alive") == 0) {
        // WM_NULL does nothing but needs the game's thread to take it from its queue: a game
        // stuck in a loop, or waiting on something that never comes, does not answer.
        HWND game = FindGameWindow();
        DWORD_PTR result = 0;
        if (game == nullptr ||
            SendMessageTimeoutA(game, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &result) == 0) {
            std::printf("silent\n");
            return 1;
        }
        std::printf("answered\n");
        return 0;
    }
    if (argc >= 3 && std::strcmp(argv[1], "show") == 0) {
        static const struct {
            const char* name;
            int command;
        } HOWS[] = {{"minimize", SW_MINIMIZE},
                    {"restore", SW_RESTORE},
                    {"normal", SW_SHOWNORMAL},
                    {"maximize", SW_SHOWMAXIMIZED}};
        HWND game = FindGameWindow();
        for (const auto& how : HOWS) {
            if (game != nullptr && std::strcmp(argv[2], how.name) == 0) {
                ShowWindow(game, how.command);
                return 0;
            }
        }
        return 1;
    }
    if (argc >= 2 && std::strcmp(argv[1], "enabled") == 0) {
        HWND game = FindGameWindow();
        const bool enabled = game != nullptr && IsWindowEnabled(game);
        std::printf(enabled ? "enabled\n" : "disabled\n");
        return enabled ? 0 : 1;
    }
    if (argc >= 2 && std::strcmp(argv[1], "menu") == 0) {
        // A menu drops down in a window of the system's popup menu class.
        HWND menu = nullptr;
        while ((menu = FindWindowExA(nullptr, menu, "#32768", nullptr)) != nullptr &&
               !IsWindowVisible(menu)) {
        }
        const bool open = menu != nullptr;
        std::printf(open ? "open\n" : "closed\n");
        return open ? 0 : 1;
    }
    if (argc >= 2 && std::strcmp(argv[1], "away") == 0) {
        const DWORD start = GetTickCount();
        HWND game;
        while ((game = FindGameWindow()) == nullptr || IsWindowEnabled(game)) {
            if (GetTickCount() - start > 30000) {
                return 1;
            }
            Sleep(5);
        }
        HWND other = CreateWindowExA(0, "STATIC", "away", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50,
                                     nullptr, nullptr, nullptr, nullptr);
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
    if (argc >= 4 && std::strcmp(argv[1], "panel") == 0) {
        return ComparePanelLine(std::atoi(argv[2]), argv[3]);
    }
    std::fprintf(stderr,
                 "usage: probe window | box | press ID | panel LINE TEXT | alive | show HOW "
                 "| enabled | menu | away\n");
    return 2;
}
