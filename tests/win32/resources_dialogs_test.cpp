// The three dialog layouts: each template is walked from the module's resource bytes and compared
// with its design field by field, then opened for real to see that the dialog manager builds
// every control from it.
#include <gtest/gtest.h>

#include <windows.h>

#include <ostream>
#include <string>
#include <vector>

#include "render/bitmap.h"
#include "resource.h"

namespace {

constexpr WORD BUTTON_ATOM = 0x80;
constexpr WORD STATIC_ATOM = 0x82;
constexpr WORD SCROLLBAR_ATOM = 0x84;

// ---- What a classic dialog template holds ----

// A menu, class or text field: absent, an ordinal after 0xFFFF, or a string.
struct Field {
    bool present = false;
    bool ordinal = false;
    WORD number = 0;
    std::string text;
};

struct ParsedControl {
    DWORD style = 0;
    DWORD exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    WORD id = 0;
    Field windowClass;
    Field text;
    WORD extraBytes = 0;
};

struct ParsedDialog {
    DWORD style = 0;
    DWORD exStyle = 0;
    WORD controlCount = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    Field menu;
    Field windowClass;
    std::string title;
    bool hasFont = false;
    WORD pointSize = 0;
    std::string face;
    std::vector<ParsedControl> controls;
    size_t end = 0;    // offset just past the last control
    std::string fault; // empty when the bytes were well formed
};

// Reads little-endian fields from the template, refusing to step past its end.
struct TemplateReader {
    const BYTE* bytes;
    size_t size;
    size_t at = 0;
    std::string fault;

