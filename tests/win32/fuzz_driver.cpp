#include "fuzz_driver.h"

#include <windows.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "app/instance.h"
#include "app/main_window.h"
#include "dialogs_driver.h"
#include "game/host.h"
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
constexpr int STEPS_BETWEEN_CLOSE_ATTEMPTS = 3;
constexpr int MAX_IDLE_STEPS = 2000; // steps that found nothing to do: some loop does not end
constexpr UINT DRIVER_TIMER_MS = 20; // ends a pause in loops that never go idle
constexpr DWORD WATCHDOG_RESCUE_MS = 10000;
constexpr DWORD WATCHDOG_GIVE_UP_MS = 60000;
constexpr long HANDS_OFF_EVERY = 400; // fuzz messages between two times the player lets go

const FuzzMix MIXES[PROFILE_COUNT] = {
    // timer keys mouse buttons command paint scroll sysCommand random
    {350, 180, 80, 140, 12, 30, 10, 2, 196}, // flights
    {350, 180, 80, 140, 12, 30, 10, 2, 196}, // calibration
    {300, 120, 60, 100, 50, 30, 10, 2, 328}, // boxes
    {120, 80, 40, 60, 12, 20, 10, 2, 656},   // chaos
};

struct BoxSession {
    HWND box;
    int kind;
    int budget; // messages still to fuzz it with
    bool closing;
    int closeWay;
    int closeAttempts;
    int stepsSinceAttempt;
    int pausesLeft; // the first steps let the box show and paint itself
    bool shown;
    std::vector<HWND> controls;
};

// One shard runs at a time; its state lives here from start to end.
const FuzzShard* shard = nullptr;
FuzzGenerator* generator = nullptr;
FuzzReport* report = nullptr;
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
FuzzMessage recent[RECENT_MESSAGES];
long recentCount = 0;
// The player letting go of everything: waiting for the queue to run empty, then released.
enum class HandsOff { Busy, Settling, Released };
HandsOff handsOff = HandsOff::Busy;
long handsOffAt = 0; // the fuzz messages drawn when the player last began to let go

// Read by the watchdog thread.
std::atomic<uint32_t> progress{0};
std::atomic<bool> watching{false};
std::atomic<int> rescues{0};

void Pause();
void Resume();
void Rescue(UINT_PTR);
void Step(UINT_PTR serial);

int BoxKindOf(HWND box) {
    return GetDlgItem(box, IDC_GRAVITY_BAR) != nullptr     ? BOX_OPTIONS
           : GetDlgItem(box, IDC_ENDGAME_TITLE) != nullptr ? BOX_ENDGAME
           : GetDlgItem(box, IDC_ABOUT_NOTICE) != nullptr  ? BOX_ABOUT
                                                           : BOX_OTHER;
}

std::string RecentMessages() {
    std::string text;
    const long first = recentCount > RECENT_MESSAGES ? recentCount - RECENT_MESSAGES : 0;
    for (long i = first; i < recentCount; ++i) {
        char line[32];
        std::snprintf(line, sizeof line, "\n  #%ld ", i + 1);
        text += line + DescribeMessage(recent[i % RECENT_MESSAGES]);
    }
    return text;
}

std::string GameState() {
    char text[256];
    std::snprintf(text, sizeof text,
                  "phase %d, outcome %d, thrusters %d %d %d, fuel %g, altitude %g, x %g, vx %g, "
                  "vy %g, gravity %g, fuel setting %g, thrust %g, flags %d %d",
                  flight.phase, flight.outcome, flight.thrusterOn[0], flight.thrusterOn[1],
                  flight.thrusterOn[2], flight.fuel, flight.altitude, flight.posX, flight.vx,
                  flight.vy, settings.gravity, settings.initialFuel, settings.mainThrust,
                  settings.reverseSideThrust, settings.drawFlame);
    return text;
}

// The shard, its seed and how far it got, for every report of a failure.
std::string Where() {
    char text[128];
    std::snprintf(text, sizeof text, "%s shard, seed 0x%016llX, after %ld messages",
                  ProfileName(shard->profile), static_cast<unsigned long long>(shard->seed),
                  recentCount);
    return text;
}

void Fail(const std::string& what) {
    if (!report->failure.empty()) {
        return;
    }
    report->failure = Where() + ": " + what + "\n  state: " + GameState() +
                      "\n  last messages:" + RecentMessages();
}

void CheckInvariants(const char* when) {
    if (const char* broken = BrokenInvariant()) {
        Fail(std::string(broken) + " (" + when + ")");
    }
}

