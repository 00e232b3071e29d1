#include "fuzz_driver.h"

#include <windows.h>

#include <atomic>
#include <bitset>
#include <cmath>
#include <cstdio>

#include "app/instance.h"
#include "app/main_window.h"
#include "dialogs_driver.h"
#include "fuzz_messages.h"
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

constexpr int MAX_OPEN_BOXES = 2;  // deeper boxes are closed at once
constexpr int MAX_STEP_DEPTH = 16; // steps inside one another's loops
constexpr int RECENT_MESSAGES = 8; // shown with a failure
constexpr int MAX_CLOSE_ATTEMPTS = 12;
constexpr int STEPS_PER_CLOSE_ATTEMPT = 4;
constexpr int MAX_IDLE_STEPS = 2000;  // steps that found nothing to do: some loop does not end
constexpr UINT DRIVER_TIMER_MS = 20;  // ends a pause in loops that never go idle
constexpr DWORD WATCHDOG_MS = 15000;  // no step for this long: a loop has stopped dispatching
constexpr long HANDS_OFF_EVERY = 400; // fuzz messages between two times the player lets go
// Wine fills its caches of fonts, brushes and window DCs with the first boxes, menus and scroll
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
    bool shown;     // on the screen while the fuzz worked on it
    int closeWay;   // -1 until it is being closed
    int closeSteps;
    std::vector<HWND> controls;
};

// What the main window and the boxes received, counted as it came in.
struct Received {
    std::bitset<256> keyDown, keyUp; // key codes, by the main window
    std::bitset<11> command;         // command ids 0 to 10, by the main window
    std::bitset<11> boxCommand;      // command ids 0 to 10, by a box
    std::bitset<11> boxScroll;       // scroll codes 0 to 10, by the Options box
};

// One shard runs at a time; its state lives here from start to end.
uint64_t seed = 0;
FuzzProfile profile = PROFILE_FLIGHTS;
long fuzzMessages = 0;
long messagesWanted = 0;
FuzzGenerator* generator = nullptr;
std::string failures;
Received received;
int boxesOpened[4] = {};
int boxesShown = 0;
int handsOffChecks = 0; // times every key and the mouse came up and nothing fired
HACCEL accelerators = nullptr;
FuzzTargets gameTargets;
std::vector<BoxSession> sessions;
UINT_PTR expectedStep = 0;
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
FuzzMessage recent[RECENT_MESSAGES];
long recentCount = 0;
WNDPROC mainProc = nullptr; // the procedures of the windows that Counted stands in front of
WNDPROC boxProc = nullptr;
std::atomic<uint32_t> progress{0}; // read by the watchdog thread
std::atomic<bool> watching{false};

void Step(UINT_PTR serial);

int BoxKindOf(HWND box) {
    return GetDlgItem(box, IDC_GRAVITY_BAR) != nullptr     ? BOX_OPTIONS
           : GetDlgItem(box, IDC_ENDGAME_TITLE) != nullptr ? BOX_ENDGAME
           : GetDlgItem(box, IDC_ABOUT_NOTICE) != nullptr  ? BOX_ABOUT
                                                           : BOX_OTHER;
}

std::string Describe(const FuzzMessage& message) {
    char className[32] = "";
    GetClassNameA(message.target, className, sizeof className);
    char text[160];
    std::snprintf(text, sizeof text, "%s 0x%04X wParam 0x%08lX lParam 0x%08lX to %p (%s, id %ld)",
                  message.post ? "posted" : "sent", message.message,
                  static_cast<unsigned long>(message.wParam),
                  static_cast<unsigned long>(message.lParam), static_cast<void*>(message.target),
                  className, static_cast<long>(GetWindowLongPtrA(message.target, GWLP_ID)));
    return text;
}

