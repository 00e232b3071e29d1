#include "fuzz_driver.h"

#include <windows.h>

#include <algorithm>
#include <bitset>
#include <cmath>
#include <cstdio>

#include "app/instance.h"
#include "app/main_window.h"
#include "dialogs_driver.h"
#include "game/random.h"
#include "game/state.h"
#include "game_window.h"
#include "resource.h"
#include "ui/thrust.h"
#include "win32_test_util.h"

// The fuzz is a chain of steps (PostLoopStep), each posting the next and then one message: any
// loop then running (a box's, a scroll bar's or menu's tracking loop) dispatches the next, so a
// box is fuzzed from inside its own loop and no loop waits for input that never comes.

namespace {

constexpr size_t MAX_OPEN_BOXES = 2; // deeper boxes are closed at once
constexpr int MAX_STEP_DEPTH = 16;   // steps inside one another's loops
constexpr int RECENT_MESSAGES = 8;   // shown with a failure
constexpr int MAX_CLOSE_ATTEMPTS = 12;
constexpr int STEPS_PER_CLOSE_ATTEMPT = 4;
constexpr int MAX_IDLE_STEPS = 2000;  // steps that found nothing to do: some loop does not end
constexpr UINT DRIVER_TIMER_MS = 20;  // ends a pause in loops that never go idle
constexpr long HANDS_OFF_EVERY = 400; // fuzz messages between two times the player lets go
// Wine fills its caches of fonts, brushes and bitmaps with the first boxes, menus and scroll
// bars: the GDI objects are counted from the first time the player lets go after these.
constexpr long WARM_UP_MESSAGES = 2000;

const FuzzMix MIXES[] = {
    // timer keys mouse buttons command paint scroll sysCommand random
    {350, 180, 80, 140, 12, 30, 10, 2, 196}, // flights
    {350, 180, 80, 140, 12, 30, 10, 2, 196}, // calibration
    {300, 120, 60, 100, 50, 30, 10, 2, 328}, // boxes
    {120, 80, 40, 60, 12, 20, 10, 2, 656},   // chaos
};

enum BoxKind { BOX_ABOUT, BOX_OPTIONS, BOX_ENDGAME, BOX_OTHER };
const char* const BOX_NAMES[] = {"About", "Options", "End-of-flight", "other"};

struct BoxSession {
    HWND box;
    int kind;
    int budget;     // messages still to fuzz it with
    int pausesLeft; // the first steps let the box show and paint itself
    int closeWay;   // -1 until it is being closed
    int closeSteps;
    std::vector<HWND> controls;
};

// One shard runs at a time; its state lives here from start to end.
struct Run {
    uint64_t seed = 0;
    FuzzProfile profile = PROFILE_FLIGHTS;
    long wanted = 0;
    long fuzzMessages = 0;
    std::string failures;
    // What the game's windows received, counted as it came in: key codes and command ids 0 to
    // 10 by the main window, command ids and (in the Options box) scroll codes 0 to 10 by boxes.
    std::bitset<256> keyDown, keyUp;
    std::bitset<11> command, boxCommand, boxScroll;
    int boxesOpened[4] = {};
    int boxesShown = 0;     // on the screen while the fuzz worked on them
    int handsOffChecks = 0; // times every key and the mouse came up and nothing fired
    FuzzTargets game = {};
    std::vector<BoxSession> sessions;
    bool topLevelStep = false; // the step now dispatched comes from the driver's own loop
    int stepDepth = 0;
    int idleSteps = 0;
    bool finishing = false;
    bool done = false;
    bool paused = false; // no step is queued: the next comes when the queue has run empty
    bool handsOffDue = false;
    long handsOffAt = 0; // the fuzz messages drawn when the player last began to let go
    int gdiAfterWarmUp = 0;
    int gdiLeft = 0;
    FuzzMessage recent[RECENT_MESSAGES] = {};
    long recentCount = 0;
};
Run run;
FuzzGenerator* generator = nullptr;
HACCEL accelerators = nullptr;
UINT_PTR expectedStep = 0;
WNDPROC mainProc = nullptr; // the procedures of the windows that Counted stands in front of
WNDPROC boxProc = nullptr;

void Step(UINT_PTR serial);

int BoxKindOf(HWND box) {
    return GetDlgItem(box, IDC_GRAVITY_BAR) != nullptr     ? BOX_OPTIONS
           : GetDlgItem(box, IDC_ENDGAME_TITLE) != nullptr ? BOX_ENDGAME
           : GetDlgItem(box, IDC_ABOUT_NOTICE) != nullptr  ? BOX_ABOUT
                                                           : BOX_OTHER;
}

// The shard, its seed, how far it got, the game's state and the last messages.
std::string Where() {
    const char* const profiles[] = {"Flights", "Calibration", "Boxes", "Chaos"};
    char text[256];
    std::snprintf(text, sizeof text,
                  "%s shard, seed 0x%016llX, after %ld messages; phase %d, outcome %d, thrusters "
                  "%d %d %d, fuel %g, altitude %g, x %g, vx %g, vy %g; the last messages:",
                  profiles[run.profile], static_cast<unsigned long long>(run.seed), run.recentCount,
                  flight.phase, flight.outcome, flight.thrusterOn[0], flight.thrusterOn[1],
                  flight.thrusterOn[2], flight.fuel, flight.altitude, flight.posX, flight.vx,
                  flight.vy);
    std::string where = text;
    for (long i = std::max(0L, run.recentCount - RECENT_MESSAGES); i < run.recentCount; ++i) {
        const FuzzMessage& m = run.recent[i % RECENT_MESSAGES];
        std::snprintf(text, sizeof text, "\n  %s 0x%04X 0x%08lX 0x%08lX to %p (id %ld)",
                      m.post ? "posted" : "sent", m.message, static_cast<unsigned long>(m.wParam),
                      static_cast<unsigned long>(m.lParam), static_cast<void*>(m.target),
                      static_cast<long>(GetWindowLongPtrA(m.target, GWLP_ID)));
        where += text;
    }
    return where;
}

// The first failure of the run, with where it happened; the checks at the end add theirs.
void Fail(const std::string& what) {
    if (run.failures.empty()) {
        run.failures = what + " in the " + Where() + "\n";
    }
}

void CheckInvariants(const char* when) {
    if (const char* broken = BrokenInvariant()) {
        Fail(std::string(broken) + " (" + when + ")");
    }
}

// A fault ends the process at once, with the seed on the screen.
LONG WINAPI ReportFault(EXCEPTION_POINTERS* exception) {
    std::fprintf(stderr, "fuzz: fault 0x%08lX at %p in the %s\n",
                 static_cast<unsigned long>(exception->ExceptionRecord->ExceptionCode),
                 exception->ExceptionRecord->ExceptionAddress, Where().c_str());
    std::fflush(stderr);
    return EXCEPTION_EXECUTE_HANDLER;
}

// Stands in front of the main window's and each box's procedure, to count what they received.
LRESULT CALLBACK Counted(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const bool main = window == run.game.main;
    const WORD low = LOWORD(wParam);
    if (main && (message == WM_KEYDOWN || message == WM_KEYUP) && wParam < 256) {
        (message == WM_KEYDOWN ? run.keyDown : run.keyUp).set(wParam);
    } else if (message == WM_COMMAND && low <= 10) {
        (main ? run.command : run.boxCommand).set(low);
    } else if (!main && message == WM_HSCROLL && low <= 10 && BoxKindOf(window) == BOX_OPTIONS) {
        run.boxScroll.set(low);
    }
    return CallWindowProcA(main ? mainProc : boxProc, window, message, wParam, lParam);
}

WNDPROC CountWhatReaches(HWND window) {
    return reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Counted)));
}

