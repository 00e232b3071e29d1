// DrawBitmapAt against the bitmap's own pixels, read back with GetDIBits; and each crash picture
// as the animation shows it, from the main window's set through its host, against its resource.
#include <gtest/gtest.h>

#include <windows.h>

#include <vector>

#include "app/instance.h"
#include "app/main_window.h"
#include "app/win32_host.h"
#include "game_fixture.h"
#include "game/host.h"
#include "game_window.h"
#include "render/bitmap.h"
#include "render/craft.h"
#include "resource.h"
#include "win32_test_util.h"

namespace {

constexpr DWORD BACKGROUND = 0x203040;

// The bitmap's pixels as 0x00RRGGBB, top row first.
std::vector<DWORD> PicturePixels(HBITMAP bitmap, int width, int height) {
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

class BitmapDrawingTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetGameAndDrawing();
        canvas.Clear(BACKGROUND);
    }
    void TearDown() override { FreeGraphicsSet(); }
    PixelCanvas canvas{160, 140};
};

TEST_F(BitmapDrawingTest, CopiesTheWholePictureAtThePoint) {
    struct Case {
        int id;
        int width;
        int height;
        int16_t x;
        int16_t y;
        int shownAs = -1; // a crash picture: drawn by the host from the main window's set
    };
    // clang-format off
    const Case cases[] = {
        {IDB_CRAFT, 32, 30, 10, 20},          {IDB_FLAME_MAIN, 24, 32, 0, 0},
        {IDB_DEBRIS_1, 32, 64, 128, 76},      {IDB_LANDED_SCENE, 96, 97, 30, 40},
        {IDB_BUTTON_LEFT_UP, 48, 48, -7, -5}, {IDB_FLAME_LEFT, 32, 8, 150, 135},
        // In the order the crash shows them.
        {IDB_EXPLOSION_1, 32, 30, 64, 40, PICTURE_EXPLOSION_1},
        {IDB_EXPLOSION_2, 32, 30, 64, 40, PICTURE_EXPLOSION_1 + 1},
        {IDB_EXPLOSION_3, 32, 30, 64, 40, PICTURE_EXPLOSION_1 + 2},
        {IDB_DEBRIS_1, 32, 64, 64, 6, PICTURE_DEBRIS_1},
        {IDB_DEBRIS_2, 32, 64, 64, 6, PICTURE_DEBRIS_1 + 1},
        {IDB_DEBRIS_3, 32, 64, 64, 6, PICTURE_DEBRIS_1 + 2},
        {IDB_DEBRIS_4, 32, 64, 64, 6, PICTURE_DEBRIS_1 + 3},
        {IDB_DEBRIS_5, 32, 64, 64, 6, PICTURE_DEBRIS_1 + 4},
        {IDB_DEBRIS_6, 32, 64, 64, 6, PICTURE_DEBRIS_1 + 5},
        {IDB_DEBRIS_7, 32, 64, 64, 6, PICTURE_DEBRIS_1 + 6},
        {IDB_DEBRIS_8, 32, 64, 64, 6, PICTURE_DEBRIS_1 + 7},
        {IDB_DEBRIS_9, 32, 64, 64, 6, PICTURE_DEBRIS_1 + 8},
        {IDB_DEBRIS_10, 32, 64, 64, 6, PICTURE_DEBRIS_1 + 9},
    };
    // clang-format on
    LoadGraphicsSet(nullptr);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        canvas.Clear(BACKGROUND);
        HBITMAP picture = LoadBitmapA(appInstance, MAKEINTRESOURCEA(c.id));
        ASSERT_NE(picture, nullptr);
        const std::vector<DWORD> source = PicturePixels(picture, c.width, c.height);

        if (c.shownAs < 0) {
            DrawBitmapAt(canvas.dc, c.x, c.y, picture);
        } else {
            WIN32_HOST.drawPicture(reinterpret_cast<DrawSurface>(canvas.dc), c.x, c.y, c.shownAs);
        }

        int wrong = 0;
        for (int y = 0; y < canvas.height; ++y) {
            for (int x = 0; x < canvas.width; ++x) {
                const int px = x - c.x;
                const int py = y - c.y;
                const bool inside = px >= 0 && px < c.width && py >= 0 && py < c.height;
                const DWORD want = inside ? source[py * c.width + px] : BACKGROUND;
                if (canvas.At(x, y) != want && wrong++ == 0) {
                    ADD_FAILURE() << "first wrong pixel (" << x << ", " << y << ")";
                }
            }
        }
        EXPECT_EQ(wrong, 0);
        DeleteObject(picture);
    }
}

TEST_F(BitmapDrawingTest, LeavesTheBitmapToTheCaller) {
    HBITMAP picture = LoadBitmapA(appInstance, MAKEINTRESOURCEA(IDB_CRAFT));
    ASSERT_NE(picture, nullptr);
    DrawBitmapAt(canvas.dc, 5, 5, picture);

    EXPECT_EQ(GetObjectType(picture), static_cast<DWORD>(OBJ_BITMAP));
    // Still selected in a leftover context, it could not be selected anywhere else.
    HDC other = CreateCompatibleDC(canvas.dc);
    HGDIOBJ old = SelectObject(other, picture);
    EXPECT_NE(old, nullptr);
    SelectObject(other, old);
    DeleteDC(other);

    canvas.Clear(BACKGROUND);
    DrawBitmapAt(canvas.dc, 40, 50, picture);
    const std::vector<DWORD> source = PicturePixels(picture, 32, 30);
    EXPECT_EQ(canvas.At(40, 50), source[0]);
    EXPECT_EQ(canvas.At(40 + 19, 50 + 13), source[13 * 32 + 19]);
    EXPECT_EQ(canvas.At(39, 50), BACKGROUND);
    DeleteObject(picture);
}

TEST_F(BitmapDrawingTest, LeavesNoGdiObjectBehind) {
    HBITMAP picture = LoadBitmapA(appInstance, MAKEINTRESOURCEA(IDB_FLAME_MAIN));
    ASSERT_NE(picture, nullptr);
    DrawBitmapAt(canvas.dc, 0, 0, picture); // warm-up
    const int before = CountGdiObjects();
    for (int i = 0; i < 200; ++i) {
        DrawBitmapAt(canvas.dc, static_cast<int16_t>(i % 100), 10, picture);
    }
    EXPECT_EQ(CountGdiObjects(), before);
    DeleteObject(picture);
}

} // namespace
