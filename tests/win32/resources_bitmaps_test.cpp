// The 25 pictures as the linked module carries them: each loads by its number with its size, its
// stored header and palette are what the drawing code assumes, and GDI shows exactly the pixels
// the stored bits say.
#include <gtest/gtest.h>

#include <windows.h>

#include <ostream>
#include <string>

#include "render/bitmap.h"
#include "resource.h"
#include "ui/thrust.h"
#include "win32_test_util.h"

namespace {

struct ExpectedPicture {
    int id;
    int width;
    int height;
    int bitsPerPixel;
};

const ExpectedPicture PICTURES[] = {
    {IDB_CRAFT, 32, 30, 4},
    {IDB_BUTTON_MAIN_UP, 48, 48, 4},
    {IDB_BUTTON_LEFT_UP, 48, 48, 4},
    {IDB_BUTTON_RIGHT_UP, 48, 48, 4},
    {IDB_BUTTON_MAIN_DOWN, 48, 48, 4},
    {IDB_BUTTON_LEFT_DOWN, 48, 48, 4},
    {IDB_BUTTON_RIGHT_DOWN, 48, 48, 4},
    {IDB_EXPLOSION_1, 32, 30, 4},
    {IDB_EXPLOSION_2, 32, 30, 4},
    {IDB_EXPLOSION_3, 32, 30, 4},
    {IDB_DEBRIS_1, 32, 64, 4},
    {IDB_DEBRIS_2, 32, 64, 4},
    {IDB_DEBRIS_3, 32, 64, 4},
    {IDB_DEBRIS_4, 32, 64, 4},
    {IDB_DEBRIS_5, 32, 64, 4},
    {IDB_DEBRIS_6, 32, 64, 4},
    {IDB_DEBRIS_7, 32, 64, 4},
    {IDB_DEBRIS_8, 32, 64, 4},
    {IDB_DEBRIS_9, 32, 64, 4},
    {IDB_DEBRIS_10, 32, 64, 4},
    {IDB_FLAME_LEFT, 32, 8, 4},
    {IDB_FLAME_RIGHT, 32, 8, 4},
    {IDB_FLAME_MAIN, 24, 32, 4},
    {IDB_LANDED_SCENE, 96, 97, 1},
    {IDB_CRASH_SCENE, 96, 97, 1},
};

// The standard 16-colour palette in its usual order, as 0x00RRGGBB.
const DWORD STANDARD_PALETTE[16] = {
    0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0x808080,
    0xC0C0C0, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF,
};
const DWORD MONOCHROME_PALETTE[2] = {0x000000, 0xFFFFFF};

DWORD PaletteColour(const RGBQUAD& entry) {
    return (static_cast<DWORD>(entry.rgbRed) << 16) | (static_cast<DWORD>(entry.rgbGreen) << 8) |
           entry.rgbBlue;
}

// The stored resource bytes of a picture: its header, palette and bits, as GDI will read them.
struct StoredPicture {
    const BITMAPINFOHEADER* header = nullptr;
    const RGBQUAD* palette = nullptr;
    const BYTE* bits = nullptr;
    DWORD size = 0;
};

StoredPicture FindStoredPicture(int id) {
    StoredPicture stored;
    HRSRC found = FindResourceA(appInstance, MAKEINTRESOURCEA(id), RT_BITMAP);
    if (found == nullptr) {
        return stored;
    }
    stored.size = SizeofResource(appInstance, found);
    const BYTE* bytes = static_cast<const BYTE*>(LockResource(LoadResource(appInstance, found)));
    if (bytes == nullptr || stored.size < sizeof(BITMAPINFOHEADER)) {
        return stored;
    }
    stored.header = reinterpret_cast<const BITMAPINFOHEADER*>(bytes);
    stored.palette = reinterpret_cast<const RGBQUAD*>(bytes + stored.header->biSize);
    return stored;
}

DWORD RowStride(const ExpectedPicture& picture) {
    return static_cast<DWORD>(((picture.width * picture.bitsPerPixel + 31) / 32) * 4);
}

// The palette index of pixel (x, y), y counted from the top, in bottom-up stored bits.
int StoredIndex(const StoredPicture& stored, const ExpectedPicture& picture, int x, int y) {
    const BYTE* row = stored.bits + (picture.height - 1 - y) * RowStride(picture);
    const int bit = x * picture.bitsPerPixel;
    const int shift = 8 - picture.bitsPerPixel - bit % 8;
    return (row[bit / 8] >> shift) & ((1 << picture.bitsPerPixel) - 1);
}

// A plain copy of the whole picture to the canvas's top-left corner. A monochrome picture takes
// the canvas's default colours: black for 0, white for 1.
void CopyPicture(PixelCanvas& canvas, HBITMAP bitmap) {
    HDC source = CreateCompatibleDC(canvas.dc);
    HGDIOBJ old = SelectObject(source, bitmap);
    BitBlt(canvas.dc, 0, 0, canvas.width, canvas.height, source, 0, 0, SRCCOPY);
    SelectObject(source, old);
    DeleteDC(source);
}

void PrintTo(const ExpectedPicture& picture, std::ostream* out) {
    *out << "bitmap " << picture.id;
}

class ResourcePicture : public ::testing::TestWithParam<ExpectedPicture> {};

TEST_P(ResourcePicture, LoadsByNumberWithItsSize) {
    const ExpectedPicture& picture = GetParam();
    HBITMAP bitmap = LoadBitmapA(appInstance, MAKEINTRESOURCEA(picture.id));
    ASSERT_NE(bitmap, nullptr);
    BITMAP info = {};
    EXPECT_EQ(GetObjectA(bitmap, sizeof info, &info), static_cast<int>(sizeof info));
    EXPECT_EQ(info.bmWidth, picture.width);
    EXPECT_EQ(info.bmHeight, picture.height);
    // A black-and-white palette makes GDI load a monochrome bitmap, which the end-of-flight box
    // relies on; the coloured pictures load in the screen's format.
    if (picture.bitsPerPixel == 1) {
        EXPECT_EQ(info.bmBitsPixel, 1);
    } else {
        EXPECT_GT(info.bmBitsPixel, 1);
    }
    DeleteObject(bitmap);
}

TEST_P(ResourcePicture, IsStoredUncompressedBottomUpWithItsPalette) {
    const ExpectedPicture& picture = GetParam();
    const StoredPicture stored = FindStoredPicture(picture.id);
    ASSERT_NE(stored.header, nullptr);
    const BITMAPINFOHEADER& header = *stored.header;
    EXPECT_EQ(header.biSize, sizeof(BITMAPINFOHEADER));
    EXPECT_EQ(header.biWidth, picture.width);
    EXPECT_EQ(header.biHeight, picture.height) << "a positive height: stored bottom-up";
    EXPECT_EQ(header.biPlanes, 1);
    EXPECT_EQ(header.biBitCount, picture.bitsPerPixel);
    EXPECT_EQ(header.biCompression, static_cast<DWORD>(BI_RGB));

    const int colours = 1 << picture.bitsPerPixel;
    EXPECT_TRUE(header.biClrUsed == 0 || header.biClrUsed == static_cast<DWORD>(colours))
        << header.biClrUsed;
    const DWORD bitsOffset = header.biSize + colours * sizeof(RGBQUAD);
    ASSERT_GE(stored.size, bitsOffset + RowStride(picture) * picture.height)
        << "the resource ends before its last row";

    const DWORD* expected = picture.bitsPerPixel == 1 ? MONOCHROME_PALETTE : STANDARD_PALETTE;
    for (int i = 0; i < colours; ++i) {
        EXPECT_EQ(PaletteColour(stored.palette[i]), expected[i]) << "palette entry " << i;
    }
}

// GDI's reading of the picture agrees, pixel for pixel, with the palette colour of each stored
// index: the rows are in the order the header promises and no colour is remapped.
TEST_P(ResourcePicture, DrawsThePixelsItStores) {
    const ExpectedPicture& picture = GetParam();
    StoredPicture stored = FindStoredPicture(picture.id);
    ASSERT_NE(stored.header, nullptr);
    stored.bits = reinterpret_cast<const BYTE*>(stored.header) + stored.header->biSize +
                  (1 << picture.bitsPerPixel) * sizeof(RGBQUAD);
    ASSERT_GE(stored.size, stored.header->biSize + (1 << picture.bitsPerPixel) * sizeof(RGBQUAD) +
                               RowStride(picture) * picture.height);

    HBITMAP bitmap = LoadBitmapA(appInstance, MAKEINTRESOURCEA(picture.id));
    ASSERT_NE(bitmap, nullptr);
    PixelCanvas canvas(picture.width, picture.height);
    canvas.Clear(0x123456);
    CopyPicture(canvas, bitmap);
    DeleteObject(bitmap);

    int wrong = 0;
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            const DWORD want = PaletteColour(stored.palette[StoredIndex(stored, picture, x, y)]);
            if (canvas.At(x, y) != want && wrong++ == 0) {
                ADD_FAILURE() << "bitmap " << picture.id << " pixel (" << x << ", " << y << "): 0x"
                              << std::hex << canvas.At(x, y) << ", stored 0x" << want;
            }
        }
    }
    EXPECT_EQ(wrong, 0);
}

