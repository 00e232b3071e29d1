#include "render/bitmap.h"

void DrawBitmapAt(HDC dc, int16_t x, int16_t y, HBITMAP bitmap) {
    HDC pictureDC = CreateCompatibleDC(dc);
    HGDIOBJ oldBitmap = SelectObject(pictureDC, bitmap);
    BITMAP size = {}; // stays empty, and copies nothing, if the handle is not a bitmap
    GetObject(bitmap, sizeof size, &size);
    // A one-bit picture takes the target's text and background colours, and Wine 10 leaves a
    // box's paint context with the face colour as background after erasing: black on white.
    const COLORREF oldText = SetTextColor(dc, RGB(0, 0, 0));
    const COLORREF oldBackground = SetBkColor(dc, RGB(255, 255, 255));
    BitBlt(dc, x, y, size.bmWidth, size.bmHeight, pictureDC, 0, 0, SRCCOPY);
    SetBkColor(dc, oldBackground);
    SetTextColor(dc, oldText);
    // Deselected before the context goes, so the caller can select the bitmap elsewhere.
    SelectObject(pictureDC, oldBitmap);
    DeleteDC(pictureDC);
}
