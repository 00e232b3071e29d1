// The resources as the game loads them from the linked module: every picture at the size and
// depth the drawing code relies on, as the file made from its pixel map, drawn as exactly its
// pixels; the main window's menu and icon, the key table, the version record, and nothing else.
#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "app/instance.h"
#include "app/main_window.h"
#include "app/win32_host.h"
#include "game/host.h"
#include "game_window.h"
#include "render/bitmap.h"
#include "win32_test_util.h"

namespace {

// How many pixels of the canvas are not the picture drawn at (x, y) on the background.
int WrongPixels(const PixelCanvas& canvas, const std::vector<DWORD>& picture, int width, int height,
                int x, int y, DWORD background) {
    int wrong = 0;
    for (int row = 0; row < canvas.height; ++row) {
        for (int column = 0; column < canvas.width; ++column) {
            const bool inside = column >= x && column < x + width && row >= y && row < y + height;
            wrong += canvas.At(column, row) !=
                     (inside ? picture[(row - y) * width + column - x] : background);
        }
    }
    return wrong;
}

constexpr DWORD BACKGROUND = 0x203040;

// Every picture: the file made from its map (whose sizes and depths tests/art checks), loaded at
// its stored size (a one-bit picture as a monochrome bitmap), and drawn pixel for pixel by
// DrawBitmapAt in whatever colours the context holds; the crash pictures also by the host, from
// the main window's set.
TEST(ResourcePictures, EachHasItsSizeAndDepthAndDrawsAsItsPixels) {
    ResetGameAndDrawing();
    LoadGraphicsSet(nullptr);
    PixelCanvas canvas(160, 140);
    for (int id = 1; id <= 25; ++id) {
        SCOPED_TRACE("bitmap " + std::to_string(id));
        // LoadBitmap gives the screen's depth: the stored one is in the resource's header.
        HRSRC found = FindResourceA(appInstance, MAKEINTRESOURCEA(id), RT_BITMAP);
        ASSERT_NE(found, nullptr);
        const BYTE* bytes =
            static_cast<const BYTE*>(LockResource(LoadResource(appInstance, found)));
        const BITMAPINFOHEADER* header = reinterpret_cast<const BITMAPINFOHEADER*>(bytes);
        const int width = header->biWidth, height = header->biHeight;
        // The resource compiler keeps the art folder's bmpNN.bmp but its 14-byte file header.
        char name[16];
        wsprintfA(name, "/bmp%02d.bmp", id);
        std::ifstream file(std::string(TAVUNE_ART_DIR) + name, std::ios::binary);
        const std::vector<BYTE> made{std::istreambuf_iterator<char>(file), {}};
        EXPECT_TRUE(made.size() > 14 &&
                    std::vector<BYTE>(bytes, bytes + SizeofResource(appInstance, found)) ==
                        std::vector<BYTE>(made.begin() + 14, made.end()))
            << "not the picture made from its map";

        HBITMAP picture = LoadBitmapA(appInstance, MAKEINTRESOURCEA(id));
        ASSERT_NE(picture, nullptr);
        BITMAP info = {};
        GetObjectA(picture, sizeof info, &info);
        EXPECT_TRUE(info.bmWidth == width && info.bmHeight == height);
        EXPECT_EQ(info.bmBitsPixel == 1, header->biBitCount == 1) << info.bmBitsPixel;
        const std::vector<DWORD> source = BitmapPixels(picture, width, height);
        // Partly off the canvas's top left for some, wholly inside for the others; into a
        // context whose colours are neither black nor white, as a box's may be.
        const int x = id % 3 == 0 ? -7 : 10 + id;
        const int y = id % 3 == 0 ? -5 : 20;
        canvas.Clear(BACKGROUND);
        SetTextColor(canvas.dc, RGB(0, 0, 200));
        SetBkColor(canvas.dc, RGB(200, 0, 0));
        DrawBitmapAt(canvas.dc, static_cast<int16_t>(x), static_cast<int16_t>(y), picture);
        EXPECT_EQ(WrongPixels(canvas, source, width, height, x, y, BACKGROUND), 0);
        EXPECT_EQ(GetTextColor(canvas.dc), RGB(0, 0, 200));
        EXPECT_EQ(GetBkColor(canvas.dc), RGB(200, 0, 0));
        if (id >= 8 && id <= 20) {
            canvas.Clear(BACKGROUND);
            WIN32_HOST.drawPicture(reinterpret_cast<DrawSurface>(canvas.dc), 64, 6,
                                   id >= 11 ? PICTURE_DEBRIS_1 + id - 11
                                            : PICTURE_EXPLOSION_1 + id - 8);
            EXPECT_EQ(WrongPixels(canvas, source, width, height, 64, 6, BACKGROUND), 0)
                << "as the crash shows it";
        }
        DeleteObject(picture);
    }
    FreeGraphicsSet();
}

std::string Key(LPCSTR text) {
    return IS_INTRESOURCE(text) ? "#" + std::to_string(reinterpret_cast<ULONG_PTR>(text)) : text;
}

// Each resource as "type name", and its language too unless it is US English.
BOOL CALLBACK CollectLanguage(HMODULE, LPCSTR type, LPCSTR name, WORD language, LONG_PTR found) {
    reinterpret_cast<std::set<std::string>*>(found)->insert(
        Key(type) + " " + Key(name) + (language == 1033 ? "" : " " + std::to_string(language)));
    return TRUE;
}

BOOL CALLBACK CollectResource(HMODULE module, LPCSTR type, LPSTR name, LONG_PTR found) {
    EnumResourceLanguagesA(module, type, name, CollectLanguage, found);
    return TRUE;
}

BOOL CALLBACK CollectType(HMODULE module, LPSTR type, LONG_PTR found) {
    EnumResourceNamesA(module, type, CollectResource, found);
    return TRUE;
}

TEST(ResourceCatalogue, HoldsExactlyTheGamesResourcesInUsEnglish) {
    // By type: 2 bitmap, 3 icon, 4 menu, 5 dialog, 9 key table, 14 icon group, 16 version. The
    // module stores names in upper case.
    std::set<std::string> expected = {
        "#5 TAVUNE_ABOUT", "#5 TAVUNE_ENDGAME", "#5 TAVUNE_OPTIONS", "#3 #1",
        "#14 TAVUNE",      "#4 TAVUNE",         "#9 #153",           "#16 #1"};
    for (int id = 1; id <= 25; ++id) {
        expected.insert("#2 #" + std::to_string(id));
    }
    std::set<std::string> found;
    EnumResourceTypesA(appInstance, CollectType, reinterpret_cast<LONG_PTR>(&found));
    EXPECT_EQ(found, expected);
}

TEST(ResourceMainWindow, ItsIconMenuAndKeys) {
    ResetGameAndDrawing();
    ASSERT_NE(OpenGameWindow(), nullptr);
    EXPECT_NE(GetClassLongPtrA(mainWindow, GCLP_HICON), 0u);
    // The icon's one image: 16 colours, 32 x 32 with its mask rows.
    HRSRC group = FindResourceA(appInstance, "Tavune", RT_GROUP_ICON);
    ASSERT_NE(group, nullptr);
    BYTE* directory = static_cast<BYTE*>(LockResource(LoadResource(appInstance, group)));
    const int image = LookupIconIdFromDirectoryEx(directory, TRUE, 32, 32, 0);
    const BITMAPINFOHEADER* icon = static_cast<const BITMAPINFOHEADER*>(LockResource(
        LoadResource(appInstance, FindResourceA(appInstance, MAKEINTRESOURCEA(image), RT_ICON))));
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(icon->biWidth, 32);
    EXPECT_EQ(icon->biHeight, 64);
    EXPECT_EQ(icon->biBitCount, 4);

    // One pop-up "&Game"; its items in order, none checked, greyed or a pop-up of its own.
    HMENU menu = GetMenu(mainWindow);
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(GetMenuItemCount(menu), 1);
    char title[64] = {};
    GetMenuStringA(menu, 0, title, sizeof title, MF_BYPOSITION);
    EXPECT_STREQ(title, "&Game");
    EXPECT_EQ(GetMenuState(menu, 0, MF_BYPOSITION) & (MF_CHECKED | MF_GRAYED | MF_DISABLED), 0u);
    // Each item's text, command, and type and state together (0: no pop-up, check, default, break
    // or drawing of its own); Wine reports every separator as greyed, whatever the resource says.
    HMENU game = GetSubMenu(menu, 0);
    std::string items;
    for (int position = 0; position < GetMenuItemCount(game); ++position) {
        char text[64] = {};
        GetMenuStringA(game, position, text, sizeof text, MF_BYPOSITION);
        const UINT state = GetMenuState(game, position, MF_BYPOSITION);
        const UINT kept = (state & MF_SEPARATOR) != 0 ? state & ~(MF_GRAYED | MF_DISABLED) : state;
        items += std::string(text) + " " + std::to_string(GetMenuItemID(game, position)) + " " +
                 std::to_string(kept) + "|";
    }
    EXPECT_EQ(items, "&New\tF2 1 0|&Restart\tF3 2 0|&Options...\tF4 5 0|E&xit 3 0| 0 " +
                         std::to_string(MF_SEPARATOR) + "|A&bout Tavune... 4 0|");
    CloseGameWindow();

    // The key table, as the game's loop loads it: the function keys the menu names, each a
    // virtual key without Shift, Ctrl or Alt for the item's command, and no other.
    HACCEL keys = LoadAcceleratorsA(appInstance, MAKEINTRESOURCEA(153));
    ASSERT_NE(keys, nullptr);
    ACCEL entries[4] = {};
    std::vector<std::vector<int>> got;
    for (int i = 0; i < CopyAcceleratorTableA(keys, entries, 4); ++i) {
        got.push_back({entries[i].fVirt, entries[i].key, entries[i].cmd});
    }
    const int plain = FVIRTKEY | FNOINVERT;
    EXPECT_EQ(got, (std::vector<std::vector<int>>{
                       {plain, VK_F2, 1}, {plain, VK_F3, 2}, {plain, VK_F4, 5}}));
}

// 1.3, as the About box and the zip say it.
TEST(ResourceVersion, FixedPartAndOneUsEnglishStringTable) {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, sizeof path);
    DWORD ignored = 0;
    std::vector<BYTE> record(GetFileVersionInfoSizeA(path, &ignored) + 1);
    ASSERT_TRUE(GetFileVersionInfoA(path, 0, static_cast<DWORD>(record.size()), record.data()))
        << "no version record in " << path;
    auto value = [&record](const std::string& at, UINT* length) {
        void* found = nullptr;
        *length = 0;
        return VerQueryValueA(record.data(), at.c_str(), &found, length) ? found : nullptr;
    };
    UINT length = 0;
    const VS_FIXEDFILEINFO* fixed = static_cast<const VS_FIXEDFILEINFO*>(value("\\", &length));
    ASSERT_TRUE(fixed != nullptr && length == sizeof(VS_FIXEDFILEINFO));
    // Signature, 1.3.0.0 for file and product, flags, Win32, an application; no date.
    const DWORD want[] = {0xFEEF04BDu, 0x00010000u,    0x00010003u, 0, 0x00010003u, 0, 0x3F,
                          0,           VOS__WINDOWS32, VFT_APP,     0, 0,           0};
    EXPECT_EQ(std::vector<DWORD>(want, want + 13),
              std::vector<DWORD>(&fixed->dwSignature, &fixed->dwSignature + 13));
    for (const char* key : {"FileVersion", "ProductVersion"}) {
        const char* text = static_cast<const char*>(
            value("\\StringFileInfo\\040904b0\\" + std::string(key), &length));
        EXPECT_STREQ(text, "1.3") << key;
    }
    EXPECT_EQ(value("\\StringFileInfo\\040904e4\\FileVersion", &length), nullptr)
        << "one string table only";
    const WORD* pairs = static_cast<const WORD*>(value("\\VarFileInfo\\Translation", &length));
    ASSERT_TRUE(pairs != nullptr && length == 2 * sizeof(WORD)) << "one language, one code page";
    EXPECT_EQ(std::vector<WORD>(pairs, pairs + 2), (std::vector<WORD>{0x0409, 1200}));
}

} // namespace
