// bench_watch: scripts/bench's eyes inside the Wine desktop. It watches the game's main window
// from a process of its own, so the game is measured exactly as a player starts it.
//
//   bench_watch ready   prints "watching", then waits for the game to become ready for a flight
//                       (its window disabled for the new game and calibration, then enabled
//                       again) and prints "ready SECONDS", the Unix time of that moment.
//   bench_watch box     waits until a box of the game is open.
//   bench_watch nobox   waits until no box of the game is open.
//   bench_watch close   asks the game's window to close.
//   bench_watch minimize / restore   minimises the game's window, or restores it, as the
//                       desktop would.
// Exit code: 0 when done, 1 after 30 s without it (or no window to act on), 2 on a bad command.
#include <windows.h>

#include <cstdio>
#include <string>

static HWND FindGame() {
    return FindWindowA("Tavune", "Tavune");
}

static bool BoxOpen() {
    HWND game = FindGame();
    HWND box = nullptr;
    while (game != nullptr && (box = FindWindowExA(nullptr, box, "#32770", nullptr)) != nullptr) {
        if (GetWindow(box, GW_OWNER) == game && IsWindowVisible(box) != 0) {
            return true;
        }
    }
    return false;
}

// The window starts enabled; the new game disables it until calibration is over.
static bool Ready() {
    static bool seenDisabled = false;
    HWND game = FindGame();
    if (game != nullptr && IsWindowEnabled(game) == 0) {
        seenDisabled = true;
    }
    return seenDisabled && game != nullptr && IsWindowEnabled(game) != 0;
}

static int Wait(bool (*test)(), bool want, DWORD pollMs) {
    for (const DWORD start = GetTickCount(); GetTickCount() - start <= 30000; Sleep(pollMs)) {
        if (test() == want) {
            return 0;
        }
    }
    return 1;
}

int main(int argc, char** argv) {
    const std::string command = argc == 2 ? argv[1] : "";
    if (command == "ready") {
        std::printf("watching\n");
        std::fflush(stdout);
        if (Wait(Ready, true, 2) != 0) {
            return 1;
        }
        // Seconds since 1970 by the system clock, which Wine and the script share.
        FILETIME now;
        GetSystemTimePreciseAsFileTime(&now);
        const ULONGLONG ticks = (ULONGLONG{now.dwHighDateTime} << 32) | now.dwLowDateTime;
        const ULONGLONG unixEpoch = 116444736000000000ULL; // 1970-01-01 in 100 ns steps from 1601
        std::printf("ready %.3f\n", static_cast<double>(ticks - unixEpoch) / 1e7);
        return 0;
    }
    if (command == "box" || command == "nobox") {
        return Wait(BoxOpen, command == "box", 20);
    }
    HWND game = FindGame();
    if (command != "minimize" && command != "restore" && command != "close") {
        return 2;
    }
    if (game == nullptr) {
        return 1;
    }
    if (command == "close") {
        return PostMessageA(game, WM_CLOSE, 0, 0) != 0 ? 0 : 1;
    }
    ShowWindow(game, command == "minimize" ? SW_MINIMIZE : SW_RESTORE);
    return 0;
}
