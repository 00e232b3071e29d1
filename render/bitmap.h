// The one routine that copies a whole bitmap onto a device context. The crash animation, the
// thrust buttons and the end-of-flight box all draw through it.
#ifndef TAVUNE_RENDER_BITMAP_H
#define TAVUNE_RENDER_BITMAP_H

#include <windows.h>

#include <cstdint>

// Copies the whole bitmap with its top-left corner at (x, y). The bitmap stays the caller's.
void DrawBitmapAt(HDC dc, int16_t x, int16_t y, HBITMAP bitmap);

#endif
