// The whole catalogue of the linked module, the icon, the menu, the key table and the version
// record, read back through the same calls the game makes.
#include <gtest/gtest.h>

#include <windows.h>

#include <set>
#include <string>
#include <vector>

#include "app/instance.h"
#include "resources_expected.h"

namespace {

// "#n" for a numbered type or name, the text itself for a named one.
std::string ResourceKey(LPCSTR name) {
    if (IS_INTRESOURCE(name)) {
        return "#" + std::to_string(reinterpret_cast<ULONG_PTR>(name));
    }
    return name;
}

std::string Entry(LPCSTR type, LPCSTR name) {
    return ResourceKey(type) + " " + ResourceKey(name);
}

// The code asks in mixed case; the module stores the names in upper case.
std::string StoredName(const char* asked) {
    std::string name = asked;
    CharUpperBuffA(&name[0], static_cast<DWORD>(name.size()));
    return name;
}

// ---- The whole catalogue and its language ----

BOOL CALLBACK CollectLanguage(HMODULE, LPCSTR, LPCSTR, WORD language, LONG_PTR languages) {
    reinterpret_cast<std::vector<WORD>*>(languages)->push_back(language);
    return TRUE;
}

// Every resource as "type name", with the languages it is stored in.
using Catalogue = std::vector<std::pair<std::string, std::vector<WORD>>>;

BOOL CALLBACK CollectResource(HMODULE module, LPCSTR type, LPSTR name, LONG_PTR found) {
    std::vector<WORD> languages;
    EnumResourceLanguagesA(module, type, name, CollectLanguage,
                           reinterpret_cast<LONG_PTR>(&languages));
    reinterpret_cast<Catalogue*>(found)->emplace_back(Entry(type, name), languages);
    return TRUE;
}

BOOL CALLBACK CollectType(HMODULE module, LPSTR type, LONG_PTR found) {
    EnumResourceNamesA(module, type, CollectResource, found);
    return TRUE;
}

TEST(ResourceCatalogue, HoldsExactlyTheGamesResourcesInUsEnglish) {
    std::set<std::string> expected;
    for (const ExpectedPicture& picture : EXPECTED_PICTURES) {
        expected.insert(Entry(RT_BITMAP, MAKEINTRESOURCEA(picture.id)));
    }
    for (const char* dialog : {"TAVUNE_ABOUT", "TAVUNE_ENDGAME", "TAVUNE_OPTIONS"}) {
        expected.insert(Entry(RT_DIALOG, dialog));
    }
    expected.insert(Entry(RT_ICON, MAKEINTRESOURCEA(ICON_IMAGE_ID)));
    expected.insert(Entry(RT_GROUP_ICON, StoredName(ICON_NAME).c_str()));
    expected.insert(Entry(RT_MENU, StoredName(MENU_NAME).c_str()));
    expected.insert(Entry(RT_ACCELERATOR, MAKEINTRESOURCEA(KEY_TABLE_ID)));
    expected.insert(Entry(RT_VERSION, MAKEINTRESOURCEA(VERSION_RECORD_ID)));

    Catalogue found;
    EnumResourceTypesA(appInstance, CollectType, reinterpret_cast<LONG_PTR>(&found));
    std::set<std::string> actual;
    for (const auto& resource : found) {
        actual.insert(resource.first);
        EXPECT_EQ(resource.second, std::vector<WORD>{1033}) << resource.first;
    }
    EXPECT_EQ(actual, expected);
}

// ---- The icon ----

TEST(ResourceIcon, OneSixteenColourImageWithItsMask) {
    EXPECT_NE(LoadIconA(appInstance, ICON_NAME), nullptr);
    HRSRC group = FindResourceA(appInstance, ICON_NAME, RT_GROUP_ICON);
    ASSERT_NE(group, nullptr);
    BYTE* bytes = static_cast<BYTE*>(LockResource(LoadResource(appInstance, group)));
    ASSERT_NE(bytes, nullptr);
    const int image = LookupIconIdFromDirectoryEx(bytes, TRUE, 32, 32, 0);
    EXPECT_EQ(image, ICON_IMAGE_ID);
    HRSRC picture = FindResourceA(appInstance, MAKEINTRESOURCEA(image), RT_ICON);
    ASSERT_NE(picture, nullptr);
    const BITMAPINFOHEADER* header =
        static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(appInstance, picture)));
    ASSERT_NE(header, nullptr);
    EXPECT_EQ(header->biWidth, 32);
    EXPECT_EQ(header->biHeight, 64) << "colour rows and mask rows";
    EXPECT_EQ(header->biBitCount, 4);
}

// ---- The menu ----