void PostNextStep() {
    PostLoopStep(Step, ++expectedStep);
}

// Leaves the queue empty for once: a box is shown, and anything invalid painted, only when its
// loop finds nothing else to do. The next step follows at WM_ENTERIDLE, when the driver's loop
// finds the queue empty, or at the latest on the driver's timer.
void Pause() {
    run.paused = true;
}

void Resume() {
    if (run.paused && !run.done) {
        run.paused = false;
        PostNextStep();
    }
}

// Every message sent inside the thread passes here after its window handled it.
void AfterSentMessage(const CWPRETSTRUCT& call) {
    if (call.message == WM_INITDIALOG) {
        BoxSession session = {call.hwnd, BoxKindOf(call.hwnd), 0, 2, -1, 0, {}};
        ++run.boxesOpened[session.kind];
        const int longest = run.profile == PROFILE_BOXES ? 600 : 200;
        session.budget = generator->random.Percent(10) ? 0 : generator->random.Between(1, longest);
        for (HWND child = GetWindow(call.hwnd, GW_CHILD); child != nullptr;
             child = GetWindow(child, GW_HWNDNEXT)) {
            session.controls.push_back(child);
        }
        boxProc = CountWhatReaches(call.hwnd); // the dialog class's, the same for every box
        run.sessions.push_back(session);
    } else if (call.message == WM_DESTROY) {
        const auto gone = [&call](const BoxSession& session) { return session.box == call.hwnd; };
        run.sessions.erase(std::remove_if(run.sessions.begin(), run.sessions.end(), gone),
                           run.sessions.end());
    } else if (call.message == WM_ENTERIDLE) {
        Resume();
    } else if (call.message == WM_ENTERMENULOOP) {
        // A menu would wait for a player to pick from it: cancel it at once.
        PostMessageA(call.hwnd, WM_CANCELMODE, 0, 0);
    }
    CheckInvariants("after a message sent on the way");
}

