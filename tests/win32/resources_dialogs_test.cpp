// The three dialog layouts: each template is walked from the module's resource bytes and compared
// with its design field by field, then opened for real to see that the dialog manager builds
// every control from it.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "app/instance.h"
#include "resources_expected.h"

namespace {

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

std::string ControlName(size_t position, const ExpectedControl& control) {
    return "control " + std::to_string(position) + ", id " + std::to_string(control.id);
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

class ResourceDialog : public ::testing::TestWithParam<ExpectedDialog> {};

TEST_P(ResourceDialog, TemplateAsDesigned) {
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
    ASSERT_EQ(dialog.controls.size(), expected.controls.size());
    for (size_t i = 0; i < expected.controls.size(); ++i) {
        const ExpectedControl& want = expected.controls[i];
        const ParsedControl& got = dialog.controls[i];
        SCOPED_TRACE(ControlName(i, want));
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

// The dialog manager accepts the template and builds each designed control in order and no
// other; an icon control finds the game's icon by the name it holds.
TEST_P(ResourceDialog, OpensWithEveryControl) {
    const ExpectedDialog& expected = GetParam();
    HWND dialog = CreateDialogParamA(appInstance, expected.name, nullptr, PlainDialogProc, 0);
    ASSERT_NE(dialog, nullptr) << "the dialog manager refuses the template";

    HWND child = GetWindow(dialog, GW_CHILD);
    for (size_t i = 0; i < expected.controls.size(); ++i) {
        const ExpectedControl& want = expected.controls[i];
        SCOPED_TRACE(ControlName(i, want));
        if (child == nullptr) {
            ADD_FAILURE() << "missing";
            break;
        }
        // The template stores the id in 16 bits: -1 comes back as 0xFFFF.
        EXPECT_EQ(LOWORD(GetDlgCtrlID(child)), static_cast<WORD>(want.id));
        if (want.classAtom == STATIC_ATOM && (want.styles & SS_TYPEMASK) == SS_ICON) {
            EXPECT_NE(SendMessageA(child, STM_GETICON, 0, 0), 0) << "the control holds no icon";
        }
        child = GetWindow(child, GW_HWNDNEXT);
    }
    EXPECT_EQ(child, nullptr) << "no control beyond the designed ones";
    DestroyWindow(dialog);
}

INSTANTIATE_TEST_SUITE_P(Templates, ResourceDialog, ::testing::ValuesIn(EXPECTED_DIALOGS),
                         [](const ::testing::TestParamInfo<ExpectedDialog>& info) {
                             return std::string(info.param.name);
                         });

} // namespace
