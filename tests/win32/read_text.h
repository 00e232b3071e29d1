// Reads text back from what a device context shows, as a player reads it off the screen.
#ifndef TAVUNE_TESTS_WIN32_READ_TEXT_H
#define TAVUNE_TESTS_WIN32_READ_TEXT_H

#include <windows.h>

#include <string>

// Up to `longest` characters from (x, top), inside `right` and `bottom`: each candidate is drawn
// alone, white on black, in the context's font; the first whose white pixels, and only the
// background around them, cover the cell there is read. A brush paints over what was read.
inline std::string ReadText(HDC dc, int x, int top, int right, int bottom, const char* candidates,
                            COLORREF background, size_t longest, HBRUSH paintOver = nullptr) {
    const COLORREF white = RGB(255, 255, 255);
    HDC glyph = CreateCompatibleDC(dc);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, 64, 64);
    SelectObject(glyph, bitmap);
    SelectObject(glyph, GetCurrentObject(dc, OBJ_FONT));
    SetTextColor(glyph, white);
    SetBkColor(glyph, RGB(0, 0, 0));
    SetBkMode(glyph, OPAQUE);
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
        const RECT read = {x, top, x + cell.cx, top + cell.cy};
        paintOver != nullptr&& FillRect(dc, &read, paintOver);
        x += cell.cx;
    }
    DeleteDC(glyph); // letting go of the bitmap and the font
    DeleteObject(bitmap);
    return text;
}

#endif