// The driver's own messages (closing a box, letting go) are no fuzz messages.
void Issue(const FuzzMessage& message, bool fuzz = false) {
    run.recent[run.recentCount++ % RECENT_MESSAGES] = message;
    run.fuzzMessages += fuzz ? 1 : 0;
    if (message.invalidateFirst) {
        InvalidateRect(message.target, nullptr, TRUE);
    }
    if (message.post) {
        PostMessageA(message.target, message.message, message.wParam, message.lParam);
    } else {
        SendMessageA(message.target, message.message, message.wParam, message.lParam);
    }
    run.idleSteps = 0;
    CheckInvariants("after the message");
}

void OpenMainWindow() {
    // The fuzz is the clock; the terrain follows the shard's seed, not the time of day.
    OpenGameWindow();
    SeedRandom(static_cast<uint32_t>(generator->random.Next64()));
    run.game.main = mainWindow;
    GetClientRect(mainWindow, &run.game.client);
    for (int id = 0; id < THRUST_BUTTON_COUNT; ++id) {
        run.game.buttons[id] = thrustButtons[id];
        GetWindowRect(thrustButtons[id], &run.game.buttonRects[id]);
        MapWindowPoints(nullptr, mainWindow, reinterpret_cast<POINT*>(&run.game.buttonRects[id]),
                        2);
    }
    mainProc = CountWhatReaches(mainWindow);
}

// Ends whatever tracking the steps may be running inside, so that the loops unwind: a mouse
// button that comes up ends a scroll bar's tracking, a cancel ends a menu.
void HelpLoopsEnd() {
    ReleaseCapture();
    EndMenu();
    if (IsWindow(mainWindow)) {
        PostMessageA(mainWindow, WM_CANCELMODE, 0, 0);
        PostMessageA(mainWindow, WM_LBUTTONUP, 0, 0);
    }
    if (++run.idleSteps == MAX_IDLE_STEPS) {
        Fail("a loop went on for " + std::to_string(MAX_IDLE_STEPS) + " steps with nothing to do");
        std::fprintf(stderr, "fuzz: %s", run.failures.c_str());
        ExitProcess(4);
    }
}

// OK, Cancel, then the ways of dialogs_driver.h, one every few steps, each in turn from a random
// one, until the box has gone.
void CloseStep(BoxSession& session) {
    if (session.closeWay < 0) {
        session.closeWay = static_cast<int>(generator->random.Below(6));
    }
    const int attempt = session.closeSteps / STEPS_PER_CLOSE_ATTEMPT;
    if (session.closeSteps++ % STEPS_PER_CLOSE_ATTEMPT != 0) {
        return;
    }
    if (attempt == MAX_CLOSE_ATTEMPTS) {
        Fail(std::string("the ") + BOX_NAMES[session.kind] + " box does not close");
        EndDialog(session.box, -2);
        HelpLoopsEnd();
        return;
    }
    // A scroll bar of the box may be tracking the mouse in a loop of its own, which goes on
    // until the button comes up; the box's loop sees the close only after that.
    if (attempt > 0) {
        Issue(FuzzMessage{session.box, WM_LBUTTONUP, 0, 0, true, false});
    }
    const int way = (session.closeWay + attempt) % 6;
    if (way < 2) {
        PostCommand(session.box, way == 0 ? IDOK : IDCANCEL);
    } else {
        PostClose(session.box, static_cast<CloseWay>(way - 2));
    }
    run.idleSteps = 0;
}

