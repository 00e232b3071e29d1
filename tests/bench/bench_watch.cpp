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
// Exit code: 0 when done, 1 after 30 s without it (or no window to close), 2 on a bad command.
#include <windows.h>

#include <cstdio>
#include <cstring>

static const DWORD GIVE_UP_MS = 30000;
static const DWORD POLL_MS = 2;

static HWND FindGame() {
    return FindWindowA("Tavune", "Tavune");
}

static bool BoxOpen() {
    HWND game = FindGame();
    if (game == nullptr) {
        return false;
    }
    HWND candidate = nullptr;
    while ((candidate = FindWindowExA(nullptr, candidate, "#32770", nullptr)) != nullptr) {
        if (GetWindow(candidate, GW_OWNER) == game && IsWindowVisible(candidate) != 0) {
            return true;
        }
    }
    return false;
}

// Seconds since 1970 by the system clock, which Wine and the script share.
static double UnixNow() {
    FILETIME now;
    GetSystemTimePreciseAsFileTime(&now);
    const ULONGLONG ticks = (static_cast<ULONGLONG>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    const ULONGLONG unixEpoch = 116444736000000000ULL; // 1970-01-01 in 100 ns steps from 1601
    return static_cast<double>(ticks - unixEpoch) / 1e7;
}

static bool TimedOut(DWORD start) {
    return GetTickCount() - start > GIVE_UP_MS;
}

static int WaitReady() {
    std::printf("watching\n");
    std::fflush(stdout);
    // The window starts enabled; the new game disables it until calibration is over.
    bool seenDisabled = false;
    const DWORD start = GetTickCount();
    while (!TimedOut(start)) {
        HWND game = FindGame();
        if (game != nullptr) {
            const bool enabled = IsWindowEnabled(game) != 0;
            if (!enabled) {
                seenDisabled = true;
            } else if (seenDisabled) {
                std::printf("ready %.3f\n", UnixNow());
                return 0;
            }
        }
        Sleep(POLL_MS);
    }
    return 1;
}

static int WaitBox(bool wantOpen) {
    const DWORD start = GetTickCount();
    while (!TimedOut(start)) {
        if (BoxOpen() == wantOpen) {
            return 0;
        }
        Sleep(POLL_MS * 10);
    }
    return 1;
}

int main(int argc, char** argv) {
    if (argc != 2) {
        return 2;
    }
    if (std::strcmp(argv[1], "ready") == 0) {
        return WaitReady();
    }
    if (std::strcmp(argv[1], "box") == 0) {
        return WaitBox(true);
    }
    if (std::strcmp(argv[1], "nobox") == 0) {
        return WaitBox(false);
    }
    if (std::strcmp(argv[1], "minimize") == 0 || std::strcmp(argv[1], "restore") == 0) {
        HWND game = FindGame();
        if (game == nullptr) {
            return 1;
        }
        ShowWindow(game, argv[1][0] == 'm' ? SW_MINIMIZE : SW_RESTORE);
        return 0;
    }
    if (std::strcmp(argv[1], "close") == 0) {
        HWND game = FindGame();
        return game != nullptr && PostMessageA(game, WM_CLOSE, 0, 0) != 0 ? 0 : 1;
    }
    return 2;
}
