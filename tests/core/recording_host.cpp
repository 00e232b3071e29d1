#include "recording_host.h"

#include <cstdio>

#include "game/contact.h"
#include "game/state.h"
#include "game/tick.h"

Recorder recorder;

static void Note(std::vector<std::string>& into, const char* format, int a, int b, int c, int d) {
    char text[96];
    std::snprintf(text, sizeof text, format, a, b, c, d);
    into.push_back(text);
}

// Formatting is most of the recorder's work: a fuzzer that reads no calls turns it off.
static void Record(const char* format, int a = 0, int b = 0, int c = 0, int d = 0) {
    ++recorder.callCount;
    if (recorder.keepCalls) {
        Note(recorder.calls, format, a, b, c, d);
    }
}

static void Fault(bool happened, const char* format, int a = 0) {
    if (happened) {
        Note(recorder.faults, format, a, 0, 0, 0);
    }
}

static const GameWindow THE_WINDOW = reinterpret_cast<GameWindow>(0x1234);
static const DrawSurface THE_SURFACE = reinterpret_cast<DrawSurface>(0x5678);

static const GameHost RECORDING_HOST = {
    [](GameWindow window) {
        Fault(window != THE_WINDOW, "a surface of another window");
        Fault(++recorder.openSurfaces > 1, "two surfaces open at once");
        Record("getSurface");
        return THE_SURFACE;
    },
    [](GameWindow window, DrawSurface surface) {
        Fault(window != THE_WINDOW || surface != THE_SURFACE, "an unknown surface released");
        Fault(--recorder.openSurfaces < 0, "a surface released twice");
        Record("releaseSurface");
    },
    [](DrawSurface, int eraseTrail) {
        const ScreenPoint at = WorldToScreen(flight.posX, flight.altitude);
        Record("drawCraft %d phase %d at %d %d", eraseTrail, flight.phase, at.x, at.y);
        return CraftTouchesGround(at);
    },
    [](DrawSurface, int force) { Record("drawInstruments %d", force); },
    [](DrawSurface, int16_t x, int16_t y, int picture) {
        Fault(picture < PICTURE_EXPLOSION_1 || picture >= PICTURE_DEBRIS_1 + DEBRIS_PICTURES,
              "no picture %d", picture);
        Record("picture %d at %d %d", picture, x, y);
    },
    [](DrawSurface, int16_t x, int16_t y) {
        Fault(y > screen.groundHeight, "the craft copied below the play area, to row %d", y);
        Record("copyCraft %d %d", x, y);
    },
    [](DrawSurface, int l, int t, int r, int b) { Record("fillBlack %d %d %d %d", l, t, r, b); },
    [](GameWindow) { Record("repaint"); },
    [](GameWindow, int enable) { Record("enableInput %d", recorder.inputEnabled = enable); },
    [](int busy) { Record("busyCursor %d", recorder.busyCursor = busy); },
    [](GameWindow) { Record("focus"); },
    [](int id) {
        Fault(id < 0 || id >= THRUST_BUTTON_COUNT, "no button %d", id);
        flight.thrusterOn[id >= 0 && id < THRUSTER_COUNT ? id : 0] = 0;
        Record("releaseButton %d", id);
    },
    // The game may open the box only in the dialog phase, on an outcome, with every thruster off.
    [](GameWindow window) {
        Fault(window != THE_WINDOW, "a box over another window");
        Fault(flight.phase != PHASE_DIALOG, "the box opened in phase %d", flight.phase);
        Fault(flight.outcome < OUTCOME_LANDED || flight.outcome > OUTCOME_LOST,
              "the box opened on outcome %d", flight.outcome);
        Fault(recorder.dialogOpen != 0, "a box opened inside a box");
        for (int on : flight.thrusterOn) {
            Fault(on != 0, "a thruster on in the box");
        }
        Record("endGameDialog %d", flight.outcome);
        ++recorder.dialogs;
        ++recorder.dialogOpen;
        const int before = recorder.callCount;
        if (recorder.whileDialogOpen && recorder.dialogOpen == 1) { // not again in a box in a box
            recorder.whileDialogOpen();
        }
        Fault(recorder.callCount != before, "%d calls while the box was open",
              recorder.callCount - before);
        --recorder.dialogOpen;
    },
    []() { return recorder.clock; },
    []() { return recorder.menuBarHeight; },
};

void InstallRecorder(uint32_t startClock) {
    recorder = Recorder{};
    recorder.clock = startClock;
    SetGameHost(&RECORDING_HOST);
}

void Tick(uint32_t periodMs) {
    recorder.clock += periodMs;
    GameTick(THE_WINDOW);
}

int TickWhilePhase(int phase, int limit) {
    int ticks = 0;
    for (; flight.phase == phase && ticks < limit; ++ticks) {
        Tick();
    }
    return ticks;
}
