// DrawBitmapAt leaves the picture to its caller and no object behind. What it draws, and what
// the host draws of the crash pictures: resources_test.cpp.
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

class BitmapDrawingTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetGameAndDrawing();
        canvas.Clear(BACKGROUND);
    }
    void TearDown() override { FreeGraphicsSet(); }
    PixelCanvas canvas{160, 140};
};

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
    const std::vector<DWORD> source = BitmapPixels(picture, 32, 30);
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
