// The named resources, the menu, the key table and the version record as the linked module
// carries them, read back through the same calls the game makes, and the language of everything.
#include <gtest/gtest.h>

#include <windows.h>

#include <set>
#include <string>
#include <vector>

#include "render/bitmap.h"
#include "resource.h"

namespace {

// "#n" for a numbered type or name, the text itself for a named one.
std::string ResourceKey(LPCSTR name) {
    if (IS_INTRESOURCE(name)) {
        return "#" + std::to_string(reinterpret_cast<ULONG_PTR>(name));
    }
    return name;
}

// ---- Names: the code asks in mixed case, the module stores upper case ----

struct NamedLookup {
    const char* asked;
    LPCSTR type;
    const char* stored;
};

const NamedLookup NAMED_LOOKUPS[] = {
    {"Tavune", RT_GROUP_ICON, "TAVUNE"},
    {"Tavune", RT_MENU, "TAVUNE"},
    {"TAVUNE_ABOUT", RT_DIALOG, "TAVUNE_ABOUT"},
    {"TAVUNE_EndGame", RT_DIALOG, "TAVUNE_ENDGAME"},
    {"TAVUNE_Options", RT_DIALOG, "TAVUNE_OPTIONS"},
};

BOOL CALLBACK CollectName(HMODULE, LPCSTR, LPSTR name, LONG_PTR names) {
    reinterpret_cast<std::set<std::string>*>(names)->insert(ResourceKey(name));
    return TRUE;
}

TEST(ResourceNames, MixedCaseLookupsFindTheUpperCaseNames) {
    for (const NamedLookup& lookup : NAMED_LOOKUPS) {
        SCOPED_TRACE(std::string(lookup.asked) + " as " + ResourceKey(lookup.type));
        HRSRC asked = FindResourceA(appInstance, lookup.asked, lookup.type);
        HRSRC stored = FindResourceA(appInstance, lookup.stored, lookup.type);
        ASSERT_NE(asked, nullptr);
        EXPECT_EQ(asked, stored);
        EXPECT_GT(SizeofResource(appInstance, asked), 0u);

        std::set<std::string> names;
        EnumResourceNamesA(appInstance, lookup.type, CollectName,
                           reinterpret_cast<LONG_PTR>(&names));
        EXPECT_EQ(names.count(lookup.stored), 1u) << "stored under its upper-case name";
    }
}

TEST(ResourceNames, IconLoadsByMixedCaseName) {
    HICON icon = LoadIconA(appInstance, "Tavune");
    ASSERT_NE(icon, nullptr);
    ICONINFO info = {};
    ASSERT_TRUE(GetIconInfo(icon, &info));
    EXPECT_TRUE(info.fIcon);
    BITMAP colour = {};
    ASSERT_NE(info.hbmColor, nullptr) << "a coloured icon";
    GetObjectA(info.hbmColor, sizeof colour, &colour);
    EXPECT_EQ(colour.bmWidth, 32);
    EXPECT_EQ(colour.bmHeight, 32);
    EXPECT_NE(info.hbmMask, nullptr) << "with a transparency mask";
    // GetIconInfo hands out copies of the icon's bitmaps; the shared icon itself stays loaded.
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
}

TEST(ResourceNames, TheIconGroupHoldsOneSixteenColourImage) {
    HRSRC group = FindResourceA(appInstance, "TAVUNE", RT_GROUP_ICON);
    ASSERT_NE(group, nullptr);
    const BYTE* bytes = static_cast<const BYTE*>(LockResource(LoadResource(appInstance, group)));
    ASSERT_NE(bytes, nullptr);
    const int image = LookupIconIdFromDirectoryEx(const_cast<BYTE*>(bytes), TRUE, 32, 32, 0);
    EXPECT_EQ(image, 1);
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

struct MenuEntry {
    UINT command; // 0 for the separator
    const char* text;
};

const MenuEntry GAME_MENU[] = {
    {CMD_NEW, "&New\tF2"},
    {CMD_RESTART, "&Restart\tF3"},
    {CMD_OPTIONS, "&Options...\tF4"},
    {CMD_EXIT, "E&xit"},
    {0, nullptr},
    {CMD_ABOUT, "A&bout Tavune..."},
};
constexpr int GAME_MENU_ITEMS = sizeof GAME_MENU / sizeof GAME_MENU[0];

class ResourceMenu : public ::testing::Test {
  protected:
    void SetUp() override {
        menu = LoadMenuA(appInstance, "Tavune");
        ASSERT_NE(menu, nullptr);
    }
    void TearDown() override {
        if (menu != nullptr) {
            DestroyMenu(menu);
        }
    }
    HMENU menu = nullptr;
};

TEST_F(ResourceMenu, HasOneGamePopUp) {
    EXPECT_EQ(GetMenuItemCount(menu), 1);
    char text[64] = {};
    EXPECT_EQ(GetMenuStringA(menu, 0, text, sizeof text, MF_BYPOSITION), 5);
    EXPECT_STREQ(text, "&Game");
    const UINT state = GetMenuState(menu, 0, MF_BYPOSITION);
    EXPECT_TRUE(state & MF_POPUP);
    EXPECT_EQ(state & (MF_CHECKED | MF_GRAYED | MF_DISABLED), 0u);
    EXPECT_NE(GetSubMenu(menu, 0), nullptr);
}

TEST_F(ResourceMenu, GameItemsInOrder) {
    HMENU game = GetSubMenu(menu, 0);
    ASSERT_NE(game, nullptr);
    ASSERT_EQ(GetMenuItemCount(game), GAME_MENU_ITEMS);
    for (int position = 0; position < GAME_MENU_ITEMS; ++position) {
        const MenuEntry& want = GAME_MENU[position];
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

        char byCommand[64] = {};
        GetMenuStringA(game, want.command, byCommand, sizeof byCommand, MF_BYCOMMAND);
        EXPECT_STREQ(byCommand, want.text);
        EXPECT_EQ(GetMenuState(game, want.command, MF_BYCOMMAND) &
                      (MF_CHECKED | MF_GRAYED | MF_DISABLED | MF_POPUP),
                  0u);
    }
}

// ---- The key table ----

struct KeyEntry {
    WORD key;
    WORD command;
};

const KeyEntry KEYS[] = {{VK_F2, CMD_NEW}, {VK_F3, CMD_RESTART}, {VK_F4, CMD_OPTIONS}};

HACCEL LoadGameKeys() {
    return LoadAcceleratorsA(appInstance, MAKEINTRESOURCEA(IDR_ACCELERATORS));
}

TEST(ResourceKeyTable, ThreeFunctionKeysWithoutModifiers) {
    HACCEL keys = LoadGameKeys();
    ASSERT_NE(keys, nullptr);
    ASSERT_EQ(CopyAcceleratorTableA(keys, nullptr, 0), 3);
    ACCEL entries[3] = {};
    ASSERT_EQ(CopyAcceleratorTableA(keys, entries, 3), 3);
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE("entry " + std::to_string(i));
        EXPECT_EQ(entries[i].fVirt, FVIRTKEY | FNOINVERT) << "no Shift, Ctrl or Alt";
        EXPECT_EQ(entries[i].key, KEYS[i].key);
        EXPECT_EQ(entries[i].cmd, KEYS[i].command);
    }
}

// The text after the tab in each menu item names the key that the table sends its command for.
TEST(ResourceKeyTable, MenuTextNamesTheKeyOfEachCommand) {
    HMENU menu = LoadMenuA(appInstance, "Tavune");
    ASSERT_NE(menu, nullptr);
    HMENU game = GetSubMenu(menu, 0);
    for (const MenuEntry& entry : GAME_MENU) {
        if (entry.text == nullptr) {
            continue;
        }
        const KeyEntry* key = nullptr;
        for (const KeyEntry& candidate : KEYS) {
            key = candidate.command == entry.command ? &candidate : key;
        }
        char shown[64] = {};
        GetMenuStringA(game, entry.command, shown, sizeof shown, MF_BYCOMMAND);
        const std::string text = shown;
        const size_t tab = text.find('\t');
        if (key == nullptr) {
            EXPECT_EQ(tab, std::string::npos) << text;
        } else {
            const std::string keyName = "F" + std::to_string(key->key - VK_F1 + 1);
            EXPECT_EQ(tab == std::string::npos ? "" : text.substr(tab + 1), keyName) << text;
        }
    }
    DestroyMenu(menu);
}

LRESULT CALLBACK RecordCommand(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND) {
        SetWindowLongPtrA(window, GWLP_USERDATA, static_cast<LONG_PTR>(wParam));
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

struct KeyPress {
    UINT message;
    WPARAM key;
    int command; // 0: the table does not translate it
};

const KeyPress KEY_PRESSES[] = {
    {WM_KEYDOWN, VK_F2, CMD_NEW},
    {WM_KEYDOWN, VK_F3, CMD_RESTART},
    {WM_KEYDOWN, VK_F4, CMD_OPTIONS},
    {WM_KEYDOWN, VK_F1, 0},
    {WM_KEYDOWN, VK_F5, 0},
    {WM_KEYDOWN, VK_DOWN, 0},
    {WM_KEYDOWN, 'N', 0},
    {WM_KEYUP, VK_F2, 0},
    {WM_CHAR, VK_F2, 0},
};

// What the message loop sees: a press of F2, F3 or F4 becomes the menu command, marked as coming
// from an accelerator; nothing else is translated.
TEST(ResourceKeyTable, TranslatesThePressesOfItsKeysOnly) {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = RecordCommand;
    windowClass.hInstance = appInstance;
    windowClass.lpszClassName = "TavuneKeyTableProbe";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowA("TavuneKeyTableProbe", "", WS_OVERLAPPED, 0, 0, 10, 10, nullptr,
                                nullptr, appInstance, nullptr);
    ASSERT_NE(window, nullptr);
    HACCEL keys = LoadGameKeys();
    ASSERT_NE(keys, nullptr);
    for (const KeyPress& press : KEY_PRESSES) {
        SCOPED_TRACE("message 0x" + std::to_string(press.message) + " key " +
                     std::to_string(press.key));
        SetWindowLongPtrA(window, GWLP_USERDATA, -1);
        MSG message = {};
        message.hwnd = window;
        message.message = press.message;
        message.wParam = press.key;
        message.lParam = 1;
        const int translated = TranslateAcceleratorA(window, keys, &message);
        const LONG_PTR received = GetWindowLongPtrA(window, GWLP_USERDATA);
        if (press.command == 0) {
            EXPECT_EQ(translated, 0);
            EXPECT_EQ(received, -1);
        } else {
            EXPECT_NE(translated, 0);
            EXPECT_EQ(received, MAKEWPARAM(press.command, 1));
        }
    }
    DestroyWindow(window);
    UnregisterClassA("TavuneKeyTableProbe", appInstance);
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
    void* Value(const char* path, UINT* length) {
        void* value = nullptr;
        *length = 0;
        if (!VerQueryValueA(record.data(), path, &value, length)) {
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
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u) << "1.0";
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00000001u) << ".0.1";
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0x00000001u);
    EXPECT_EQ(fixed->dwFileFlagsMask, 0x3Fu);
    EXPECT_EQ(fixed->dwFileFlags, 0u);
    EXPECT_EQ(fixed->dwFileOS, static_cast<DWORD>(VOS__WINDOWS32));
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
    EXPECT_EQ(fixed->dwFileSubtype, 0u);
}

TEST_F(ResourceVersion, Strings) {
    const char* const versions[] = {"\\StringFileInfo\\040904b0\\FileVersion",
                                    "\\StringFileInfo\\040904b0\\ProductVersion"};
    for (const char* path : versions) {
        UINT length = 0;
        const char* text = static_cast<const char*>(Value(path, &length));
        ASSERT_NE(text, nullptr) << path;
        EXPECT_STREQ(text, "1.30") << path;
    }
    UINT length = 0;
    EXPECT_NE(Value("\\StringFileInfo\\040904b0\\ProductName", &length), nullptr);
    EXPECT_EQ(Value("\\StringFileInfo\\040904e4\\FileVersion", &length), nullptr)
        << "one string table only";
}

TEST_F(ResourceVersion, TranslationIsUsEnglishUnicode) {
    UINT length = 0;
    const WORD* pairs = static_cast<const WORD*>(Value("\\VarFileInfo\\Translation", &length));
    ASSERT_NE(pairs, nullptr);
    ASSERT_EQ(length, 2 * sizeof(WORD)) << "one language and code page pair";
    EXPECT_EQ(pairs[0], 0x0409);
    EXPECT_EQ(pairs[1], 1200);
}

// ---- The whole catalogue and its language ----

struct FoundResource {
    std::string type;
    std::string name;
    std::vector<WORD> languages;
};

BOOL CALLBACK CollectLanguage(HMODULE, LPCSTR, LPCSTR, WORD language, LONG_PTR found) {
    reinterpret_cast<FoundResource*>(found)->languages.push_back(language);
    return TRUE;
}

struct Walk {
    LPCSTR type;
    std::vector<FoundResource>* found;
};

BOOL CALLBACK CollectResource(HMODULE module, LPCSTR type, LPSTR name, LONG_PTR walk) {
    FoundResource resource;
    resource.type = ResourceKey(type);
    resource.name = ResourceKey(name);
    EnumResourceLanguagesA(module, type, name, CollectLanguage,
                           reinterpret_cast<LONG_PTR>(&resource));
    reinterpret_cast<Walk*>(walk)->found->push_back(resource);
    return TRUE;
}

BOOL CALLBACK CollectType(HMODULE module, LPSTR type, LONG_PTR found) {
    Walk walk = {type, reinterpret_cast<std::vector<FoundResource>*>(found)};
    EnumResourceNamesA(module, type, CollectResource, reinterpret_cast<LONG_PTR>(&walk));
    return TRUE;
}

std::vector<FoundResource> WholeCatalogue() {
    std::vector<FoundResource> found;
    EnumResourceTypesA(appInstance, CollectType, reinterpret_cast<LONG_PTR>(&found));
    return found;
}

TEST(ResourceCatalogue, EveryResourceIsUsEnglishOnly) {
    const std::vector<FoundResource> found = WholeCatalogue();
    ASSERT_FALSE(found.empty());
    for (const FoundResource& resource : found) {
        SCOPED_TRACE("type " + resource.type + " name " + resource.name);
        ASSERT_EQ(resource.languages.size(), 1u);
        EXPECT_EQ(resource.languages[0], 1033);
    }
}

TEST(ResourceCatalogue, HoldsExactlyTheGamesResources) {
    std::set<std::string> expected;
    for (int id = 1; id <= 25; ++id) {
        expected.insert(ResourceKey(RT_BITMAP) + " " + ResourceKey(MAKEINTRESOURCEA(id)));
    }
    expected.insert(ResourceKey(RT_ICON) + " #1");
    expected.insert(ResourceKey(RT_GROUP_ICON) + " TAVUNE");
    expected.insert(ResourceKey(RT_MENU) + " TAVUNE");
    expected.insert(ResourceKey(RT_ACCELERATOR) + " #153");
    expected.insert(ResourceKey(RT_DIALOG) + " TAVUNE_ABOUT");
    expected.insert(ResourceKey(RT_DIALOG) + " TAVUNE_ENDGAME");
    expected.insert(ResourceKey(RT_DIALOG) + " TAVUNE_OPTIONS");
    expected.insert(ResourceKey(RT_VERSION) + " #1");

    std::set<std::string> actual;
    for (const FoundResource& resource : WholeCatalogue()) {
        actual.insert(resource.type + " " + resource.name);
    }
    EXPECT_EQ(actual, expected);
}

} // namespace
