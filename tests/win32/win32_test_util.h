// Small helpers for tests that use real windows and real GDI under Wine.
#ifndef TAVUNE_TESTS_WIN32_TEST_UTIL_H
#define TAVUNE_TESTS_WIN32_TEST_UTIL_H

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/instance.h"

// Handles every message waiting for this thread, then returns.
inline void PumpMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

// Dispatches messages as the game's loop does, timers' among them, until done() or the time is
// up; whether done() held.
template <typename Done> bool PumpUntil(Done done, DWORD milliseconds) {
    for (DWORD start = GetTickCount(), spent = 0; !done() && spent < milliseconds;
         spent = GetTickCount() - start) {
        const DWORD left = milliseconds - spent;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, left < 10 ? left : 10, QS_ALLINPUT);
        PumpMessages();
    }
    return done();
}

// Dispatches messages for that long.
inline void PumpFor(DWORD milliseconds) {
    PumpUntil([] { return false; }, milliseconds);
}

// Reads up to `longest` characters off a device context from (x, top), inside right and bottom:
// each candidate drawn alone, white on black, in its font; the first whose white pixels, and only
// the background around them, cover the cell there is read (and painted over, given a brush).
inline std::string ReadText(HDC dc, int x, int top, int right, int bottom, const char* candidates,
                            COLORREF background, size_t longest, HBRUSH paintOver = nullptr) {
    const COLORREF white = RGB(255, 255, 255);
    HDC glyph = CreateCompatibleDC(dc);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, 64, 64);
    SelectObject(glyph, bitmap);
    SelectObject(glyph, GetCurrentObject(dc, OBJ_FONT));
    SetTextColor(glyph, white);
    SetBkColor(glyph, RGB(0, 0, 0)); // a new context draws text opaque
    std::string text;
    while (text.size() < longest) {
        char found = 0;
        SIZE cell = {};
        for (const char* c = candidates; *c != '\0' && found == 0; ++c) {
            RECT place = {0, 0, 64, 64};
            FillRect(glyph, &place, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
            DrawTextA(glyph, c, 1, &place, DT_SINGLELINE | DT_NOPREFIX | DT_NOCLIP);
            GetTextExtentPoint32A(glyph, c, 1, &cell);
            bool same = x + cell.cx <= right && top + cell.cy <= bottom;
            for (int i = 0; i < cell.cx * cell.cy && same; ++i) {
                const int column = i % cell.cx, row = i / cell.cx;
                const COLORREF want = GetPixel(glyph, column, row) == white ? white : background;
                same = GetPixel(dc, x + column, top + row) == want;
            }
            found = same ? *c : 0;
        }
        if (found == 0) {
            break;
        }
        text += found;
        if (paintOver != nullptr) {
            const RECT read = {x, top, x + cell.cx, top + cell.cy};
            FillRect(dc, &read, paintOver);
        }
        x += cell.cx;
    }
    DeleteDC(glyph); // letting go of the bitmap and the font
    DeleteObject(bitmap);
    return text;
}

// The real mouse, through the platform's input: moved to (x, y) on the screen, with flags such as
// MOUSEEVENTF_LEFTDOWN.
inline void MouseInput(DWORD flags, int x, int y) {
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dx = (x * 65536 + 65535) / GetSystemMetrics(SM_CXSCREEN);
    input.mi.dy = (y * 65536 + 65535) / GetSystemMetrics(SM_CYSCREEN);
    input.mi.dwFlags = flags | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &input, sizeof input);
}

// A 32-bit top-down DIB: one 0x00RRGGBB word a pixel, top row first.
inline BITMAPINFO TopDownInfo(int width, int height) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

// A 32-bit top-down DIB section selected into a memory DC, cleared to black: a screen whose
// every pixel a test can read back.
struct PixelCanvas {
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ oldBitmap = nullptr;
    DWORD* pixels = nullptr;
    int width = 0;
    int height = 0;

