#include "fuzz_driver.h"

#include <windows.h>

#include <algorithm>
#include <bitset>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <utility>

#include "app/instance.h"
#include "app/main_window.h"
#include "app/win32_host.h"
#include "dialogs_driver.h"
#include "game/random.h"
#include "game/state.h"
#include "game_window.h"
#include "resource.h"
#include "ui/thrust.h"
#include "win32_test_util.h"

// A chain of steps, each posting the next and then one message: whichever loop runs (a box's, a
// scroll bar's, a menu's) dispatches the next, so no loop waits for input that never comes.
namespace {

constexpr size_t MAX_OPEN_BOXES = 2; // deeper boxes are closed at once
constexpr int MAX_STEP_DEPTH = 16;   // steps inside one another's loops
constexpr int RECENT_MESSAGES = 8;   // shown with a failure
constexpr int MAX_CLOSE_ATTEMPTS = 12;
constexpr int STEPS_PER_CLOSE_ATTEMPT = 4;
constexpr int MAX_IDLE_STEPS = 2000;    // steps that found nothing to do: some loop does not end
constexpr UINT STALL_MS = 5000;         // a pause that long: no loop will dispatch the next step
constexpr long HANDS_OFF_EVERY = 400;   // fuzz messages between two times the player lets go
constexpr uint32_t MS_PER_MESSAGE = 17; // on the game's clock: about 50 ms a tick in a flight
// Wine fills its caches of fonts, brushes and bitmaps with the first boxes, menus and bars.
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

struct Check {
    bool holds;
    const char* what;
};

struct BoxSession {
    HWND box;
    int kind;
    int budget;     // messages still to fuzz it with
    int pausesLeft; // to let the box show and paint itself
    int closeWay;   // -1 until it is being closed
    int closeSteps;
    FuzzTargets targets; // the game's, with the box
};

struct Run {
    uint64_t seed = 0;
    FuzzProfile profile = PROFILE_FLIGHTS;
    long wanted = 0, fuzzMessages = 0;
    std::string failures;
    // What the game's windows received, not what was drawn.
    std::bitset<256> keyDown, keyUp;
    std::bitset<11> command, boxCommand, boxScroll;
    int boxesOpened[4] = {};
    int boxesShown = 0;     // on the screen while the fuzz worked on them
    int handsOffChecks = 0; // times every key and the mouse came up and nothing fired
    FuzzTargets game = {};
    std::vector<BoxSession> sessions;
    bool topLevelStep = false; // dispatched by the driver's own loop
    int stepDepth = 0, idleSteps = 0;
    bool finishing = false, done = false;
    // No step queued, as a box shows and paints only when its loop has nothing else to do: the
    // next comes at WM_ENTERIDLE or when the driver's queue is empty.
    bool paused = false;
    bool handsOffDue = false;
    long handsOffAt = 0; // fuzzMessages when the player last began to let go
    uint32_t clock = 0;  // the game's tick count
    int gdiAfterWarmUp = 0, gdiLeft = 0;
    FuzzMessage recent[RECENT_MESSAGES] = {};
    long recentCount = 0, recentAtWatch = -1;
};
Run run;
GameHost host; // the game's own, with the fuzz's clock
FuzzGenerator* generator = nullptr;
HACCEL accelerators = nullptr;
UINT_PTR expectedStep = 0;
WNDPROC mainProc = nullptr, boxProc = nullptr; // what Counted stands in front of

void Step(UINT_PTR serial);

int BoxKindOf(HWND box) {
    return GetDlgItem(box, IDC_GRAVITY_BAR) != nullptr     ? BOX_OPTIONS
           : GetDlgItem(box, IDC_ENDGAME_TITLE) != nullptr ? BOX_ENDGAME
           : GetDlgItem(box, IDC_ABOUT_NOTICE) != nullptr  ? BOX_ABOUT
                                                           : BOX_OTHER;
}

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

// The checks at the end add theirs.
void Fail(const std::string& what) {
    if (run.failures.empty()) {
        run.failures = what + " in the " + Where() + "\n";
    }
}

const char* BrokenInvariant() {
    const auto flag = [](int32_t value) { return value == 0 || value == 1; };
    const auto finite = [](float value) { return std::isfinite(value); };
    const Check invariants[] = {
        {flight.phase <= PHASE_READY, "phase outside 0 to 13"},
        {flag(flight.thrusterOn[0]) && flag(flight.thrusterOn[1]) && flag(flight.thrusterOn[2]) &&
             flag(buttonTracking[0]) && flag(buttonTracking[1]) && flag(buttonTracking[2]) &&
             flag(settings.reverseSideThrust) && flag(settings.drawFlame),
         "a thruster, tracking or settings flag is neither 0 nor 1"},
        {finite(flight.fuel) && flight.fuel >= 0.0f && finite(flight.altitude) &&
             finite(flight.posX) && finite(flight.vx) && finite(flight.vy) &&
             finite(settings.timeStep) && settings.timeStep >= 0.0f,
         "fuel or time step negative, or it, a position or a velocity not finite"},
        {flight.outcome <= OUTCOME_LOST, "outcome outside 0 to 5"},
        {settings.gravity >= 1.0f && settings.gravity <= 10.7f && settings.initialFuel >= 100.0f &&
             settings.initialFuel <= 3000.0f && settings.mainThrust >= 2500.0f &&
             settings.mainThrust <= 38750.0f,
         "a setting outside what the Options box can store"},
    };
    const auto broken = std::find_if(std::begin(invariants), std::end(invariants),
                                     [](const Check& check) { return !check.holds; });
    return broken == std::end(invariants) ? nullptr : broken->what;
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

// Left to the wall clock, the game's timers would tick and lay out at times no seed decides: a
// new size settles at once, its layout posted.
void TakeTheGameTimers() {
    KillTimer(mainWindow, GAME_TIMER_ID);
    if (KillTimer(mainWindow, LAYOUT_TIMER_ID)) {
        PostMessageA(mainWindow, WM_TIMER, LAYOUT_TIMER_ID, 0);
    }
}

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
    const LRESULT result =
        CallWindowProcA(main ? mainProc : boxProc, window, message, wParam, lParam);
    TakeTheGameTimers();
    return result;
}

WNDPROC CountWhatReaches(HWND window) {
    return reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Counted)));
}