INSTANTIATE_TEST_SUITE_P(Bitmaps, ResourcePicture, ::testing::ValuesIn(PICTURES),
                         [](const ::testing::TestParamInfo<ExpectedPicture>& info) {
                             return "Bitmap" + std::to_string(info.param.id);
                         });

TEST(ResourcePictureSet, NoPictureBeyondTheTwentyFifth) {
    EXPECT_EQ(FindResourceA(appInstance, MAKEINTRESOURCEA(0), RT_BITMAP), nullptr);
    EXPECT_EQ(FindResourceA(appInstance, MAKEINTRESOURCEA(26), RT_BITMAP), nullptr);
    EXPECT_EQ(LoadBitmapA(appInstance, MAKEINTRESOURCEA(26)), nullptr);
}

// The main window measures the craft from bitmap 1; the contact probes, the landing height and
// the debris frames (64 rows, drawn 34 above the craft) all assume 32 x 30.
TEST(ResourcePictureSet, CraftGivesTheCraftSize) {
    HBITMAP craft = LoadBitmapA(appInstance, MAKEINTRESOURCEA(IDB_CRAFT));
    ASSERT_NE(craft, nullptr);
    BITMAP info = {};
    GetObjectA(craft, sizeof info, &info);
    DeleteObject(craft);
    EXPECT_EQ(info.bmWidth, 32) << "craftWidth";
    EXPECT_EQ(info.bmHeight, 30) << "craftHeight";

    HBITMAP debris = LoadBitmapA(appInstance, MAKEINTRESOURCEA(IDB_DEBRIS_1));
    ASSERT_NE(debris, nullptr);
    BITMAP frame = {};
    GetObjectA(debris, sizeof frame, &frame);
    DeleteObject(debris);
    EXPECT_EQ(frame.bmHeight - 34, info.bmHeight) << "debris bottom meets the craft's bottom row";
}