LONG WINAPI ReportFault(EXCEPTION_POINTERS* exception) {
    std::fprintf(stderr, "fuzz: fault 0x%08lX at %p in the %s\n  state: %s\n  last messages:%s\n",
                 static_cast<unsigned long>(exception->ExceptionRecord->ExceptionCode),
                 exception->ExceptionRecord->ExceptionAddress, Where().c_str(), GameState().c_str(),
                 RecentMessages().c_str());
    std::fflush(stderr);
    return EXCEPTION_EXECUTE_HANDLER;
}

// Gives up on a loop that stopped dispatching: first nudges it with the input that ends the
// system's tracking loops, then ends the process with the seed on the screen.
DWORD WINAPI Watchdog(void*) {
    uint32_t seen = progress.load();
    DWORD still = 0;
    while (watching.load()) {
        Sleep(250);
        const uint32_t now = progress.load();
        if (now != seen) {
            seen = now;
            still = 0;
            continue;
        }
        still += 250;
        if (still == WATCHDOG_RESCUE_MS) {
            ++rescues;
            PostMessageA(mainWindow, WM_KEYDOWN, VK_ESCAPE, 0);
            PostMessageA(mainWindow, WM_LBUTTONUP, 0, 0);
            PostLoopStep(Rescue, 0);
        } else if (still >= WATCHDOG_GIVE_UP_MS) {
            std::fprintf(stderr, "fuzz: no progress for %lu s in the %s\n",
                         static_cast<unsigned long>(still / 1000), Where().c_str());
            std::fflush(stderr);
            ExitProcess(3);
        }
    }
    return 0;
}

