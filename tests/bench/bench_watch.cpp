// bench_watch: scripts/bench's eyes inside the Wine desktop, on the game's window from a process
// of its own. "ready" prints "watching", waits until the window, disabled for the new game and its
// calibration, is enabled again, and prints "ready SECONDS" (Unix time); "box" and "nobox" wait
// until a box of the game is open or none is; "close", "minimize" and "restore" act on the window.
// Exit code: 0 when done, 1 after 30 s without it (or no window to act on), 2 on a bad command.
#include <windows.h>

#include <cstdio>
#include <string>

// Whether the command's wait is over (the window starts enabled); a box is a dialog it owns.
static bool Seen(const std::string& command) {
    static bool seenDisabled = false;
    HWND game = FindWindowA("Tavune", "Tavune");
    if (command == "ready") {
        seenDisabled = seenDisabled || (game != nullptr && IsWindowEnabled(game) == 0);
        return seenDisabled && game != nullptr && IsWindowEnabled(game) != 0;
    }
    HWND box = nullptr;
    while (game != nullptr && (box = FindWindowExA(nullptr, box, "#32770", nullptr)) != nullptr) {
        if (GetWindow(box, GW_OWNER) == game && IsWindowVisible(box) != 0) {
            return command == "box";
        }
    }
    return command == "nobox";
}

int main(int argc, char** argv) {
    const std::string command = argc == 2 ? argv[1] : "";
    HWND game = FindWindowA("Tavune", "Tavune");
    if (command == "ready" || command == "box" || command == "nobox") {
        std::printf("%s", command == "ready" ? "watching\n" : "");
        std::fflush(stdout);
        for (const DWORD start = GetTickCount(); !Seen(command);
             Sleep(command == "ready" ? 2 : 20)) {
            if (GetTickCount() - start > 30000) {
                return 1;
            }
        }
        if (command == "ready") {
            FILETIME now; // 100 ns steps from 1601, by the system clock Wine and the script share
            GetSystemTimePreciseAsFileTime(&now);
            const ULONGLONG ticks = (ULONGLONG{now.dwHighDateTime} << 32) | now.dwLowDateTime;
            std::printf("ready %.3f\n", static_cast<double>(ticks - 116444736000000000ULL) / 1e7);
        }
        return 0;
    }
    if (command != "minimize" && command != "restore" && command != "close") {
        return 2;
    }
    if (game == nullptr || command == "close") {
        return game != nullptr && PostMessageA(game, WM_CLOSE, 0, 0) != 0 ? 0 : 1;
    }
    ShowWindow(game, command == "minimize" ? SW_MINIMIZE : SW_RESTORE);
    return 0;
}
