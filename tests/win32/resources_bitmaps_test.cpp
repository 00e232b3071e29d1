// The pictures as the linked module carries them: each is the file the build made from its pixel
// map, stored with the header and palette the drawing code assumes, and GDI loads it with its
// size and shows exactly the pixels the stored bits say.
#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/instance.h"
#include "resource.h"
#include "resources_expected.h"
#include "ui/thrust.h"
#include "win32_test_util.h"

namespace {

DWORD PaletteColour(const RGBQUAD& entry) {
    return (static_cast<DWORD>(entry.rgbRed) << 16) | (static_cast<DWORD>(entry.rgbGreen) << 8) |
           entry.rgbBlue;
}

DWORD RowStride(const ExpectedPicture& picture) {
    return static_cast<DWORD>(((picture.width * picture.bitsPerPixel + 31) / 32) * 4);
}

// The stored resource bytes of a picture: its header, palette and bits, as GDI will read them.
// Empty when the resource is missing or too short for the expected picture.
struct StoredPicture {
    const BYTE* bytes = nullptr;
    DWORD size = 0;
    const BITMAPINFOHEADER* header = nullptr;
    const RGBQUAD* palette = nullptr;
    const BYTE* bits = nullptr;
};

StoredPicture FindStoredPicture(const ExpectedPicture& picture) {
    StoredPicture stored;
    HRSRC found = FindResourceA(appInstance, MAKEINTRESOURCEA(picture.id), RT_BITMAP);
    if (found == nullptr) {
        return stored;
    }
    stored.size = SizeofResource(appInstance, found);
    stored.bytes = static_cast<const BYTE*>(LockResource(LoadResource(appInstance, found)));
    const DWORD paletteSize = (1u << picture.bitsPerPixel) * sizeof(RGBQUAD);
    if (stored.bytes == nullptr || stored.size < sizeof(BITMAPINFOHEADER) + paletteSize +
                                                     RowStride(picture) * picture.height) {
        return stored;
    }
    stored.header = reinterpret_cast<const BITMAPINFOHEADER*>(stored.bytes);
    stored.palette = reinterpret_cast<const RGBQUAD*>(stored.bytes + sizeof(BITMAPINFOHEADER));
    stored.bits = stored.bytes + sizeof(BITMAPINFOHEADER) + paletteSize;
    return stored;
}

// The palette index of pixel (x, y), y counted from the top, in bottom-up stored bits.
int StoredIndex(const StoredPicture& stored, const ExpectedPicture& picture, int x, int y) {
    const BYTE* row = stored.bits + (picture.height - 1 - y) * RowStride(picture);
    const int bit = x * picture.bitsPerPixel;
    const int shift = 8 - picture.bitsPerPixel - bit % 8;
    return (row[bit / 8] >> shift) & ((1 << picture.bitsPerPixel) - 1);
}

// The file the build made for picture n: the art folder's bmpNN.bmp.
std::vector<BYTE> MadePictureFile(int id) {
    char name[16];
    wsprintfA(name, "/bmp%02d.bmp", id);
    std::ifstream file(std::string(TAVUNE_ART_DIR) + name, std::ios::binary);
    return std::vector<BYTE>(std::istreambuf_iterator<char>(file),
                             std::istreambuf_iterator<char>());
}

class ResourcePicture : public ::testing::TestWithParam<ExpectedPicture> {};

TEST_P(ResourcePicture, IsTheMadePictureStoredWithItsPalette) {
    const ExpectedPicture& picture = GetParam();
    const StoredPicture stored = FindStoredPicture(picture);
    ASSERT_NE(stored.header, nullptr) << "missing, or shorter than its rows";

    // The resource compiler keeps the file but its 14-byte file header: the picture under this
    // number is the one drawn for it.
    const std::vector<BYTE> made = MadePictureFile(picture.id);
    ASSERT_GT(made.size(), 14u) << "no file " << TAVUNE_ART_DIR << " for bitmap " << picture.id;
    EXPECT_TRUE(std::vector<BYTE>(stored.bytes, stored.bytes + stored.size) ==
                std::vector<BYTE>(made.begin() + 14, made.end()))
        << "bitmap " << picture.id << " is not the picture made from its map";

    // Its header is the made file's (tests/art checks that); its palette must be Windows' own.
    const int colours = 1 << picture.bitsPerPixel;
    const DWORD* expected = picture.bitsPerPixel == 1 ? MONOCHROME_PALETTE : STANDARD_PALETTE;
    for (int i = 0; i < colours; ++i) {
        EXPECT_EQ(PaletteColour(stored.palette[i]), expected[i]) << "palette entry " << i;
    }
}

// GDI loads the picture by its number with its size, and its reading agrees, pixel for pixel,
// with the palette colour of each stored index: the rows are in the order the header promises
// and no colour is remapped.
TEST_P(ResourcePicture, LoadsAndDrawsThePixelsItStores) {
    const ExpectedPicture& picture = GetParam();
    const StoredPicture stored = FindStoredPicture(picture);
    ASSERT_NE(stored.header, nullptr);
    HBITMAP bitmap = LoadBitmapA(appInstance, MAKEINTRESOURCEA(picture.id));
    ASSERT_NE(bitmap, nullptr);
    BITMAP info = {};
    GetObjectA(bitmap, sizeof info, &info);
    EXPECT_EQ(info.bmWidth, picture.width);
    EXPECT_EQ(info.bmHeight, picture.height);
    // A black-and-white palette makes GDI load a monochrome bitmap, which the end-of-flight box
    // relies on; the coloured pictures load in the screen's format.
    EXPECT_EQ(info.bmBitsPixel == 1, picture.bitsPerPixel == 1) << info.bmBitsPixel;

    // A monochrome picture takes the canvas's default colours: black for 0, white for 1.
    PixelCanvas canvas(picture.width, picture.height);
    canvas.Clear(0x123456);
    HDC source = CreateCompatibleDC(canvas.dc);
    HGDIOBJ old = SelectObject(source, bitmap);
    BitBlt(canvas.dc, 0, 0, canvas.width, canvas.height, source, 0, 0, SRCCOPY);
    SelectObject(source, old);
    DeleteDC(source);
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

INSTANTIATE_TEST_SUITE_P(Bitmaps, ResourcePicture, ::testing::ValuesIn(EXPECTED_PICTURES),
                         [](const ::testing::TestParamInfo<ExpectedPicture>& info) {
                             return "Bitmap" + std::to_string(info.param.id);
                         });

// A thrust button with id n shows bitmap n + 2 when released and n + 5 when pressed, pictures
// the size of the button itself.
TEST(ResourcePictureSet, ThrustButtonImagesByButtonId) {
    const int buttons[] = {BUTTON_MAIN, BUTTON_LEFT, BUTTON_RIGHT};
    const int released[] = {IDB_BUTTON_MAIN_UP, IDB_BUTTON_LEFT_UP, IDB_BUTTON_RIGHT_UP};
    const int pressed[] = {IDB_BUTTON_MAIN_DOWN, IDB_BUTTON_LEFT_DOWN, IDB_BUTTON_RIGHT_DOWN};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(released[i], buttons[i] + 2);
        EXPECT_EQ(pressed[i], buttons[i] + 5);
        for (const ExpectedPicture& picture : EXPECTED_PICTURES) {
            if (picture.id == released[i] || picture.id == pressed[i]) {
                EXPECT_EQ(picture.width, THRUST_BUTTON_SIZE) << "bitmap " << picture.id;
                EXPECT_EQ(picture.height, THRUST_BUTTON_SIZE) << "bitmap " << picture.id;
            }
        }
    }
}

} // namespace