    bool Need(size_t count, const char* what) {
        if (fault.empty() && at + count > size) {
            fault = std::string("template ends inside ") + what;
        }
        return fault.empty();
    }
    WORD Word(const char* what) {
        if (!Need(2, what)) {
            return 0;
        }
        const WORD value = static_cast<WORD>(bytes[at] | (bytes[at + 1] << 8));
        at += 2;
        return value;
    }
    DWORD Dword(const char* what) {
        const DWORD low = Word(what);
        const DWORD high = Word(what);
        return low | (high << 16);
    }
    short Short(const char* what) { return static_cast<short>(Word(what)); }
    // A zero-terminated UTF-16 string; every character is ASCII in our templates.
    std::string String(const char* what) {
        std::string text;
        for (WORD c = Word(what); c != 0 && fault.empty(); c = Word(what)) {
            text += c < 0x80 ? static_cast<char>(c) : '?';
        }
        return text;
    }
    Field Item(const char* what) {
        Field field;
        const WORD first = Word(what);
        if (first == 0) {
            return field;
        }
        field.present = true;
        if (first == 0xFFFF) {
            field.ordinal = true;
            field.number = Word(what);
            return field;
        }
        at -= 2;
        field.text = String(what);
        return field;
    }
    void AlignToDword() { at = (at + 3) & ~static_cast<size_t>(3); }
};

ParsedDialog ParseDialogTemplate(const BYTE* bytes, size_t size) {
    TemplateReader in{bytes, size, 0, std::string()};
    ParsedDialog dialog;
    dialog.style = in.Dword("the dialog style");
    dialog.exStyle = in.Dword("the extended style");
    if (HIWORD(dialog.style) == 0xFFFF && LOWORD(dialog.style) == 1) {
        dialog.fault = "an extended template";
        return dialog;
    }
    dialog.controlCount = in.Word("the control count");
    dialog.x = in.Short("the position");
    dialog.y = in.Short("the position");
    dialog.cx = in.Short("the size");
    dialog.cy = in.Short("the size");
    dialog.menu = in.Item("the menu");
    dialog.windowClass = in.Item("the class");
    dialog.title = in.String("the title");
    if (dialog.style & DS_SETFONT) {
        dialog.hasFont = true;
        dialog.pointSize = in.Word("the font size");
        dialog.face = in.String("the font face");
    }
    for (int i = 0; i < dialog.controlCount && in.fault.empty(); ++i) {
        in.AlignToDword();
        ParsedControl control;
        control.style = in.Dword("a control style");
        control.exStyle = in.Dword("a control extended style");
        control.x = in.Short("a control position");
        control.y = in.Short("a control position");
        control.cx = in.Short("a control size");
        control.cy = in.Short("a control size");
        control.id = in.Word("a control id");
        control.windowClass = in.Item("a control class");
        control.text = in.Item("a control text");
        control.extraBytes = in.Word("a control's extra count");
        in.Need(control.extraBytes, "a control's extra data");
        in.at += control.extraBytes;
        dialog.controls.push_back(control);
    }
    dialog.end = in.at;
    dialog.fault = in.fault;
    return dialog;
}

// ---- The design ----

struct ControlSpec {
    int id;
    WORD classAtom;
    const char* text; // nullptr: any short text of the implementer's choosing
    short x, y, cx, cy;
    DWORD styles; // besides WS_CHILD | WS_VISIBLE
};

struct ExpectedDialog {
    const char* name; // as the code asks for it
    DWORD style;
    short x, y, cx, cy;
    const char* title;
    WORD pointSize; // 0: no font of its own
    const char* face;
    std::vector<ControlSpec> controls;
};

const DWORD BOX = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;

// clang-format off
const ExpectedDialog DIALOGS[] = {
    {"TAVUNE_ABOUT", BOX | DS_SETFONT, 44, 41, 132, 70, "About Tavune", 10, "MS Sans Serif", {
        {IDC_ABOUT_VERSION, STATIC_ATOM, "Tavune v1.3", 78, 10, 42, 8, SS_RIGHT},
        {-1, STATIC_ATOM, nullptr, 34, 24, 86, 8, SS_RIGHT},
        {IDC_ABOUT_NOTICE, STATIC_ATOM, nullptr, 46, 32, 74, 8, SS_RIGHT},
        {IDOK, BUTTON_ATOM, "OK", 50, 54, 32, 12, BS_DEFPUSHBUTTON | WS_GROUP},
        {IDC_ABOUT_ICON, STATIC_ATOM, "TAVUNE", 8, 8, 18, 20, SS_ICON},
    }},
    {"TAVUNE_EndGame", BOX, 75, 62, 184, 85, "", 0, nullptr, {
        {IDOK, BUTTON_ATOM, "OK", 76, 68, 32, 12, BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP},
        {IDC_ENDGAME_TITLE, STATIC_ATOM, "Title", 76, 6, 100, 18, SS_LEFT | WS_GROUP},
        {IDC_ENDGAME_MESSAGE, STATIC_ATOM, "Description", 76, 28, 100, 35, SS_LEFT | WS_GROUP},
    }},
    {"TAVUNE_Options", BOX | DS_SETFONT, 34, 38, 148, 104, "Tavune Options", 10, "MS Sans Serif", {
        {IDOK, BUTTON_ATOM, "OK", 106, 8, 34, 12, BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP},
        {IDCANCEL, BUTTON_ATOM, "Cancel", 106, 24, 34, 12, BS_PUSHBUTTON | WS_TABSTOP | WS_GROUP},
        {IDC_GRAVITY_BAR, SCROLLBAR_ATOM, "", 10, 10, 64, 8, SBS_HORZ | WS_TABSTOP},
        {IDC_FUEL_BAR, SCROLLBAR_ATOM, "", 10, 30, 64, 8, SBS_HORZ | WS_TABSTOP},
        {IDC_THRUST_BAR, SCROLLBAR_ATOM, "", 10, 50, 64, 8, SBS_HORZ | WS_TABSTOP},
        {IDC_DRAW_FLAME, BUTTON_ATOM, "Draw flame", 14, 72, 58, 12, BS_AUTOCHECKBOX | WS_TABSTOP},
        {IDC_REVERSE_SIDE_THRUST, BUTTON_ATOM, "Reverse side thrust", 14, 84, 76, 12,
         BS_AUTOCHECKBOX | WS_TABSTOP},
        {IDC_FUEL_LABEL, STATIC_ATOM, "Fuel", 12, 38, 16, 8, SS_LEFT | WS_GROUP},
        {IDC_GRAVITY_LABEL, STATIC_ATOM, "Gravity", 12, 18, 31, 8, SS_LEFT},
        {IDC_THRUST_LABEL, STATIC_ATOM, "Thrust", 12, 58, 26, 8, SS_LEFT},
        {IDC_DEFAULT, BUTTON_ATOM, "Default", 106, 48, 34, 12, BS_PUSHBUTTON | WS_TABSTOP},
    }},
};
// clang-format on

const char* ClassName(WORD atom) {
    switch (atom) {
        case BUTTON_ATOM:
            return "Button";
        case STATIC_ATOM:
            return "Static";
        default:
            return "ScrollBar";
    }
}

std::string ControlName(const ControlSpec& control) {
    return std::string(ClassName(control.classAtom)) + " " + std::to_string(control.id);
}

ParsedDialog ReadTemplate(const char* name, std::string* failure) {
    HRSRC found = FindResourceA(appInstance, name, RT_DIALOG);
    if (found == nullptr) {
        *failure = "no template";
        return ParsedDialog();
    }
    const DWORD size = SizeofResource(appInstance, found);
    const BYTE* bytes = static_cast<const BYTE*>(LockResource(LoadResource(appInstance, found)));
    if (bytes == nullptr) {
        *failure = "template cannot be locked";
        return ParsedDialog();
    }
    ParsedDialog dialog = ParseDialogTemplate(bytes, size);
    // Only the padding after the last control may follow it.
    if (dialog.fault.empty() && size - dialog.end > 3) {
        dialog.fault = std::to_string(size - dialog.end) + " bytes after the last control";
    }
    *failure = dialog.fault;
    return dialog;
}

// Test names and failure messages show the dialog's name rather than the record's bytes.
void PrintTo(const ExpectedDialog& expected, std::ostream* out) {
    *out << expected.name;
}

class ResourceDialog : public ::testing::TestWithParam<ExpectedDialog> {};

TEST_P(ResourceDialog, BoxAsDesigned) {
    const ExpectedDialog& expected = GetParam();
    std::string failure;
    const ParsedDialog dialog = ReadTemplate(expected.name, &failure);
    ASSERT_EQ(failure, "");
    EXPECT_EQ(dialog.style, expected.style) << std::hex << "0x" << dialog.style;
    EXPECT_EQ(dialog.exStyle, 0u);
    EXPECT_EQ(dialog.x, expected.x);
    EXPECT_EQ(dialog.y, expected.y);
    EXPECT_EQ(dialog.cx, expected.cx);
    EXPECT_EQ(dialog.cy, expected.cy);
    EXPECT_FALSE(dialog.menu.present) << "no menu";
    EXPECT_FALSE(dialog.windowClass.present) << "the platform's dialog class";
    EXPECT_EQ(dialog.title, expected.title);
    EXPECT_EQ(dialog.hasFont, expected.pointSize != 0);
    if (expected.pointSize != 0) {
        EXPECT_EQ(dialog.pointSize, expected.pointSize);
        EXPECT_EQ(dialog.face, expected.face);
    }
    EXPECT_EQ(dialog.controlCount, expected.controls.size());
}

TEST_P(ResourceDialog, ControlsAsDesignedInOrder) {
    const ExpectedDialog& expected = GetParam();
    std::string failure;
    const ParsedDialog dialog = ReadTemplate(expected.name, &failure);
    ASSERT_EQ(failure, "");
    ASSERT_EQ(dialog.controls.size(), expected.controls.size());
    for (size_t i = 0; i < expected.controls.size(); ++i) {
        const ControlSpec& want = expected.controls[i];
        const ParsedControl& got = dialog.controls[i];
        SCOPED_TRACE("control " + std::to_string(i) + ": " + ControlName(want));
        EXPECT_EQ(got.id, static_cast<WORD>(want.id));
        // The predefined classes go in by their atoms, as the resource compiler writes them
        // when the script names the class by number.
        EXPECT_TRUE(got.windowClass.present && got.windowClass.ordinal)
            << "class stored as the name \"" << got.windowClass.text << "\"";
        EXPECT_EQ(got.windowClass.number, want.classAtom);
        EXPECT_FALSE(got.text.ordinal) << "text given as a string";
        if (want.text != nullptr) {
            EXPECT_EQ(got.text.text, want.text);
        } else {
            EXPECT_FALSE(got.text.text.empty());
            EXPECT_LE(got.text.text.size(), 24u) << "fits its one line";
        }
        EXPECT_EQ(got.x, want.x);
        EXPECT_EQ(got.y, want.y);
        EXPECT_EQ(got.cx, want.cx);
        EXPECT_EQ(got.cy, want.cy);
        EXPECT_EQ(got.style, WS_CHILD | WS_VISIBLE | want.styles) << std::hex << "0x" << got.style;
        EXPECT_EQ(got.exStyle, 0u);
        EXPECT_EQ(got.extraBytes, 0u);
    }
}

// ---- Opening each template for real ----

INT_PTR CALLBACK PlainDialogProc(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG ? TRUE : FALSE;
}

// The control's rectangle in the dialog's client pixels.
RECT ClientRectOf(HWND dialog, HWND control) {
    RECT rect;
    GetWindowRect(control, &rect);
    MapWindowPoints(HWND_DESKTOP, dialog, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

TEST_P(ResourceDialog, OpensWithEveryControl) {
    const ExpectedDialog& expected = GetParam();
    HWND dialog = CreateDialogParamA(appInstance, expected.name, nullptr, PlainDialogProc, 0);
    ASSERT_NE(dialog, nullptr) << "the dialog manager refuses the template";

    HWND child = GetWindow(dialog, GW_CHILD);
    for (const ControlSpec& want : expected.controls) {
        SCOPED_TRACE(ControlName(want));
        // The template stores the id as a WORD, and Wine gives the control 0xFFFF for -1, which
        // GetDlgItem(dialog, -1) does not find; the game never asks for that control.
        HWND control = want.id == -1 ? child : GetDlgItem(dialog, want.id);
        EXPECT_NE(control, nullptr);
        EXPECT_EQ(child, control) << "children follow the template's order";
        child = child != nullptr ? GetWindow(child, GW_HWNDNEXT) : nullptr;
        if (control == nullptr) {
            continue;
        }
        EXPECT_EQ(LOWORD(GetDlgCtrlID(control)), static_cast<WORD>(want.id));
        char className[32] = {};
        GetClassNameA(control, className, sizeof className);
        EXPECT_EQ(lstrcmpiA(className, ClassName(want.classAtom)), 0) << className;
        const LONG style = GetWindowLongA(control, GWL_STYLE);
        EXPECT_EQ(style & (WS_CHILD | WS_VISIBLE), WS_CHILD | WS_VISIBLE);
        if (want.classAtom == STATIC_ATOM && (want.styles & SS_TYPEMASK) == SS_ICON) {
            continue; // an icon control takes its picture's size, and holds no text
        }
        RECT designed = {want.x, want.y, want.x + want.cx, want.y + want.cy};
        MapDialogRect(dialog, &designed);
        const RECT actual = ClientRectOf(dialog, control);
        EXPECT_EQ(actual.left, designed.left);
        EXPECT_EQ(actual.top, designed.top);
        EXPECT_EQ(actual.right, designed.right);
        EXPECT_EQ(actual.bottom, designed.bottom);
        if (want.text != nullptr) {
            char text[64] = {};
            GetWindowTextA(control, text, sizeof text);
            EXPECT_STREQ(text, want.text);
        }
    }
    EXPECT_EQ(child, nullptr) << "no control beyond the designed ones";

    // A box with a font of its own hands it out; the others use the system font.
    HFONT font = reinterpret_cast<HFONT>(SendMessageA(dialog, WM_GETFONT, 0, 0));
    if (expected.pointSize != 0) {
        EXPECT_NE(font, nullptr);
        LOGFONTA face = {};
        GetObjectA(font, sizeof face, &face);
        EXPECT_STREQ(face.lfFaceName, expected.face);
    } else {
        EXPECT_EQ(font, nullptr);
    }
    char title[64] = {};
    GetWindowTextA(dialog, title, sizeof title);
    EXPECT_STREQ(title, expected.title);
    DestroyWindow(dialog);
}

INSTANTIATE_TEST_SUITE_P(Templates, ResourceDialog, ::testing::ValuesIn(DIALOGS),
                         [](const ::testing::TestParamInfo<ExpectedDialog>& info) {
                             return std::string(info.param.name);
                         });

// The About box's icon control is named "TAVUNE" and the dialog manager loads the game's icon
// into it from the module.
TEST(ResourceAboutDialog, IconControlHoldsTheGameIcon) {
    HWND dialog = CreateDialogParamA(appInstance, "TAVUNE_ABOUT", nullptr, PlainDialogProc, 0);
    ASSERT_NE(dialog, nullptr);
    HWND iconControl = GetDlgItem(dialog, IDC_ABOUT_ICON);
    HICON icon = reinterpret_cast<HICON>(SendMessageA(iconControl, STM_GETICON, 0, 0));
    ICONINFO info = {};
    const BOOL isIcon = icon != nullptr && GetIconInfo(icon, &info);
    DestroyWindow(dialog);

    EXPECT_NE(iconControl, nullptr);
    ASSERT_NE(icon, nullptr) << "the control holds no icon";
    ASSERT_TRUE(isIcon);
    EXPECT_TRUE(info.fIcon);
    BITMAP colour = {};
    if (info.hbmColor != nullptr) {
        GetObjectA(info.hbmColor, sizeof colour, &colour);
        DeleteObject(info.hbmColor);
    }
    if (info.hbmMask != nullptr) {
        DeleteObject(info.hbmMask);
    }
    EXPECT_EQ(colour.bmWidth, 32);
    EXPECT_EQ(colour.bmHeight, 32);
}

} // namespace
