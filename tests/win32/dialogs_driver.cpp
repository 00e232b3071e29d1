#include "dialogs_driver.h"

#include <gtest/gtest.h>

#include "app/instance.h"
#include "win32_test_util.h"

namespace {

constexpr UINT WM_LOOP_STEP = WM_APP + 7;

SentMessageWatch watch = nullptr;
HHOOK hook = nullptr;

const std::vector<DialogStep>* activeSteps = nullptr;
size_t nextStep = 0;
HWND activeDialog = nullptr;
HWND stepWindow = nullptr; // message-only: it takes the steps and is never on the screen

LRESULT CALLBACK AfterSentMessage(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION && watch != nullptr) {
        watch(*reinterpret_cast<const CWPRETSTRUCT*>(lParam));
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

void RunNextStep(UINT_PTR) {
    if (activeSteps == nullptr || !IsWindow(activeDialog)) {
        return; // left over from a box that has closed
    }
    if (nextStep < activeSteps->size()) {
        (*activeSteps)[nextStep++](activeDialog);
    } else {
        ADD_FAILURE() << "the box is still open after its last step";
        EndDialog(activeDialog, -2);
    }
}

// A step is posted, not run from the hook: the box's own loop dispatches it like any input.
void WatchTheBox(const CWPRETSTRUCT& call) {
    const bool opened = call.message == WM_INITDIALOG && activeDialog == nullptr;
    if (opened) {
        activeDialog = call.hwnd;
    }
    if (opened || (call.message == WM_ENTERIDLE && call.wParam == MSGF_DIALOGBOX &&
                   reinterpret_cast<HWND>(call.lParam) == activeDialog)) {
        PostLoopStep(RunNextStep, 0);
    }
}

LRESULT CALLBACK StepProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_LOOP_STEP) {
        return DefWindowProcA(window, message, wParam, lParam);
    }
    reinterpret_cast<LoopStep>(wParam)(static_cast<UINT_PTR>(lParam));
    return 0;
}

} // namespace

void PostLoopStep(LoopStep step, UINT_PTR argument) {
    if (stepWindow == nullptr) {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = StepProc;
        windowClass.hInstance = appInstance;
        windowClass.lpszClassName = "TavuneLoopSteps";
        RegisterClassA(&windowClass);
        stepWindow = CreateWindowExA(0, "TavuneLoopSteps", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                     appInstance, nullptr);
    }
    PostMessageA(stepWindow, WM_LOOP_STEP, reinterpret_cast<WPARAM>(step),
                 static_cast<LPARAM>(argument));
}

bool IsLoopStep(const MSG& message) {
    return message.hwnd == stepWindow && message.message == WM_LOOP_STEP;
}

void WatchSentMessages(SentMessageWatch newWatch) {
    watch = newWatch;
    if (watch != nullptr && hook == nullptr) {
        hook =
            SetWindowsHookExA(WH_CALLWNDPROCRET, AfterSentMessage, nullptr, GetCurrentThreadId());
    } else if (watch == nullptr && hook != nullptr) {
        UnhookWindowsHookEx(hook);
        hook = nullptr;
    }
}

HWND TestOwnerWindow() {
    static const HWND owner =
        CreateWindowExA(0, "STATIC", "Tavune", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 800, 600,
                        nullptr, nullptr, appInstance, nullptr);
    return owner;
}

int RunDialog(ShowDialogFunction show, const std::vector<DialogStep>& steps, HWND owner) {
    PumpMessages();
    activeSteps = &steps;
    nextStep = 0;
    activeDialog = nullptr;
    WatchSentMessages(WatchTheBox);
    const int result = show(owner);
    WatchSentMessages(nullptr);
    // The steps left out would have checked something: the test must not pass without them.
    if (nextStep < steps.size()) {
        ADD_FAILURE() << "the box " << (activeDialog == nullptr ? "never opened" : "closed")
                      << " before its last step ran: " << nextStep << " of " << steps.size();
    }
    activeSteps = nullptr;
    activeDialog = nullptr;
    PumpMessages();
    return result;
}

void PostKey(HWND dialog, WPARAM virtualKey) {
    const HWND focus = IsChild(dialog, GetFocus()) ? GetFocus() : dialog;
    const UINT scanCode = MapVirtualKeyA(static_cast<UINT>(virtualKey), 0);
    PostMessageA(focus, WM_KEYDOWN, virtualKey, static_cast<LPARAM>(1 | (scanCode << 16)));
    PostMessageA(focus, WM_KEYUP, virtualKey,
                 static_cast<LPARAM>(1 | (scanCode << 16) | (1u << 30) | (1u << 31)));
}

void PostClose(HWND dialog, CloseWay way) {
    if (way == CLOSE_BY_ESCAPE || way == CLOSE_BY_ENTER) {
        PostKey(dialog, way == CLOSE_BY_ESCAPE ? VK_ESCAPE : VK_RETURN);
    } else if (way == CLOSE_BY_WM_CLOSE) {
        PostMessageA(dialog, WM_CLOSE, 0, 0);
    } else {
        PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    }
}

void PostCommand(HWND dialog, int id) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}