// The shard, its seed, how far it got, the game's state and the last messages.
std::string Where() {
    const char* const names[] = {"Flights", "Calibration", "Boxes", "Chaos"};
    char text[384];
    std::snprintf(text, sizeof text,
                  "%s shard, seed 0x%016llX, after %ld messages\n  state: phase %d, outcome %d, "
                  "thrusters %d %d %d, fuel %g, altitude %g, x %g, vx %g, vy %g, gravity %g, "
                  "fuel setting %g, thrust %g, flags %d %d\n  last messages:",
                  names[profile], static_cast<unsigned long long>(seed), recentCount, flight.phase,
                  flight.outcome, flight.thrusterOn[0], flight.thrusterOn[1], flight.thrusterOn[2],
                  flight.fuel, flight.altitude, flight.posX, flight.vx, flight.vy, settings.gravity,
                  settings.initialFuel, settings.mainThrust, settings.reverseSideThrust,
                  settings.drawFlame);
    std::string where = text;
    for (long i = recentCount > RECENT_MESSAGES ? recentCount - RECENT_MESSAGES : 0;
         i < recentCount; ++i) {
        where += "\n  #" + std::to_string(i + 1) + " " + Describe(recent[i % RECENT_MESSAGES]);
    }
    return where;
}

// The first failure of the run, with where it happened; the checks at the end add theirs.
void Fail(const std::string& what) {
    if (failures.empty()) {
        failures = what + " in the " + Where() + "\n";
    }
}

void CheckInvariants(const char* when) {
    if (const char* broken = BrokenInvariant()) {
        Fail(std::string(broken) + " (" + when + ")");
    }
}

LONG WINAPI ReportFault(EXCEPTION_POINTERS* exception) {
    std::fprintf(stderr, "fuzz: fault 0x%08lX at %p in the %s\n",
                 static_cast<unsigned long>(exception->ExceptionRecord->ExceptionCode),
                 exception->ExceptionRecord->ExceptionAddress, Where().c_str());
    std::fflush(stderr);
    return EXCEPTION_EXECUTE_HANDLER;
}

// Ends the process, with the seed on the screen, when the steps have stopped coming.
DWORD WINAPI Watchdog(void*) {
    uint32_t seen = progress.load();
    for (DWORD still = 0; watching.load(); Sleep(250)) {
        still = seen == progress.load() ? still + 250 : 0;
        seen = progress.load();
        if (still >= WATCHDOG_MS) {
            std::fprintf(stderr, "fuzz: no progress for %lu s in the %s\n",
                         static_cast<unsigned long>(still / 1000), Where().c_str());
            std::fflush(stderr);
            ExitProcess(3);
        }
    }
    return 0;
}

// Stands in front of the main window's and each box's procedure, to count what they received.
LRESULT CALLBACK Counted(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const bool main = window == gameTargets.main;
    const WORD low = LOWORD(wParam);
    if (main && (message == WM_KEYDOWN || message == WM_KEYUP) && wParam < 256) {
        (message == WM_KEYDOWN ? received.keyDown : received.keyUp).set(wParam);
    } else if (message == WM_COMMAND && low <= 10) {
        (main ? received.command : received.boxCommand).set(low);
    } else if (!main && message == WM_HSCROLL && low <= 10 && BoxKindOf(window) == BOX_OPTIONS) {
        received.boxScroll.set(low);
    }
    return CallWindowProcA(main ? mainProc : boxProc, window, message, wParam, lParam);
}

WNDPROC CountWhatReaches(HWND window) {
    return reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Counted)));
}

