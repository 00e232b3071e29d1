#include "recording_host.h"

#include <cstdio>

#include "game/contact.h"
#include "game/state.h"
#include "game/tick.h"

Recorder recorder;

int Recorder::Count(const std::string& prefix) const {
    int count = 0;
    for (const std::string& call : calls) {
        if (call.compare(0, prefix.size(), prefix) == 0) {
            ++count;
        }
    }
    return count;
}

static std::string Format(const char* format, int a = 0, int b = 0, int c = 0, int d = 0) {
    char text[96];
    std::snprintf(text, sizeof text, format, a, b, c, d);
    return text;
}

static GameWindow TheWindow() {
    return reinterpret_cast<GameWindow>(0x1234);
}
static DrawSurface TheSurface() {
    return reinterpret_cast<DrawSurface>(0x5678);
}

static DrawSurface GetSurface(GameWindow) {
    ++recorder.openSurfaces;
    recorder.calls.push_back("getSurface");
    return TheSurface();
}

static void ReleaseSurface(GameWindow, DrawSurface) {
    --recorder.openSurfaces;
    recorder.calls.push_back("releaseSurface");
}

static int DrawCraft(DrawSurface, int eraseTrail) {
    const ScreenPoint at = WorldToScreen(flight.posX, flight.altitude);
    recorder.calls.push_back(
        Format("drawCraft %d phase %d at %d %d", eraseTrail, flight.phase, at.x, at.y));
    return CraftTouchesGround(at);
}

static void DrawInstruments(DrawSurface, int force) {
    recorder.calls.push_back(Format("drawInstruments %d", force));
}

static void DrawPicture(DrawSurface, int16_t x, int16_t y, int picture) {
    recorder.calls.push_back(Format("picture %d at %d %d", picture, x, y));
}

static void CopyCraft(DrawSurface, int16_t x, int16_t y) {
    recorder.calls.push_back(Format("copyCraft %d %d", x, y));
}

static void FillBlack(DrawSurface, int left, int top, int right, int bottom) {
    recorder.calls.push_back(Format("fillBlack %d %d %d %d", left, top, right, bottom));
}

static void Repaint(GameWindow) {
    recorder.calls.push_back("repaint");
}

static void EnableInput(GameWindow, int enable) {
    recorder.inputEnabled = enable;
    recorder.calls.push_back(Format("enableInput %d", enable));
}

static void ShowBusyCursor(int busy) {
    recorder.busyCursor = busy;
    recorder.calls.push_back(Format("busyCursor %d", busy));
}

static void FocusWindow(GameWindow) {
    recorder.calls.push_back("focus");
}

static void ReleaseThrustButton(int id) {
    flight.thrusterOn[id == 1 ? THRUSTER_LEFT : id == 2 ? THRUSTER_RIGHT : THRUSTER_MAIN] = 0;
    recorder.calls.push_back(Format("releaseButton %d", id));
}

static void ShowEndGameDialog(GameWindow) {
    recorder.calls.push_back(Format("endGameDialog %d", flight.outcome));
    recorder.dialogs.push_back(DialogRecord{flight.outcome, flight.phase});
    if (recorder.whileDialogOpen) {
        recorder.whileDialogOpen();
    }
}

static uint32_t TickCount() {
    return recorder.clock;
}
static int MenuBarHeight() {
    return recorder.menuBarHeight;
}

static const GameHost RECORDING_HOST = {
    GetSurface,  ReleaseSurface,      DrawCraft,         DrawInstruments, DrawPicture,
    CopyCraft,   FillBlack,           Repaint,           EnableInput,     ShowBusyCursor,
    FocusWindow, ReleaseThrustButton, ShowEndGameDialog, TickCount,       MenuBarHeight,
};

void InstallRecorder(uint32_t startClock) {
    recorder = Recorder{};
    recorder.clock = startClock;
    SetGameHost(&RECORDING_HOST);
}

void Tick(uint32_t periodMs) {
    recorder.clock += periodMs;
    GameTick(TheWindow());
}

int TickWhilePhase(int phase, int limit) {
    int ticks = 0;
    while (flight.phase == phase && ticks < limit) {
        Tick();
        ++ticks;
    }
    return ticks;
}