void PostNextStep() {
    PostLoopStep(Step, ++expectedStep);
}

void Resume() {
    if (run.paused && !run.done) {
        run.paused = false;
        PostNextStep();
    }
}

void AfterSentMessage(const CWPRETSTRUCT& call) {
    if (call.message == WM_INITDIALOG) {
        BoxSession session = {call.hwnd, BoxKindOf(call.hwnd), 0, 2, -1, 0, run.game};
        session.targets.box = call.hwnd;
        session.targets.options = session.kind == BOX_OPTIONS;
        ++run.boxesOpened[session.kind];
        const int longest = run.profile == PROFILE_BOXES ? 600 : 200;
        session.budget = generator->random.Percent(10) ? 0 : generator->random.Between(1, longest);
        for (HWND child = GetWindow(call.hwnd, GW_CHILD); child != nullptr;
             child = GetWindow(child, GW_HWNDNEXT)) {
            session.targets.controls.push_back(child);
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
        PostMessageA(call.hwnd, WM_CANCELMODE, 0, 0);
    }
    CheckInvariants("after a message sent on the way");
}

// The driver's own messages (closing a box, letting go) are not counted.
void Issue(const FuzzMessage& message, bool fuzz = false) {
    run.clock += MS_PER_MESSAGE;
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
    OpenGameWindow(); // its timer stopped: the fuzz is the clock
    SeedRandom(static_cast<uint32_t>(generator->random.Next64())); // not the time of day
    host = WIN32_HOST;
    host.tickCount = [] { return run.clock; };
    SetGameHost(&host);
    TakeTheGameTimers();
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

// For a shard that would not end by itself: the seed on the screen, and the process ends.
[[noreturn]] void GiveUp(const std::string& what) {
    Fail(what);
    std::fprintf(stderr, "fuzz: %s", run.failures.c_str());
    ExitProcess(4);
}

// Only ever tells that a pause has no end; the loops' idling ends every other.
void CALLBACK WatchForStalls(HWND, UINT, UINT_PTR, DWORD) {
    if (std::exchange(run.recentAtWatch, run.recentCount) == run.recentCount && run.paused) {
        GiveUp("a pause that no loop ended");
    }
}

// A button that comes up ends a scroll bar's tracking, a cancel ends a menu: the loops unwind.
void HelpLoopsEnd() {
    ReleaseCapture();
    EndMenu();
    if (IsWindow(mainWindow)) {
        PostMessageA(mainWindow, WM_CANCELMODE, 0, 0);
        PostMessageA(mainWindow, WM_LBUTTONUP, 0, 0);
    }
    if (++run.idleSteps == MAX_IDLE_STEPS) {
        GiveUp("a loop went on for " + std::to_string(MAX_IDLE_STEPS) +
               " steps with nothing to do");
    }
}

// OK, Cancel and the ways of dialogs_driver.h, in turn from a random one, until the box is gone.
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
    // A scroll bar may be tracking the mouse in a loop of its own until the button comes up.
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

// A DC that GetDC or BeginPaint handed out names its window until it is given back; those in
// Wine's cache name none.
int WindowDCsHeld() {
    int held = 0;
    for (UINT_PTR handle = 1; handle <= 0xFFFF; ++handle) {
        const HDC dc = reinterpret_cast<HDC>(handle);
        held += GetObjectType(dc) == OBJ_DC && WindowFromDC(dc) != nullptr ? 1 : 0;
    }
    return held;
}

// Once the queue has run empty (nothing posted earlier arrives late), the arrows and the mouse
// button come up and a tick passes: no thruster may fire, unless the fuzz sent something since.
bool HandsOffStep() {
    if (!run.handsOffDue && run.fuzzMessages - run.handsOffAt < HANDS_OFF_EVERY) {
        return false;
    }
    if (!run.handsOffDue || run.fuzzMessages != run.handsOffAt) {
        run.handsOffDue = true; // and once more if a box was fuzzed meanwhile
        run.handsOffAt = run.fuzzMessages;
        run.paused = true;
        return true;
    }
    run.handsOffDue = false;
    // Wine's cache of window DCs and their regions grows by tens in a shard: only held DCs count.
    const int gdiObjects = CountGdiObjects(BUT_WINDOW_DCS);
    if (run.gdiAfterWarmUp == 0 && run.handsOffAt >= WARM_UP_MESSAGES) {
        run.gdiAfterWarmUp = gdiObjects;
    }
    run.gdiLeft = run.gdiAfterWarmUp == 0 ? 0 : gdiObjects - run.gdiAfterWarmUp;
    if (const int held = WindowDCsHeld()) {
        Fail("the GDI count holds window DCs taken, not given back: " + std::to_string(held));
    }
    for (WPARAM key : {VK_LEFT, VK_RIGHT, VK_DOWN}) {
        Issue(FuzzMessage{mainWindow, WM_KEYUP, key, static_cast<LPARAM>(0xC0000001u), 0, 0});
    }
    const HWND capture = GetCapture();
    Issue(FuzzMessage{capture != nullptr ? capture : mainWindow, WM_LBUTTONUP, 0,
                      MAKELPARAM(100, 100), false, false});
    run.paused = true; // a box that the tick opens goes on with the steps from inside its loop
    Issue(FuzzMessage{mainWindow, WM_TIMER, GAME_TIMER_ID, 0, false, false});
    if (run.fuzzMessages == run.handsOffAt) {
        ++run.handsOffChecks;
        if (flight.thrusterOn[0] + flight.thrusterOn[1] + flight.thrusterOn[2] != 0) {
            Fail("a thruster fires with every key and the mouse button up");
        }
    }
    return true;
}

// A scroll bar tracks the mouse in a loop of its own that tells no one when it has nothing to
// do: no pause while the mouse is captured, or while a press that may start one waits.
bool ScrollBarMayTrack() {
    MSG press;
    return GetCapture() != nullptr ||
           PeekMessageA(&press, nullptr, WM_LBUTTONDOWN, WM_LBUTTONDBLCLK, PM_NOREMOVE);
}

void Step(UINT_PTR serial) {
    const bool topLevel = run.topLevelStep;
    run.topLevelStep = false;
    if (serial != expectedStep || run.done) {
        return; // a step that a later one replaced, or one left behind at the end
    }
    ++run.stepDepth;
    CheckInvariants("between messages");
    run.finishing |= !run.failures.empty() || run.fuzzMessages >= run.wanted;
    if (topLevel && !run.sessions.empty()) {
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
            // After Exit, once every loop of the old main window has ended.
            OpenMainWindow();
        } else {
            HelpLoopsEnd();
        }
    } else if (session != nullptr && session->pausesLeft > 0 && !ScrollBarMayTrack()) {
        --session->pausesLeft;
        run.paused = true;
    } else if (topLevel && session == nullptr && HandsOffStep()) {
        // the step's work is done
    } else if (generator->random.Below(1000) < (topLevel ? 5u : 20u) && !ScrollBarMayTrack()) {
        run.paused = true;
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
        Issue(BoxMessage(*generator, session->targets), true);
    }
    --run.stepDepth;
}

// WinMain's loop, until the chain of steps ends.
void RunLoop() {
    PostNextStep();
    const UINT_PTR watch = SetTimer(nullptr, 0, STALL_MS, WatchForStalls);
    while (!run.done) {
        MSG message;
        if (!PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            Resume();
            WaitMessage();
        } else if (IsLoopStep(message)) {
            run.topLevelStep = true;
            DispatchMessageA(&message);
        } else if (message.message != WM_QUIT && // posted by a main window that was closed
                   (!IsWindow(mainWindow) || !TranslateGameKeys(accelerators, &message))) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    KillTimer(nullptr, watch);
}

// What the shard's profile must have made happen, as the game's windows saw it.
void CheckWhatHappened() {
    const bool flights = run.profile == PROFILE_FLIGHTS;
    const bool boxes = run.profile == PROFILE_BOXES;
    const Check expected[] = {
        {run.boxesOpened[BOX_OTHER] == 0, "a box of no known kind opened"},
        {run.handsOffChecks > 0, "the player never let go of everything"},
        // Wine still makes up to 7 objects of its own after the warm-up (measured in 60 shards).
        {run.gdiLeft <= 8, "more GDI objects than after the warm-up, by 9 or more"},
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
