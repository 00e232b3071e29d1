// Reads text back from what a device context shows, as a player reads it off the screen.
#ifndef TAVUNE_TESTS_WIN32_READ_TEXT_H
#define TAVUNE_TESTS_WIN32_READ_TEXT_H

#include <windows.h>

#include <string>

// Character by character from (x, top), at most `longest`, inside `right` and `bottom`: each
// candidate's picture is drawn alone, white on black, in the context's font, and the first whose
// white pixels, and nothing but the background around them, cover the cell at the reading point
// is the one read. With a brush, what is read is painted over, so that a caller can tell that
// nothing else was drawn.
inline std::string ReadText(HDC dc, int x, int top, int right, int bottom, const char* candidates,
                            COLORREF background, size_t longest, HBRUSH paintOver = nullptr) {
    const COLORREF white = RGB(255, 255, 255);
    HDC glyph = CreateCompatibleDC(dc);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, 64, 64);
    const HGDIOBJ oldBitmap = SelectObject(glyph, bitmap);
    const HGDIOBJ oldFont = SelectObject(glyph, GetCurrentObject(dc, OBJ_FONT));
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
        if (paintOver != nullptr) {
            FillRect(dc, &read, paintOver);
        }
        x += cell.cx;
    }
    SelectObject(glyph, oldFont);
    SelectObject(glyph, oldBitmap);
    DeleteObject(bitmap);
    DeleteDC(glyph);
    return text;
}

#endif