// Every so often the player lets go of everything. First the queue runs empty, so that nothing
// posted earlier (a key press, a click) arrives late; then the three arrow keys and the mouse
// button come up and a tick passes, after which no thruster may fire, unless the fuzz has sent
// something meanwhile (to a box that the tick opened).
bool HandsOffStep() {
    if (!run.handsOffDue && run.fuzzMessages - run.handsOffAt < HANDS_OFF_EVERY) {
        return false;
    }
    if (!run.handsOffDue || run.fuzzMessages != run.handsOffAt) {
        run.handsOffDue = true; // and once more if a box was fuzzed meanwhile
        run.handsOffAt = run.fuzzMessages;
        Pause();
        return true;
    }
    run.handsOffDue = false;
    // Window DCs and their regions aside: Wine's cache of them grows by tens in a shard.
    const int gdiObjects = CountGdiObjects(false);
    if (run.gdiAfterWarmUp == 0 && run.handsOffAt >= WARM_UP_MESSAGES) {
        run.gdiAfterWarmUp = gdiObjects;
    }
    run.gdiLeft = run.gdiAfterWarmUp == 0 ? 0 : gdiObjects - run.gdiAfterWarmUp;
    for (WPARAM key : {VK_LEFT, VK_RIGHT, VK_DOWN}) {
        Issue(FuzzMessage{mainWindow, WM_KEYUP, key, static_cast<LPARAM>(0xC0000001u), 0, 0});
    }
    // The mouse button comes up where the capture sends it, or over the sky.
    const HWND capture = GetCapture();
    Issue(FuzzMessage{capture != nullptr ? capture : mainWindow, WM_LBUTTONUP, 0,
                      MAKELPARAM(100, 100), false, false});
    Pause(); // a box that the tick opens goes on with the steps from inside its loop
    Issue(FuzzMessage{mainWindow, WM_TIMER, GAME_TIMER_ID, 0, false, false});
    if (run.fuzzMessages == run.handsOffAt) {
        ++run.handsOffChecks;
        if (flight.thrusterOn[0] + flight.thrusterOn[1] + flight.thrusterOn[2] != 0) {
            Fail("a thruster fires with every key and the mouse button up");
        }
    }
    return true;
}

void ContinueFuzz(bool topLevel) {
    run.finishing |= !run.failures.empty() || run.fuzzMessages >= run.wanted;
    if (topLevel && !run.sessions.empty()) {
        // No loop runs at the top: a box still here has outlived its own.
        Fail(std::string("the ") + BOX_NAMES[run.sessions.back().kind] + " box outlived its loop");
        for (const BoxSession& session : run.sessions) {
            DestroyWindow(session.box);
        }
        run.sessions.clear();
    }
    BoxSession* session = run.sessions.empty() ? nullptr : &run.sessions.back();
    if (run.finishing && session == nullptr && topLevel) {
        run.done = true;
    } else if (run.finishing || !IsWindow(mainWindow) || run.stepDepth > MAX_STEP_DEPTH) {
        PostNextStep();
        if (run.finishing && session != nullptr) {
            CloseStep(*session);
        } else if (topLevel && !run.finishing) {
            // Exit, or a way to it: a new main window, once every loop of the old one has ended.
            OpenMainWindow();
        } else {
            HelpLoopsEnd();
        }
    } else if (session != nullptr && session->pausesLeft > 0) {
        --session->pausesLeft;
        Pause();
    } else if (topLevel && session == nullptr && HandsOffStep()) {
        // the step's work is done
    } else if (generator->random.Below(1000) < (topLevel ? 5u : 20u)) {
        Pause();
    } else if (session == nullptr) {
        PostNextStep();
        Issue(GameMessage(*generator, MIXES[run.profile], run.game), true);
    } else if (session->closeWay >= 0 || session->budget <= 0 || session->kind == BOX_OTHER ||
               run.sessions.size() > MAX_OPEN_BOXES) {
        PostNextStep();
        CloseStep(*session);
    } else {
        PostNextStep();
        --session->budget;
        run.boxesShown += IsWindowVisible(session->box) ? 1 : 0;
        FuzzTargets targets = run.game;
        targets.box = session->box;
        targets.options = session->kind == BOX_OPTIONS;
        targets.controls = session->controls;
        Issue(BoxMessage(*generator, targets), true);
    }
}

void Step(UINT_PTR serial) {
    // Top level: dispatched by the driver's own loop, with no other loop running.
    const bool topLevel = run.topLevelStep;
    run.topLevelStep = false;
    if (serial != expectedStep || run.done) {
        return; // a step that a later one replaced, or one left behind at the end
    }
    ++run.stepDepth;
    CheckInvariants("between messages");
    ContinueFuzz(topLevel);
    --run.stepDepth;
}

void CALLBACK ResumeAfterPause(HWND, UINT, UINT_PTR, DWORD) {
    Resume();
}