void OpenSession(HWND box) {
    BoxSession session = {box, BoxKindOf(box), 0, 2, false, -1, 0, {}};
    ++boxesOpened[session.kind];
    FuzzRandom& random = generator->random;
    session.budget =
        random.Percent(10) ? 0 : random.Between(1, profile == PROFILE_BOXES ? 600 : 200);
    for (HWND child = GetWindow(box, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        session.controls.push_back(child);
    }
    boxProc = CountWhatReaches(box); // the dialog class's, the same for every box
    sessions.push_back(session);
}

void EndSession(HWND box) {
    for (auto session = sessions.begin(); session != sessions.end(); ++session) {
        if (session->box == box) {
            boxesShown += session->shown ? 1 : 0;
            sessions.erase(session);
            return;
        }
    }
}

void PostNextStep() {
    PostLoopStep(Step, ++expectedStep);
}

// Leaves the queue empty for once: a box is shown, and anything invalid painted, only when its
// loop finds nothing else to do. The next step follows at WM_ENTERIDLE, when the driver's loop
// finds the queue empty, or at the latest on the driver's timer.
void Pause() {
    paused = true;
}

void Resume() {
    if (paused && !done) {
        paused = false;
        PostNextStep();
    }
}

// Every message sent inside the thread passes here after its window handled it.
void AfterSentMessage(const CWPRETSTRUCT& call) {
    switch (call.message) {
        case WM_INITDIALOG:
            OpenSession(call.hwnd);
            break;
        case WM_DESTROY:
            EndSession(call.hwnd);
            break;
        case WM_ENTERIDLE:
            Resume();
            break;
        case WM_ENTERMENULOOP:
            // A menu would wait for a player to pick from it: cancel it at once.
            PostMessageA(call.hwnd, WM_CANCELMODE, 0, 0);
            break;
        default:
            break;
    }
    CheckInvariants("after a message sent on the way");
}

// The driver's own messages (closing a box, letting go) are no fuzz messages.
void Issue(const FuzzMessage& message, bool fuzz = false) {
    recent[recentCount++ % RECENT_MESSAGES] = message;
    fuzzMessages += fuzz ? 1 : 0;
    if (message.invalidateFirst) {
        InvalidateRect(message.target, nullptr, TRUE);
    }
    if (message.post) {
        PostMessageA(message.target, message.message, message.wParam, message.lParam);
    } else {
        SendMessageA(message.target, message.message, message.wParam, message.lParam);
    }
    idleSteps = 0;
    CheckInvariants("after the message");
}

void OpenMainWindow() {
    // The fuzz is the clock; the terrain follows the shard's seed, not the time of day.
    OpenGameWindow();
    SeedRandom(static_cast<uint32_t>(generator->random.Next64()));
    gameTargets = FuzzTargets{};
    gameTargets.main = mainWindow;
    GetClientRect(mainWindow, &gameTargets.client);
    for (int id = 0; id < THRUST_BUTTON_COUNT; ++id) {
        gameTargets.buttons[id] = thrustButtons[id];
        RECT& rect = gameTargets.buttonRects[id];
        GetWindowRect(thrustButtons[id], &rect);
        MapWindowPoints(nullptr, mainWindow, reinterpret_cast<POINT*>(&rect), 2);
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
    if (++idleSteps == MAX_IDLE_STEPS) {
        Fail("a loop went on for " + std::to_string(MAX_IDLE_STEPS) + " steps with nothing to do");
    } else if (idleSteps == 2 * MAX_IDLE_STEPS) {
        std::fprintf(stderr, "fuzz: a loop does not end\n%s\n", failures.c_str());
        std::fflush(stderr);
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
    idleSteps = 0;
}

// Every so often the player lets go of everything. First the queue runs empty, so that nothing
// posted earlier (a key press, a click) arrives late; then the three arrow keys and the mouse
// button come up and a tick passes, after which no thruster may fire, unless the fuzz has sent
// something meanwhile (to a box that the tick opened).
bool HandsOffStep() {
    if (!handsOffDue && fuzzMessages - handsOffAt < HANDS_OFF_EVERY) {
        return false;
    }
    if (!handsOffDue || fuzzMessages != handsOffAt) {
        handsOffDue = true; // and once more if a box was fuzzed meanwhile
        handsOffAt = fuzzMessages;
        Pause();
        return true;
    }
    handsOffDue = false;
    // Window DCs and their regions aside: Wine's cache of them grows by tens in a shard.
    const int gdiObjects = CountGdiObjects(false);
    if (gdiAfterWarmUp == 0 && handsOffAt >= WARM_UP_MESSAGES) {
        gdiAfterWarmUp = gdiObjects;
    }
    gdiLeft = gdiAfterWarmUp == 0 ? 0 : gdiObjects - gdiAfterWarmUp;
    for (WPARAM key : {VK_LEFT, VK_RIGHT, VK_DOWN}) {
        Issue(FuzzMessage{mainWindow, WM_KEYUP, key, static_cast<LPARAM>(0xC0000001u), 0, 0});
    }
    // The mouse button comes up where the capture sends it, or over the sky.
    const HWND capture = GetCapture();
    Issue(FuzzMessage{capture != nullptr ? capture : mainWindow, WM_LBUTTONUP, 0,
                      MAKELPARAM(100, 100), false, false});
    Pause(); // a box that the tick opens goes on with the steps from inside its loop
    Issue(FuzzMessage{mainWindow, WM_TIMER, GAME_TIMER_ID, 0, false, false});
    if (fuzzMessages == handsOffAt) {
        ++handsOffChecks;
        for (int32_t on : flight.thrusterOn) {
            if (on != 0) {
                Fail("a thruster fires with every key and the mouse button up");
            }
        }
    }
    return true;
}

void ContinueFuzz(bool topLevel) {
    finishing = finishing || !failures.empty() || fuzzMessages >= messagesWanted;
    if (topLevel && !sessions.empty()) {
        // No loop runs at the top: a box still here has outlived its own.
        Fail(std::string("the ") + BOX_NAMES[sessions.back().kind] + " box outlived its loop");
        for (const BoxSession& session : sessions) {
            DestroyWindow(session.box);
        }
        sessions.clear();
    }
    BoxSession* session = sessions.empty() ? nullptr : &sessions.back();
    if (finishing && session == nullptr && topLevel) {
        done = true;
        return;
    }
    if (finishing || !IsWindow(mainWindow) || stepDepth > MAX_STEP_DEPTH) {
        PostNextStep();
        if (finishing && session != nullptr) {
            CloseStep(*session);
        } else if (topLevel && !finishing) {
            // Exit, or a way to it: a new main window, once every loop of the old one has ended.
            OpenMainWindow();
        } else {
            HelpLoopsEnd();
        }
        return;
    }
    if (session != nullptr && session->pausesLeft > 0) {
        --session->pausesLeft;
        Pause();
        return;
    }
    if (topLevel && session == nullptr && HandsOffStep()) {
        return;
    }
    if (generator->random.Below(1000) < (topLevel ? 5u : 20u)) {
        Pause();
        return;
    }
    PostNextStep();
    if (session == nullptr) {
        Issue(GameMessage(*generator, MIXES[profile], gameTargets), true);
    } else if (session->closeWay >= 0 || session->budget <= 0 || session->kind == BOX_OTHER ||
               sessions.size() > MAX_OPEN_BOXES) {
        CloseStep(*session);
    } else {
        --session->budget;
        session->shown = session->shown || IsWindowVisible(session->box);
        FuzzTargets targets = gameTargets;
        targets.box = session->box;
        targets.options = session->kind == BOX_OPTIONS;
        targets.controls = session->controls;
        Issue(BoxMessage(*generator, targets), true);
    }
}

void Step(UINT_PTR serial) {
    // Top level: dispatched by the driver's own loop, with no other loop running.
    const bool topLevel = topLevelStep;
    topLevelStep = false;
    if (serial != expectedStep || done) {
        return; // a step that a later one replaced, or one left behind at the end
    }
    ++progress;
    ++stepDepth;
    CheckInvariants("between messages");
    ContinueFuzz(topLevel);
    --stepDepth;
}

void CALLBACK ResumeAfterPause(HWND, UINT, UINT_PTR, DWORD) {
    Resume();
}

// The game's own message loop, as WinMain runs it, until the chain of steps ends.
void RunLoop() {
    PostNextStep();
    const UINT_PTR timer = SetTimer(nullptr, 0, DRIVER_TIMER_MS, ResumeAfterPause);
    while (!done) {
        MSG message;
        if (!PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            Resume();
            WaitMessage();
        } else if (IsLoopStep(message)) {
            topLevelStep = true;
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
    struct Expected {
        bool holds;
        const char* what;
    };
    const bool flights = profile == PROFILE_FLIGHTS;
    const bool boxes = profile == PROFILE_BOXES;
    const Expected expected[] = {
        {boxesOpened[BOX_OTHER] == 0, "a box of no known kind opened"},
        {handsOffChecks > 0, "the player never let go of everything"},
        // Wine still makes up to 8 pens, brushes, fonts and bitmaps of its own after the warm-up
        // (measured); a leak per tick, paint, press, main window or Options box goes past.
        {gdiLeft <= 10, "GDI objects leak"},
        {received.command.all(), "some command id 0 to 10 never reached the main window"},
        {!flights || (received.keyDown.all() && received.keyUp.all()),
         "some key code never went down or up in the main window"},
        {!flights || boxesOpened[BOX_ENDGAME] > 0, "no flight was announced"},
        {!boxes || (boxesOpened[BOX_ABOUT] > 0 && boxesOpened[BOX_OPTIONS] > 0 && boxesShown > 0),
         "the About and Options boxes were not both opened, or none was shown"},
        {!boxes || (received.boxCommand.all() && received.boxScroll.all()),
         "some command id or scroll code 0 to 10 never reached a box"},
    };
    for (const Expected& check : expected) {
        if (!check.holds) {
            failures += std::string(check.what) + " (" + std::to_string(gdiLeft) +
                        " GDI objects "
                        "more than after the warm-up)\n";
        }
    }
}

bool Flag(int32_t value) {
    return value == 0 || value == 1;
}

bool Finite(float value) {
    return std::isfinite(value);
}

} // namespace

const char* BrokenInvariant() {
    const struct {
        bool holds;
        const char* broken;
    } invariants[] = {
        {flight.phase <= PHASE_READY, "phase outside 0 to 13"},
        {Flag(flight.thrusterOn[0]) && Flag(flight.thrusterOn[1]) && Flag(flight.thrusterOn[2]),
         "a thruster flag is neither 0 nor 1"},
        {Finite(flight.fuel) && flight.fuel >= 0.0f, "fuel negative or not finite"},
        {Finite(flight.altitude) && Finite(flight.posX) && Finite(flight.vx) && Finite(flight.vy),
         "a position or velocity is not finite"},
        {flight.outcome <= OUTCOME_LOST, "outcome outside 0 to 5"},
        {Flag(buttonTracking[0]) && Flag(buttonTracking[1]) && Flag(buttonTracking[2]),
         "a button's tracking flag is neither 0 nor 1"},
        {Flag(settings.reverseSideThrust) && Flag(settings.drawFlame),
         "a settings flag is neither 0 nor 1"},
        {settings.gravity >= 1.0f && settings.gravity <= 10.7f && settings.initialFuel >= 100.0f &&
             settings.initialFuel <= 3000.0f && settings.mainThrust >= 2500.0f &&
             settings.mainThrust <= 38750.0f,
         "a setting outside what the Options box can store"},
        {Finite(settings.timeStep) && settings.timeStep >= 0.0f,
         "time step negative or not finite"},
    };
    for (const auto& invariant : invariants) {
        if (!invariant.holds) {
            return invariant.broken;
        }
    }
    return nullptr;
}

std::string RunFuzzShard(uint64_t theSeed, FuzzProfile theProfile, long messages) {
    FuzzGenerator theGenerator(theSeed);
    seed = theSeed;
    profile = theProfile;
    messagesWanted = messages;
    generator = &theGenerator;
    failures.clear();
    received = Received{};
    boxesOpened[0] = boxesOpened[1] = boxesOpened[2] = boxesOpened[3] = 0;
    sessions.clear();
    fuzzMessages = recentCount = handsOffAt = 0;
    boxesShown = handsOffChecks = stepDepth = idleSteps = gdiAfterWarmUp = gdiLeft = 0;
    finishing = done = paused = handsOffDue = false;
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
    watching = true;
    HANDLE watchdog = CreateThread(nullptr, 0, Watchdog, nullptr, 0, nullptr);

    RunLoop();

    watching = false;
    WaitForSingleObject(watchdog, INFINITE);
    CloseHandle(watchdog);
    WatchSentMessages(nullptr);
    SetUnhandledExceptionFilter(nullptr);
    CloseGameWindow();
    CheckWhatHappened();
    generator = nullptr;
    return failures;
}
