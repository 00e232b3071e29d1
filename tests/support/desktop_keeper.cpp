// desktop_keeper: keeps a Wine prefix's desktop and wineserver alive between test runs.
//
// scripts/wine-run starts it once per prefix, detached from the test's output pipes. It owns one
// hidden top-level window, so the virtual desktop (and with it the wineserver) stays up while the
// tests come and go; without it the desktop closes one second after its last GUI process and a
// test starting in that second gets no window.
//
// Usage: desktop_keeper.exe [--stamp FILE] [--ready FILE] [--idle-minutes N]
//   --stamp FILE       a file whose last-write time the wrapper refreshes on each run; the keeper
//                      exits once it is older than the idle time (or, while the file is missing,
//                      once the keeper itself has run that long).
//   --ready FILE       created once the hidden window exists, so the wrapper knows it can go on.
//   --idle-minutes N   idle time before exiting, 1..1440 (default 10).
// Exit codes: 0 after an idle exit, 2 on a bad command line, 3 if no window could be created.

#include <windows.h>
#include <shellapi.h>

#include <cwchar>
#include <cwctype>
#include <string>

namespace {

const wchar_t kClassName[] = L"TavuneDesktopKeeper";
const UINT_PTR kTimerId = 1;
const UINT kCheckIntervalMs = 5000;
const ULONGLONG kTicksPerMinute = 60ULL * 10000000ULL; // FILETIME counts 100 ns ticks

struct Options {
    std::wstring stamp;
    std::wstring ready;
    ULONGLONG idleMinutes = 10;
};

Options g_options;
ULONGLONG g_startTime = 0;

ULONGLONG toTicks(const FILETIME& ft) {
    return (static_cast<ULONGLONG>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

ULONGLONG now() {
    FILETIME ft;
    GetSystemTimeAsFileTime(&ft);
    return toTicks(ft);
}

// The moment of the last activity: the stamp's last-write time, or the keeper's start time when
// there is no stamp (or it is older than the start).
ULONGLONG lastActivity() {
    ULONGLONG last = g_startTime;
    if (!g_options.stamp.empty()) {
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (GetFileAttributesExW(g_options.stamp.c_str(), GetFileExInfoStandard, &data)) {
            ULONGLONG written = toTicks(data.ftLastWriteTime);
            if (written > last) {
                last = written;
            }
        }
    }
    return last;
}

bool idleTooLong() {
    ULONGLONG current = now();
    ULONGLONG last = lastActivity();
    return current > last && current - last >= g_options.idleMinutes * kTicksPerMinute;
}

bool parseMinutes(const wchar_t* text, ULONGLONG* out) {
    if (text == nullptr || *text == L'\0') {
        return false;
    }
    ULONGLONG value = 0;
    for (const wchar_t* p = text; *p != L'\0'; ++p) {
        if (!std::iswdigit(*p)) {
            return false;
        }
        value = value * 10 + static_cast<ULONGLONG>(*p - L'0');
        if (value > 1440) {
            return false;
        }
    }
    if (value == 0) {
        return false;
    }
    *out = value;
    return true;
}

bool parseCommandLine(Options* options) {
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argv == nullptr) {
        return false;
    }
    bool ok = true;
    for (int i = 1; i < argc && ok; ++i) {
        std::wstring arg = argv[i];
        const wchar_t* value = (i + 1 < argc) ? argv[i + 1] : nullptr;
        if (arg == L"--stamp" && value != nullptr) {
            options->stamp = value;
            ++i;
        } else if (arg == L"--ready" && value != nullptr) {
            options->ready = value;
            ++i;
        } else if (arg == L"--idle-minutes" && parseMinutes(value, &options->idleMinutes)) {
            ++i;
        } else {
            ok = false;
        }
    }
    LocalFree(argv);
    return ok;
}

void signalReady() {
    if (g_options.ready.empty()) {
        return;
    }
    HANDLE file = CreateFileW(g_options.ready.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        char text[32];
        int length = wsprintfA(text, "%lu\n", GetCurrentProcessId());
        DWORD written = 0;
        WriteFile(file, text, static_cast<DWORD>(length), &written, nullptr);
        CloseHandle(file);
    }
}

LRESULT CALLBACK keeperProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_TIMER:
            if (wParam == kTimerId && idleTooLong()) {
                KillTimer(hwnd, kTimerId);
                DestroyWindow(hwnd);
            }
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

// The desktop may be closing down just as the keeper starts (its last program exited less than a
// second ago): then CreateWindow fails for a moment, so try again for a while.
HWND createHiddenWindow(HINSTANCE instance) {
    for (int attempt = 0; attempt < 50; ++attempt) {
        HWND hwnd = CreateWindowExW(WS_EX_TOOLWINDOW, kClassName, L"Tavune desktop keeper",
                                    WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr, instance,
                                    nullptr);
        if (hwnd != nullptr) {
            return hwnd;
        }
        Sleep(200);
    }
    return nullptr;
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    g_startTime = now();
    if (!parseCommandLine(&g_options)) {
        return 2;
    }

    WNDCLASSW wc = {};
    wc.lpfnWndProc = keeperProc;
    wc.hInstance = instance;
    wc.lpszClassName = kClassName;
    if (!RegisterClassW(&wc)) {
        return 3;
    }
    HWND hwnd = createHiddenWindow(instance);
    if (hwnd == nullptr) {
        return 3;
    }
    if (!SetTimer(hwnd, kTimerId, kCheckIntervalMs, nullptr)) {
        DestroyWindow(hwnd);
        return 3;
    }
    signalReady();

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}