TEST(ResourceMenu, OneGamePopUpWithItsItemsInOrder) {
    HMENU menu = LoadMenuA(appInstance, MENU_NAME);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(GetMenuItemCount(menu), 1);
    char title[64] = {};
    GetMenuStringA(menu, 0, title, sizeof title, MF_BYPOSITION);
    EXPECT_STREQ(title, GAME_MENU_TITLE);
    EXPECT_EQ(GetMenuState(menu, 0, MF_BYPOSITION) & (MF_CHECKED | MF_GRAYED | MF_DISABLED), 0u);

    HMENU game = GetSubMenu(menu, 0);
    ASSERT_NE(game, nullptr);
    const int count = sizeof EXPECTED_GAME_MENU / sizeof EXPECTED_GAME_MENU[0];
    EXPECT_EQ(GetMenuItemCount(game), count);
    for (int position = 0; position < count && position < GetMenuItemCount(game); ++position) {
        const ExpectedMenuItem& want = EXPECTED_GAME_MENU[position];
        SCOPED_TRACE("item " + std::to_string(position));
        char text[64] = {};
        MENUITEMINFOA item = {};
        item.cbSize = sizeof item;
        item.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STATE | MIIM_STRING | MIIM_SUBMENU;
        item.dwTypeData = text;
        item.cch = sizeof text;
        ASSERT_TRUE(GetMenuItemInfoA(game, position, TRUE, &item));
        EXPECT_EQ(item.hSubMenu, nullptr);
        EXPECT_EQ(item.fType & (MFT_RADIOCHECK | MFT_RIGHTJUSTIFY | MFT_OWNERDRAW), 0u);
        if (want.text == nullptr) {
            // Wine reports every separator as greyed, whatever the resource says.
            EXPECT_TRUE(item.fType & MFT_SEPARATOR);
            EXPECT_EQ(item.fState & (MFS_CHECKED | MFS_DEFAULT), 0u);
            continue;
        }
        EXPECT_EQ(item.fState, 0u) << "enabled, unchecked, not default";
        EXPECT_FALSE(item.fType & MFT_SEPARATOR);
        EXPECT_EQ(item.wID, want.command);
        EXPECT_STREQ(text, want.text);
    }
    DestroyMenu(menu);
}

// ---- The key table ----

TEST(ResourceKeyTable, FunctionKeysWithoutModifiers) {
    HACCEL keys = LoadAcceleratorsA(appInstance, MAKEINTRESOURCEA(KEY_TABLE_ID));
    ASSERT_NE(keys, nullptr);
    const int count = sizeof EXPECTED_KEYS / sizeof EXPECTED_KEYS[0];
    ASSERT_EQ(CopyAcceleratorTableA(keys, nullptr, 0), count);
    ACCEL entries[count] = {};
    CopyAcceleratorTableA(keys, entries, count);
    for (int i = 0; i < count; ++i) {
        SCOPED_TRACE("entry " + std::to_string(i));
        EXPECT_EQ(entries[i].fVirt, FVIRTKEY | FNOINVERT) << "no Shift, Ctrl or Alt";
        EXPECT_EQ(entries[i].key, EXPECTED_KEYS[i].key);
        EXPECT_EQ(entries[i].cmd, EXPECTED_KEYS[i].command);
    }
}

// ---- The version record ----

class ResourceVersion : public ::testing::Test {
  protected:
    void SetUp() override {
        char path[MAX_PATH] = {};
        ASSERT_GT(GetModuleFileNameA(nullptr, path, sizeof path), 0u);
        DWORD ignored = 0;
        const DWORD size = GetFileVersionInfoSizeA(path, &ignored);
        ASSERT_GT(size, 0u) << "no version record in " << path;
        record.resize(size);
        ASSERT_TRUE(GetFileVersionInfoA(path, 0, size, record.data()));
    }
    // The value at a path of the record, with its length (characters for text, bytes otherwise).
    void* Value(const std::string& path, UINT* length) {
        void* value = nullptr;
        *length = 0;
        if (!VerQueryValueA(record.data(), path.c_str(), &value, length)) {
            return nullptr;
        }
        return value;
    }
    std::vector<BYTE> record;
};

TEST_F(ResourceVersion, FixedPart) {
    UINT length = 0;
    const VS_FIXEDFILEINFO* fixed = static_cast<const VS_FIXEDFILEINFO*>(Value("\\", &length));
    ASSERT_NE(fixed, nullptr);
    ASSERT_EQ(length, sizeof(VS_FIXEDFILEINFO));
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed->dwFileVersionMS, EXPECTED_VERSION_MS);
    EXPECT_EQ(fixed->dwFileVersionLS, EXPECTED_VERSION_LS);
    EXPECT_EQ(fixed->dwProductVersionMS, EXPECTED_VERSION_MS);
    EXPECT_EQ(fixed->dwProductVersionLS, EXPECTED_VERSION_LS);
    EXPECT_EQ(fixed->dwFileFlagsMask, 0x3Fu);
    EXPECT_EQ(fixed->dwFileFlags, 0u);
    EXPECT_EQ(fixed->dwFileOS, static_cast<DWORD>(VOS__WINDOWS32));
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
    EXPECT_EQ(fixed->dwFileSubtype, 0u);
}

TEST_F(ResourceVersion, OneUsEnglishStringTable) {
    for (const char* key : {"FileVersion", "ProductVersion"}) {
        UINT length = 0;
        const char* text =
            static_cast<const char*>(Value(VERSION_STRINGS + std::string(key), &length));
        ASSERT_NE(text, nullptr) << key;
        EXPECT_STREQ(text, EXPECTED_VERSION_TEXT) << key;
    }
    UINT length = 0;
    EXPECT_EQ(Value("\\StringFileInfo\\040904e4\\FileVersion", &length), nullptr)
        << "one string table only";
    const WORD* pairs = static_cast<const WORD*>(Value("\\VarFileInfo\\Translation", &length));
    ASSERT_NE(pairs, nullptr);
    ASSERT_EQ(length, 2 * sizeof(WORD)) << "one language and code page pair";
    EXPECT_EQ(pairs[0], 0x0409);
    EXPECT_EQ(pairs[1], 1200);
}

} // namespace
