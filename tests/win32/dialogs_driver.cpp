#include "dialogs_driver.h"

#include <gtest/gtest.h>

#include "app/instance.h"
#include "win32_test_util.h"

namespace {

const std::vector<DialogStep>* activeSteps = nullptr;
size_t nextStep = 0;
HWND activeDialog = nullptr;

void RunNextStep() {
    if (nextStep < activeSteps->size()) {
        (*activeSteps)[nextStep++](activeDialog);
        // Something must be in the queue for the loop to go idle once more after this step.
        PostMessageA(activeDialog, WM_NULL, 0, 0);
        return;
    }
    ADD_FAILURE() << "the box is still open after its last step";
    EndDialog(activeDialog, -2);
}

// Catches the box right after its own WM_INITDIALOG handling.
LRESULT CALLBACK AfterWindowProc(int code, WPARAM wParam, LPARAM lParam) {
    const CWPRETSTRUCT* call = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    if (code == HC_ACTION && call->message == WM_INITDIALOG && activeSteps != nullptr &&
        activeDialog == nullptr) {
        activeDialog = call->hwnd;
        RunNextStep();
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// The dialog manager tells the owner each time the box's queue runs empty.
LRESULT CALLBACK OwnerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_ENTERIDLE && wParam == MSGF_DIALOGBOX && activeDialog != nullptr &&
        reinterpret_cast<HWND>(lParam) == activeDialog) {
        RunNextStep();
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace

HWND TestOwnerWindow() {
    static HWND owner = nullptr;
    if (owner == nullptr) {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = OwnerProc;
        windowClass.hInstance = appInstance;
        windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
        windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
        windowClass.lpszClassName = "TavuneDialogOwner";
        RegisterClassA(&windowClass);
        owner = CreateWindowExA(0, "TavuneDialogOwner", "Tavune", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                0, 0, 800, 600, nullptr, nullptr, appInstance, nullptr);
    }
    return owner;
}

int RunDialog(ShowDialogFunction show, const std::vector<DialogStep>& steps, HWND owner) {
    PumpMessages();
    activeSteps = &steps;
    nextStep = 0;
    activeDialog = nullptr;
    const HHOOK hook =
        SetWindowsHookExA(WH_CALLWNDPROCRET, AfterWindowProc, nullptr, GetCurrentThreadId());
    const int result = show(owner);
    UnhookWindowsHookEx(hook);
    activeSteps = nullptr;
    activeDialog = nullptr;
    PumpMessages();
    return result;
}

const char* CloseWayName(CloseWay way) {
    switch (way) {
        case CLOSE_BY_ESCAPE:
            return "Escape";
        case CLOSE_BY_ENTER:
            return "Enter";
        case CLOSE_BY_WM_CLOSE:
            return "WM_CLOSE";
        default:
            return "close box";
    }
}

void PostKey(HWND dialog, WPARAM virtualKey) {
    HWND focus = GetFocus();
    if (focus != dialog && !IsChild(dialog, focus)) {
        focus = dialog;
    }
    const UINT scanCode = MapVirtualKeyA(static_cast<UINT>(virtualKey), 0);
    PostMessageA(focus, WM_KEYDOWN, virtualKey, static_cast<LPARAM>(1 | (scanCode << 16)));
    PostMessageA(focus, WM_KEYUP, virtualKey,
                 static_cast<LPARAM>(1 | (scanCode << 16) | (1u << 30) | (1u << 31)));
}

void PostClose(HWND dialog, CloseWay way) {
    switch (way) {
        case CLOSE_BY_ESCAPE:
            PostKey(dialog, VK_ESCAPE);
            break;
        case CLOSE_BY_ENTER:
            PostKey(dialog, VK_RETURN);
            break;
        case CLOSE_BY_WM_CLOSE:
            PostMessageA(dialog, WM_CLOSE, 0, 0);
            break;
        case CLOSE_BY_CLOSE_BOX:
            PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
            break;
    }
}

void PostCommand(HWND dialog, int id) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

std::string WindowText(HWND window) {
    char text[512] = {};
    SendMessageA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    return text;
}

std::string ControlText(HWND dialog, int id) {
    return WindowText(GetDlgItem(dialog, id));
}
