#include "render/bitmap.h"

void DrawBitmapAt(HDC dc, int16_t x, int16_t y, HBITMAP bitmap) {
    HDC pictureDC = CreateCompatibleDC(dc);
    HGDIOBJ oldBitmap = SelectObject(pictureDC, bitmap);
    BITMAP size = {}; // stays empty, and copies nothing, if the handle is not a bitmap
    GetObject(bitmap, sizeof size, &size);
    BitBlt(dc, x, y, size.bmWidth, size.bmHeight, pictureDC, 0, 0, SRCCOPY);
    // Deselected before the context goes, so the caller can select the bitmap elsewhere.
    SelectObject(pictureDC, oldBitmap);
    DeleteDC(pictureDC);
}