// A thrust button with id n shows bitmap n + 2 when released and n + 5 when pressed, both the
// size of the button itself.
TEST(ResourcePictureSet, ThrustButtonImagesByButtonId) {
    const int buttons[] = {BUTTON_MAIN, BUTTON_LEFT, BUTTON_RIGHT};
    const int released[] = {IDB_BUTTON_MAIN_UP, IDB_BUTTON_LEFT_UP, IDB_BUTTON_RIGHT_UP};
    const int pressed[] = {IDB_BUTTON_MAIN_DOWN, IDB_BUTTON_LEFT_DOWN, IDB_BUTTON_RIGHT_DOWN};
    for (int i = 0; i < 3; ++i) {
        const int button = buttons[i];
        EXPECT_EQ(button + 2, released[i]);
        EXPECT_EQ(button + 5, pressed[i]);
        for (int id : {button + 2, button + 5}) {
            HBITMAP image = LoadBitmapA(appInstance, MAKEINTRESOURCEA(id));
            ASSERT_NE(image, nullptr) << "button " << button << ", bitmap " << id;
            BITMAP info = {};
            GetObjectA(image, sizeof info, &info);
            DeleteObject(image);
            EXPECT_EQ(info.bmWidth, THRUST_BUTTON_SIZE) << "bitmap " << id;
            EXPECT_EQ(info.bmHeight, THRUST_BUTTON_SIZE) << "bitmap " << id;
        }
    }
}

} // namespace