void OpenSession(HWND box) {
    BoxSession session = {};
    session.box = box;
    session.kind = BoxKindOf(box);
    ++report->boxesOpened[session.kind];
    FuzzRandom& random = generator->random;
    const int longest = shard->profile == PROFILE_BOXES ? 600 : 200;
    session.budget = random.Percent(10) ? 0 : random.Between(1, longest);
    session.pausesLeft = 2;
    for (HWND child = GetWindow(box, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        session.controls.push_back(child);
    }
    sessions.push_back(session);
}

void EndSession(HWND box) {
    for (size_t i = 0; i < sessions.size(); ++i) {
        if (sessions[i].box == box) {
            report->boxesShown += sessions[i].shown ? 1 : 0;
            sessions.erase(sessions.begin() + static_cast<long>(i));
            return;
        }
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

void Issue(const FuzzMessage& message, bool closing) {
    recent[recentCount % RECENT_MESSAGES] = message;
    ++recentCount;
    report->fuzzMessages += closing ? 0 : 1;
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

void PostNextStep() {
    PostLoopStep(Step, ++expectedStep);
}

void OpenMainWindow() {
    // The fuzz is the clock; the terrain follows the shard's seed, not the time of day.
    OpenGameWindow();
    SeedRandom(generator->random.Next());
    gameTargets = FuzzTargets{};
    gameTargets.main = mainWindow;
    GetClientRect(mainWindow, &gameTargets.client);
    for (int id = 0; id < THRUST_BUTTON_COUNT; ++id) {
        gameTargets.buttons[id] = thrustButtons[id];
        RECT& rect = gameTargets.buttonRects[id];
        GetWindowRect(thrustButtons[id], &rect);
        MapWindowPoints(nullptr, mainWindow, reinterpret_cast<POINT*>(&rect), 2);
    }
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
    ++idleSteps;
    if (idleSteps == MAX_IDLE_STEPS) {
        Fail("a loop went on for " + std::to_string(MAX_IDLE_STEPS) + " steps with nothing to do");
    } else if (idleSteps == 2 * MAX_IDLE_STEPS) {
        std::fprintf(stderr, "fuzz: a loop does not end\n%s\n", report->failure.c_str());
        std::fflush(stderr);
        ExitProcess(4);
    }
}

void CloseStep(BoxSession& session) {
    if (!session.closing) {
        session.closing = true;
        session.closeWay = static_cast<int>(generator->random.Below(6));
        session.stepsSinceAttempt = STEPS_BETWEEN_CLOSE_ATTEMPTS;
    }
    if (session.stepsSinceAttempt < STEPS_BETWEEN_CLOSE_ATTEMPTS) {
        ++session.stepsSinceAttempt;
        return;
    }
    const HWND box = session.box;
    if (session.closeAttempts == MAX_CLOSE_ATTEMPTS) {
        Fail(std::string("the ") + BoxKindName(session.kind) + " box does not close");
        EndDialog(box, -2);
        HelpLoopsEnd();
        return;
    }
    // OK, Cancel, then the ways of dialogs_driver.h, each in turn from a random one.
    const int way = (session.closeWay + session.closeAttempts) % 6;
    ++session.closeAttempts;
    session.stepsSinceAttempt = 0;
    // A scroll bar of the box may be tracking the mouse in a loop of its own, which goes on
    // until the button comes up; the box's loop sees the close only after that.
    if (session.closeAttempts > 1) {
        Issue(FuzzMessage{box, WM_LBUTTONUP, 0, 0, true, false}, true);
    }
    if (way < 2) {
        PostCommand(box, way == 0 ? IDOK : IDCANCEL);
    } else {
        PostClose(box, static_cast<CloseWay>(way - 2));
    }
    idleSteps = 0;
}

// Every so often the player lets go of everything. First the queue runs empty, so that nothing
// posted earlier (a key press, a click) arrives late; then the three arrow keys and the mouse
// button come up and a tick passes. No thruster may fire then, checked at the next step at the
// top, unless the fuzz has sent something since (a box that the tick opened is fuzzed).
bool HandsOffStep() {
    switch (handsOff) {
        case HandsOff::Busy:
            if (report->fuzzMessages - handsOffAt < HANDS_OFF_EVERY) {
                return false;
            }
            handsOff = HandsOff::Settling;
            handsOffAt = report->fuzzMessages;
            Pause();
            return true;
        case HandsOff::Settling:
            if (report->fuzzMessages != handsOffAt) {
                handsOffAt = report->fuzzMessages; // a box opened meanwhile: wait once more
                Pause();
                return true;
            }
            break;
        case HandsOff::Released:
            handsOff = HandsOff::Busy;
            if (report->fuzzMessages == handsOffAt) {
                ++report->handsOffChecks;
                for (int32_t on : flight.thrusterOn) {
                    if (on != 0) {
                        Fail("a thruster fires with every key and the mouse button up");
                    }
                }
            }
            return false;
    }
    handsOff = HandsOff::Released;
    PostNextStep();
    for (WPARAM key : {VK_LEFT, VK_RIGHT, VK_DOWN}) {
        Issue(
            FuzzMessage{mainWindow, WM_KEYUP, key, static_cast<LPARAM>(0xC0000001u), false, false},
            true);
    }
    // The mouse button comes up where the capture sends it, or over the sky.
    HWND capture = GetCapture();
    Issue(FuzzMessage{capture != nullptr ? capture : mainWindow, WM_LBUTTONUP, 0,
                      PackPoint(100, 100), false, false},
          true);
    Issue(FuzzMessage{mainWindow, WM_TIMER, GAME_TIMER_ID, 0, false, false}, true);
    return true;
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

void ContinueFuzz(bool topLevel) {
    if (!report->failure.empty() || report->fuzzMessages >= shard->messages) {
        finishing = true;
    }
    if (topLevel && !sessions.empty()) {
        // No loop runs at the top: a box still here has outlived its own.
        Fail(std::string("the ") + BoxKindName(sessions.back().kind) + " box outlived its loop");
        for (const BoxSession& session : sessions) {
            DestroyWindow(session.box);
        }
        sessions.clear();
    }
    BoxSession* session = sessions.empty() ? nullptr : &sessions.back();
    if (finishing) {
        if (session != nullptr) {
            PostNextStep();
            CloseStep(*session);
        } else if (!topLevel) {
            PostNextStep();
            HelpLoopsEnd();
        } else {
            done = true;
        }
        return;
    }
    if (!IsWindow(mainWindow)) {
        // Exit, or a way to it: a new main window, once every loop of the old one has ended.
        PostNextStep();
        if (topLevel) {
            OpenMainWindow();
        } else {
            HelpLoopsEnd();
        }
        return;
    }
    if (stepDepth > MAX_STEP_DEPTH) {
        PostNextStep();
        HelpLoopsEnd();
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
    if (session != nullptr) {
        if (session->closing || session->budget <= 0 || session->kind == BOX_OTHER ||
            static_cast<int>(sessions.size()) > MAX_OPEN_BOXES) {
            CloseStep(*session);
        } else {
            --session->budget;
            session->shown = session->shown || IsWindowVisible(session->box);
            FuzzTargets targets = gameTargets;
            targets.box = session->box;
            targets.boxKind = session->kind;
            targets.controls = session->controls;
            Issue(BoxMessage(*generator, targets), false);
        }
        return;
    }
    Issue(GameMessage(*generator, MIXES[shard->profile], gameTargets), false);
}

void Step(UINT_PTR serial) {
    // Top level: dispatched by the driver's own loop, with no other loop running.
    const bool topLevel = topLevelStep;
    topLevelStep = false;
    if (serial != expectedStep || done) {
        return; // a step the watchdog replaced, or one left behind at the end
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

// The chain was lost in a loop that discards messages: a new one starts.
void Rescue(UINT_PTR) {
    if (!done) {
        paused = false;
        PostNextStep();
    }
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
            continue;
        }
        if (message.message == WM_QUIT) {
            continue; // posted by a main window that was closed
        }
        if (IsLoopStep(message)) {
            topLevelStep = true;
            DispatchMessageA(&message);
            continue;
        }
        if (IsWindow(mainWindow) &&
            TranslateAcceleratorA(mainWindow, accelerators, &message) != 0) {
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    KillTimer(nullptr, timer);
}

} // namespace

const char* ProfileName(int profile) {
    const char* const names[PROFILE_COUNT] = {"Flights", "Calibration", "Boxes", "Chaos"};
    return names[profile % PROFILE_COUNT];
}

uint64_t FuzzBaseSeed() {
    const char* text = std::getenv("TAVUNE_FUZZ_SEED");
    if (text == nullptr || *text == '\0') {
        return FUZZ_DEFAULT_SEED;
    }
    return std::strtoull(text, nullptr, 0);
}

uint64_t FuzzShardSeed(uint64_t baseSeed, int index) {
    FuzzRandom mixer(baseSeed ^ (static_cast<uint64_t>(index) * 0xD1B54A32D192ED03ull));
    return mixer.Next64();
}

const char* BrokenInvariant() {
    if (flight.phase > PHASE_READY) {
        return "phase outside 0 to 13";
    }
    for (int32_t on : flight.thrusterOn) {
        if (on != 0 && on != 1) {
            return "a thruster flag is neither 0 nor 1";
        }
    }
    if (!std::isfinite(flight.fuel) || flight.fuel < 0.0f) {
        return "fuel negative or not finite";
    }
    if (!std::isfinite(flight.altitude) || !std::isfinite(flight.posX) ||
        !std::isfinite(flight.vx) || !std::isfinite(flight.vy)) {
        return "a position or velocity is not finite";
    }
    if (flight.outcome > OUTCOME_LOST) {
        return "outcome outside 0 to 5";
    }
    for (int32_t tracking : buttonTracking) {
        if (tracking != 0 && tracking != 1) {
            return "a button's tracking flag is neither 0 nor 1";
        }
    }
    if ((settings.reverseSideThrust != 0 && settings.reverseSideThrust != 1) ||
        (settings.drawFlame != 0 && settings.drawFlame != 1)) {
        return "a settings flag is neither 0 nor 1";
    }
    if (!(settings.gravity >= 1.0f && settings.gravity <= 10.7f) ||
        !(settings.initialFuel >= 100.0f && settings.initialFuel <= 3000.0f) ||
        !(settings.mainThrust >= 2500.0f && settings.mainThrust <= 38750.0f)) {
        return "a setting outside what the Options box can store";
    }
    if (!std::isfinite(settings.timeStep) || settings.timeStep < 0.0f) {
        return "time step negative or not finite";
    }
    return nullptr;
}

FuzzReport RunFuzzShard(const FuzzShard& theShard) {
    FuzzReport result;
    FuzzGenerator theGenerator(theShard.seed);
    shard = &theShard;
    generator = &theGenerator;
    report = &result;
    sessions.clear();
    stepDepth = 0;
    idleSteps = 0;
    finishing = false;
    done = false;
    paused = false;
    recentCount = 0;
    handsOff = HandsOff::Busy;
    handsOffAt = 0;
    rescues = 0;

    accelerators = LoadAcceleratorsA(appInstance, MAKEINTRESOURCEA(IDR_ACCELERATORS));
    PumpMessages();
    // Wine makes its fonts, brushes and bitmaps for a first window once and keeps them.
    OpenGameWindow();
    CloseGameWindow();
    ResetGameAndDrawing();
    if (theShard.profile != PROFILE_CALIBRATION) {
        // As after a first game whose ten ticks took 50 ms each.
        flight.calibrated = 1;
        settings.timeStep = 0.375f;
    }
    const int gdiBefore = CountGdiObjects(false);
    const int windowDCsBefore = CountGdiObjects() - gdiBefore;
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
    CloseGameWindow();
    result.gdiObjectsLeft = CountGdiObjects(false) - gdiBefore;
    result.windowDCsLeft = CountGdiObjects() - result.gdiObjectsLeft - gdiBefore - windowDCsBefore;
    if (rescues.load() > 0) {
        Fail("the message loop stopped dispatching for " +
             std::to_string(WATCHDOG_RESCUE_MS / 1000) + " s");
    }
    result.coverage = theGenerator.coverage;
    SetUnhandledExceptionFilter(nullptr);
    shard = nullptr;
    generator = nullptr;
    report = nullptr;
    return result;
}
