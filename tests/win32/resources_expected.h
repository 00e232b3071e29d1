// What the program's resources must hold: every picture, the menu, the key table and the version
// record, stated once (the boxes' layouts are checked live by dialogs_about_test.cpp). The
// resources_* tests check the resources linked into the test program against these tables. Ids are
// written as numbers, not taken from resource.h, so that a changed id there is caught here.
#ifndef TAVUNE_TESTS_WIN32_RESOURCES_EXPECTED_H
#define TAVUNE_TESTS_WIN32_RESOURCES_EXPECTED_H

#include <windows.h>

#include <ostream>

// ---- Pictures ----

struct ExpectedPicture {
    int id;
    int width;
    int height;
    int bitsPerPixel;
};

// Id, width, height, bits per pixel. The craft's 32 x 30 gives the craft size that the contact
// probes and the landing height assume; the debris frames 11 to 20 are 64 rows, drawn 34 above
// the craft so that their bottoms meet.
// clang-format off
inline const ExpectedPicture EXPECTED_PICTURES[] = {
    {1, 32, 30, 4},                                     // craft
    {2, 48, 48, 4}, {3, 48, 48, 4}, {4, 48, 48, 4},     // buttons released: main, left, right
    {5, 48, 48, 4}, {6, 48, 48, 4}, {7, 48, 48, 4},     // the same pressed
    {8, 32, 30, 4}, {9, 32, 30, 4}, {10, 32, 30, 4},    // crash pictures
    {11, 32, 64, 4}, {12, 32, 64, 4}, {13, 32, 64, 4}, {14, 32, 64, 4}, {15, 32, 64, 4},
    {16, 32, 64, 4}, {17, 32, 64, 4}, {18, 32, 64, 4}, {19, 32, 64, 4}, {20, 32, 64, 4},
    {21, 32, 8, 4}, {22, 32, 8, 4}, {23, 24, 32, 4},    // flames: left, right, main
    {24, 96, 97, 1}, {25, 96, 97, 1},                   // end-of-flight scenes: landed, crashed
};
// clang-format on

// ---- Named resources, as the code asks for them; the module stores them in upper case ----

constexpr char ICON_NAME[] = "Tavune";
constexpr char MENU_NAME[] = "Tavune";
constexpr int KEY_TABLE_ID = 153;
constexpr int VERSION_RECORD_ID = 1;
constexpr int ICON_IMAGE_ID = 1;

// ---- The menu and the key table ----

struct ExpectedMenuItem {
    UINT command; // 0 for the separator
    const char* text;
};

// The one pop-up "&Game", its items in order; none checked or greyed.
constexpr char GAME_MENU_TITLE[] = "&Game";
// clang-format off
inline const ExpectedMenuItem EXPECTED_GAME_MENU[] = {
    {1, "&New\tF2"},
    {2, "&Restart\tF3"},
    {5, "&Options...\tF4"},
    {3, "E&xit"},
    {0, nullptr},
    {4, "A&bout Tavune..."},
};
// clang-format on

struct ExpectedKey {
    WORD key;
    WORD command;
};

// Each a virtual key with no Shift, Ctrl or Alt.
inline const ExpectedKey EXPECTED_KEYS[] = {{VK_F2, 1}, {VK_F3, 2}, {VK_F4, 5}};

// ---- The version record: 1.0.0.1 in the fixed part, "1.30" in the texts ----

constexpr DWORD EXPECTED_VERSION_MS = 0x00010000;
constexpr DWORD EXPECTED_VERSION_LS = 0x00000001;
constexpr char EXPECTED_VERSION_TEXT[] = "1.30";
constexpr char VERSION_STRINGS[] = "\\StringFileInfo\\040904b0\\"; // US English, Unicode

// Test names and failure messages show the resource rather than the record's bytes.
inline void PrintTo(const ExpectedPicture& picture, std::ostream* out) {
    *out << "bitmap " << picture.id;
}

#endif