    PixelCanvas(int w, int h) : width(w), height(h) {
        BITMAPINFO info = TopDownInfo(w, h);
        HDC screenDC = GetDC(nullptr);
        dc = CreateCompatibleDC(screenDC);
        ReleaseDC(nullptr, screenDC);
        void* bits = nullptr;
        bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        pixels = static_cast<DWORD*>(bits);
        oldBitmap = SelectObject(dc, bitmap);
        Clear();
    }
    ~PixelCanvas() {
        SelectObject(dc, oldBitmap);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    PixelCanvas(const PixelCanvas&) = delete;
    PixelCanvas& operator=(const PixelCanvas&) = delete;

    void Clear(DWORD colour = 0) {
        GdiFlush();
        for (int i = 0; i < width * height; ++i) {
            pixels[i] = colour;
        }
    }
    // 0x00RRGGBB of pixel (x, y).
    DWORD At(int x, int y) const {
        GdiFlush();
        return pixels[y * width + x] & 0x00FFFFFFu;
    }
    std::vector<DWORD> Snapshot() const {
        GdiFlush();
        std::vector<DWORD> copy(pixels, pixels + width * height);
        for (DWORD& pixel : copy) {
            pixel &= 0x00FFFFFFu;
        }
        return copy;
    }
};

// The pixels of a bitmap as 0x00RRGGBB, top row first, read back by GetDIBits.
inline std::vector<DWORD> BitmapPixels(HBITMAP bitmap, int width, int height) {
    BITMAPINFO info = TopDownInfo(width, height);
    std::vector<DWORD> pixels(static_cast<size_t>(width) * height);
    HDC screenDC = GetDC(nullptr);
    GetDIBits(screenDC, bitmap, 0, height, pixels.data(), &info, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screenDC);
    for (DWORD& pixel : pixels) {
        pixel &= 0x00FFFFFFu;
    }
    return pixels;
}

// The pixels of a picture from the program's resources, read by the test itself rather than
// taken from what the game's drawing routine drew.
inline std::vector<DWORD> ResourcePixels(int id, int width, int height) {
    HBITMAP picture = LoadBitmapA(appInstance, MAKEINTRESOURCEA(id));
    const std::vector<DWORD> pixels = BitmapPixels(picture, width, height);
    DeleteObject(picture);
    return pixels;
}

// The pixels of a rectangle of a window's client area as the screen holds them.
inline std::vector<DWORD> WindowPixels(HWND window, int x, int y, int width, int height) {
    PixelCanvas canvas(width, height);
    HDC windowDC = GetDC(window);
    BitBlt(canvas.dc, 0, 0, width, height, windowDC, x, y, SRCCOPY);
    ReleaseDC(window, windowDC);
    return canvas.Snapshot();
}

// How many pixels of the window a fresh repaint changes: 0 when the screen shows what the window
// holds now.
inline int PixelsARepaintChanges(HWND window) {
    RECT client = {};
    GetClientRect(window, &client);
    const std::vector<DWORD> shown = WindowPixels(window, 0, 0, client.right, client.bottom);
    InvalidateRect(window, nullptr, TRUE);
    UpdateWindow(window);
    const std::vector<DWORD> repainted = WindowPixels(window, 0, 0, client.right, client.bottom);
    int changed = 0;
    for (size_t i = 0; i < shown.size(); ++i) {
        changed += shown[i] != repainted[i];
    }
    return changed;
}

// Where two canvases of the same size differ: empty when every pixel matches, otherwise the
// number of differing pixels and the first of them, for a failure message.
inline std::string CanvasDifference(const PixelCanvas& actual, const PixelCanvas& expected) {
    const std::vector<DWORD> got = actual.Snapshot();
    const std::vector<DWORD> want = expected.Snapshot();
    size_t differing = 0;
    char first[64] = "";
    for (size_t i = 0; i < got.size(); ++i) {
        if (got[i] != want[i] && differing++ == 0) {
            std::snprintf(first, sizeof first, "first at (%d, %d)",
                          static_cast<int>(i) % actual.width, static_cast<int>(i) / actual.width);
        }
    }
    return differing == 0 ? "" : std::to_string(differing) + " pixels differ; " + first;
}

// What a count of GDI objects leaves out: nothing; what Wine's cache of window DCs keeps of the
// windows it last drew, gone or not (their regions and, from Wine 10 on, their drawing surfaces:
// DIB sections, which the game never makes); or that and the cached DCs themselves.
enum GdiCount { ALL_GDI_OBJECTS, BUT_WINDOW_SURFACES, BUT_WINDOW_DCS };

// The number of GDI objects this process holds. GetGuiResources answers 0 under Wine, so the
// handle table is scanned instead: every handle value that names a live object counts.
inline int CountGdiObjects(GdiCount leftOut = ALL_GDI_OBJECTS) {
    const DWORD reported = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    if (reported != 0) {
        return static_cast<int>(reported);
    }
    int count = 0;
    for (UINT_PTR handle = 1; handle <= 0xFFFF; ++handle) {
        const HGDIOBJ object = reinterpret_cast<HGDIOBJ>(handle);
        const DWORD type = GetObjectType(object);
        DIBSECTION dib;
        const bool surface =
            leftOut != ALL_GDI_OBJECTS &&
            (type == OBJ_REGION ||
             (type == OBJ_BITMAP && GetObjectA(object, sizeof dib, &dib) == sizeof dib));
        if (type != 0 && !surface && !(leftOut == BUT_WINDOW_DCS && type == OBJ_DC)) {
            ++count;
        }
    }
    return count;
}

#endif