// The game's own message loop, as WinMain runs it, until the chain of steps ends.
void RunLoop() {
    PostNextStep();
    const UINT_PTR timer = SetTimer(nullptr, 0, DRIVER_TIMER_MS, ResumeAfterPause);
    while (!run.done) {
        MSG message;
        if (!PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            Resume();
            WaitMessage();
        } else if (IsLoopStep(message)) {
            run.topLevelStep = true;
            DispatchMessageA(&message);
        } else if (message.message != WM_QUIT && // posted by a main window that was closed
                   (!IsWindow(mainWindow) ||
                    TranslateAcceleratorA(mainWindow, accelerators, &message) == 0)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    KillTimer(nullptr, timer);
}

// What the shard's profile must have made happen, as the game's windows saw it.
void CheckWhatHappened() {
    const bool flights = run.profile == PROFILE_FLIGHTS;
    const bool boxes = run.profile == PROFILE_BOXES;
    const struct {
        bool holds;
        const char* what;
    } expected[] = {
        {run.boxesOpened[BOX_OTHER] == 0, "a box of no known kind opened"},
        {run.handsOffChecks > 0, "the player never let go of everything"},
        // Wine still makes up to 8 pens, brushes, fonts and bitmaps of its own after the warm-up
        // (measured); a leak per tick, paint, press, main window or Options box goes past.
        {run.gdiLeft <= 10, "more GDI objects than after the warm-up, by 11 or more"},
        {run.command.all(), "not every command id 0 to 10 reached the main window"},
        {!flights || (run.keyDown.all() && run.keyUp.all()),
         "not every key code went down and up in the main window"},
        {!flights || run.boxesOpened[BOX_ENDGAME] > 0, "no flight was announced"},
        {!boxes || (run.boxesOpened[BOX_ABOUT] > 0 && run.boxesOpened[BOX_OPTIONS] > 0),
         "the About and Options boxes did not both open"},
        {!boxes || run.boxesShown > 0, "no box was on the screen while the fuzz worked on it"},
        {!boxes || (run.boxCommand.all() && run.boxScroll.all()),
         "not every command id and scroll code 0 to 10 reached a box"},
    };
    for (const auto& check : expected) {
        if (!check.holds) {
            run.failures += check.what + std::string("\n");
        }
    }
}

} // namespace

const char* BrokenInvariant() {
    const auto flag = [](int32_t value) { return value == 0 || value == 1; };
    const auto finite = [](float value) { return std::isfinite(value); };
    const struct {
        bool holds;
        const char* broken;
    } invariants[] = {
        {flight.phase <= PHASE_READY, "phase outside 0 to 13"},
        {flag(flight.thrusterOn[0]) && flag(flight.thrusterOn[1]) && flag(flight.thrusterOn[2]),
         "a thruster flag is neither 0 nor 1"},
        {finite(flight.fuel) && flight.fuel >= 0.0f, "fuel negative or not finite"},
        {finite(flight.altitude) && finite(flight.posX) && finite(flight.vx) && finite(flight.vy),
         "a position or velocity is not finite"},
        {flight.outcome <= OUTCOME_LOST, "outcome outside 0 to 5"},
        {flag(buttonTracking[0]) && flag(buttonTracking[1]) && flag(buttonTracking[2]),
         "a button's tracking flag is neither 0 nor 1"},
        {flag(settings.reverseSideThrust) && flag(settings.drawFlame),
         "a settings flag is neither 0 nor 1"},
        {settings.gravity >= 1.0f && settings.gravity <= 10.7f && settings.initialFuel >= 100.0f &&
             settings.initialFuel <= 3000.0f && settings.mainThrust >= 2500.0f &&
             settings.mainThrust <= 38750.0f,
         "a setting outside what the Options box can store"},
        {finite(settings.timeStep) && settings.timeStep >= 0.0f,
         "time step negative or not finite"},
    };
    for (const auto& invariant : invariants) {
        if (!invariant.holds) {
            return invariant.broken;
        }
    }
    return nullptr;
}

std::string RunFuzzShard(uint64_t seed, FuzzProfile profile, long messages) {
    FuzzGenerator theGenerator(seed);
    generator = &theGenerator;
    run = Run{};
    run.seed = seed;
    run.profile = profile;
    run.wanted = messages;
    accelerators = LoadAcceleratorsA(appInstance, MAKEINTRESOURCEA(IDR_ACCELERATORS));
    ResetGameAndDrawing();
    if (profile != PROFILE_CALIBRATION) {
        // As after a first game whose ten ticks took 50 ms each.
        flight.calibrated = 1;
        settings.timeStep = 0.375f;
    }
    OpenMainWindow();
    SetUnhandledExceptionFilter(ReportFault);
    WatchSentMessages(AfterSentMessage);
    RunLoop();
    WatchSentMessages(nullptr);
    SetUnhandledExceptionFilter(nullptr);
    CloseGameWindow();
    CheckWhatHappened();
    generator = nullptr;
    return run.failures;
}
