// A small Win32 console program that end-to-end tests run beside the game, in the same Wine
// prefix and desktop, to see what a person would see without reading pixels: where the game's
// window is, and what its boxes say.
//
//   probe window             prints "client X Y W H" of the game's main window (screen pixels)
//   probe box                prints "title=..", "caption=..", "message=.." of the open box
//   probe press ID           presses the control ID of the open box (1 is OK)
// Exit status 0 when the window or box was found, 1 when not.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

static HWND FindGameWindow() { return FindWindowA("Tavune", "Tavune"); }

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

int main(int argc, char** argv) {
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
    std::fprintf(stderr, "usage: probe window | box | press ID\n");
    return 2;
}
