// The pictures as the linked module carries them: each is the file the build made from its pixel
// map (its header, palette and pixels are checked by tests/art/test_art.py), and GDI loads it
// with its size.
#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/instance.h"
#include "resources_expected.h"

namespace {

// The file the build made for picture n: the art folder's bmpNN.bmp.
std::vector<BYTE> MadePictureFile(int id) {
    char name[16];
    wsprintfA(name, "/bmp%02d.bmp", id);
    std::ifstream file(std::string(TAVUNE_ART_DIR) + name, std::ios::binary);
    return std::vector<BYTE>(std::istreambuf_iterator<char>(file),
                             std::istreambuf_iterator<char>());
}

class ResourcePicture : public ::testing::TestWithParam<ExpectedPicture> {};

TEST_P(ResourcePicture, IsTheMadePictureAndLoadsWithItsSize) {
    const ExpectedPicture& picture = GetParam();
    HRSRC found = FindResourceA(appInstance, MAKEINTRESOURCEA(picture.id), RT_BITMAP);
    ASSERT_NE(found, nullptr);
    const DWORD size = SizeofResource(appInstance, found);
    const BYTE* bytes = static_cast<const BYTE*>(LockResource(LoadResource(appInstance, found)));
    ASSERT_NE(bytes, nullptr);

    // The resource compiler keeps the file but its 14-byte file header: the picture under this
    // number is the one drawn for it.
    const std::vector<BYTE> made = MadePictureFile(picture.id);
    ASSERT_GT(made.size(), 14u) << "no file " << TAVUNE_ART_DIR << " for bitmap " << picture.id;
    EXPECT_TRUE(std::vector<BYTE>(bytes, bytes + size) ==
                std::vector<BYTE>(made.begin() + 14, made.end()))
        << "bitmap " << picture.id << " is not the picture made from its map";

    HBITMAP bitmap = LoadBitmapA(appInstance, MAKEINTRESOURCEA(picture.id));
    ASSERT_NE(bitmap, nullptr);
    BITMAP info = {};
    GetObjectA(bitmap, sizeof info, &info);
    DeleteObject(bitmap);
    EXPECT_EQ(info.bmWidth, picture.width);
    EXPECT_EQ(info.bmHeight, picture.height);
    // A black-and-white palette makes GDI load a monochrome bitmap, which the end-of-flight box
    // relies on; the coloured pictures load in the screen's format.
    EXPECT_EQ(info.bmBitsPixel == 1, picture.bitsPerPixel == 1) << info.bmBitsPixel;
}

INSTANTIATE_TEST_SUITE_P(Bitmaps, ResourcePicture, ::testing::ValuesIn(EXPECTED_PICTURES),
                         [](const ::testing::TestParamInfo<ExpectedPicture>& info) {
                             return "Bitmap" + std::to_string(info.param.id);
                         });

} // namespace
