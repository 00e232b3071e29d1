// The one way the tests act inside a modal loop: a step posted to a message-only window runs when
// whichever loop is running dispatches it, and a hook sees every message sent on the test thread.
// RunDialog runs a test's first step once the box has handled WM_INITDIALOG, each later one when
// its loop has gone idle (WM_ENTERIDLE). Every step must run and the last must close the box: a
// box that closes before it, or stays open after it (then closed with -2), fails the test.
#ifndef TAVUNE_TESTS_WIN32_DIALOGS_DRIVER_H
#define TAVUNE_TESTS_WIN32_DIALOGS_DRIVER_H

#include <windows.h>

#include <functional>
#include <vector>

using LoopStep = void (*)(UINT_PTR argument);
// May be called from any thread once the test thread has posted a step of its own.
void PostLoopStep(LoopStep step, UINT_PTR argument);
bool IsLoopStep(const MSG& message);

// Called with every message sent on the test thread, after its window handled it; null stops.
using SentMessageWatch = void (*)(const CWPRETSTRUCT& call);
void WatchSentMessages(SentMessageWatch watch);

using DialogStep = std::function<void(HWND dialog)>;
using ShowDialogFunction = int (*)(HWND owner);

// A visible top-level window of this module, the owner of every box under test.
HWND TestOwnerWindow();

// Opens the box with show(owner), runs the steps, and returns what show returned. Whatever opens
// the box (a show function, a command to the main window, a tick) may stand for show.
int RunDialog(ShowDialogFunction show, const std::vector<DialogStep>& steps,
              HWND owner = TestOwnerWindow());

// The ways a player can end a box without a mouse on its buttons.
enum CloseWay {
    CLOSE_BY_ESCAPE,    // Escape to the focused control
    CLOSE_BY_ENTER,     // Enter to the focused control
    CLOSE_BY_WM_CLOSE,  // what a window manager sends
    CLOSE_BY_CLOSE_BOX, // the caption's close box: SC_CLOSE
};
void PostClose(HWND dialog, CloseWay way);
// A key pressed on whatever has the keyboard focus in the box (or on the box itself).
void PostKey(HWND dialog, WPARAM virtualKey);
// A click of the button with this id, as the button itself reports it.
void PostCommand(HWND dialog, int id);

#endif
