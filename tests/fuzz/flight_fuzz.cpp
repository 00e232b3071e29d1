// Whole games under libFuzzer: any screen, settings the Options box can store, calibration clock,
// thrusters, commands and tick periods, through the core tests' recording host, which notes any
// call the main window could not take. After every tick the flight state must be sound.
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstring>

#include "fuzz_check.h"
#include "game/contact.h"
#include "game/option_scale.h"
#include "game/random.h"
#include "game/state.h"
#include "game/terrain.h"
#include "game/tick.h"
#include "recording_host.h"

namespace {

constexpr int MAX_TICKS = 20000;

void TickAndCheck(uint32_t period) {
    Tick(period);
    FUZZ_CHECK(flight.phase >= PHASE_NEW_GAME && flight.phase <= PHASE_READY &&
                   (terrainRegion != nullptr ||
                    (flight.phase != PHASE_FLYING && flight.phase != PHASE_READY)),
               "phase %d over terrain %p", flight.phase, static_cast<void*>(terrainRegion));
    for (float value : {flight.altitude, flight.posX, flight.vx, flight.vy, settings.timeStep}) {
        FUZZ_CHECK(std::isfinite(value), "altitude, x, vx, vy or time step %g", double{value});
    }
    FUZZ_CHECK(flight.fuel >= 0.0f && flight.fuel <= settings.initialFuel && settings.timeStep >= 0,
               "fuel %g of %g, time step %g", double{flight.fuel}, double{settings.initialFuel},
               double{settings.timeStep});
    FUZZ_CHECK(recorder.faults.empty(), "%s", recorder.faults[0].c_str());
    FUZZ_CHECK(recorder.openSurfaces == 0, "%d surfaces left open", recorder.openSurfaces);
    FUZZ_CHECK(flight.calibrationFrames >= 0 && flight.calibrationFrames <= CALIBRATION_TICKS &&
                   flight.debrisFrame >= 0 && flight.debrisFrame <= DEBRIS_TICKS,
               "calibration frame %d, debris frame %d", flight.calibrationFrames,
               flight.debrisFrame);
}

// What the Options box stores: three bar positions.
void StoreOptions(FuzzedDataProvider& input) {
    settings.gravity = GravityFromPosition(input.ConsumeIntegralInRange<int16_t>(0, 29));
    settings.initialFuel = FuelFromPosition(input.ConsumeIntegralInRange<int16_t>(0, 29));
    settings.mainThrust = ThrustFromPosition(input.ConsumeIntegralInRange<int16_t>(0, 29));
}

// One player's action, as the main window and the buttons turn it into phases and thrusters.
void Act(FuzzedDataProvider& input, uint8_t action) {
    const int command = (action >> 3) & 7;
    if (command == 4 && flight.phase == PHASE_READY) { // a key released or a click in the window
        flight.phase = PHASE_FLYING;
    } else if (command == 5 || command == 6) { // New or Restart
        flight.phase = command == 5 ? PHASE_NEW_GAME : PHASE_RESTART;
    } else if (command == 7 && input.ConsumeBool()) { // Options, OK or Cancel
        if (input.ConsumeBool()) {
            StoreOptions(input);
        }
        flight.phase = PHASE_RESTART;
    } else if (command == 7) { // About: a pause with the timer ticking on
        const uint8_t paused = flight.phase;
        flight.phase = PHASE_DIALOG;
        TickAndCheck(50);
        flight.phase = paused;
    }
    // A press while waiting starts the flight.
    for (int id = 0; id < THRUST_BUTTON_COUNT; ++id) {
        const int pressed = (action >> id) & 1;
        if (pressed != 0 && flight.thrusterOn[id] == 0 && flight.phase == PHASE_READY) {
            flight.phase = PHASE_FLYING;
        }
        flight.thrusterOn[id] = pressed;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    // A fresh process, on a maximised window's play area: the screen less a caption and a menu.
    settings = DEFAULT_SETTINGS;
    flight = FlightState{};
    DeleteTerrain(terrainRegion);
    terrainRegion = nullptr;
    craftWidth = 32;
    craftHeight = 30;
    InstallRecorder(input.ConsumeIntegral<uint32_t>()); // any start, so the count may wrap
    recorder.keepCalls = false;
    const int16_t width = input.ConsumeIntegralInRange<int16_t>(320, 3840);
    const int height = input.ConsumeIntegralInRange<int>(200, 2160) - 19 - recorder.menuBarHeight;
    screen = ScreenLayout{width, static_cast<int16_t>(height), 0, 0};
    SeedRandom(input.ConsumeIntegral<uint32_t>());
    // The box: one draw for a vertical crash, and ticks that must change nothing.
    recorder.whileDialogOpen = [nested = input.ConsumeIntegralInRange<int>(0, 2)] {
        if (flight.outcome == OUTCOME_VERTICAL_CRASH) {
            NextRandom();
        }
        FlightState before;
        std::memcpy(&before, &flight, sizeof before);
        for (int i = 0; i < nested; ++i) {
            Tick();
            FUZZ_CHECK(std::memcmp(&before, &flight, sizeof before) == 0,
                       "a tick changed the game while the box was open");
        }
    };
    StoreOptions(input);

    // The first game calibrates with the window shut to input; then each action is followed by
    // a tick, mostly after the timer's 50 ms, now and then after none or up to 2 s.
    flight.phase = PHASE_NEW_GAME;
    TickAndCheck(50);
    for (int ticks = 0; input.remaining_bytes() > 0 && ticks < MAX_TICKS; ++ticks) {
        const bool calibrating = flight.phase == PHASE_CALIBRATE;
        const uint8_t action = calibrating ? 0x80 : input.ConsumeIntegral<uint8_t>();
        if (!calibrating) {
            Act(input, action);
        }
        const int wait = action >> 6;
        TickAndCheck(wait == 1   ? 0
                     : wait == 2 ? input.ConsumeIntegralInRange<uint32_t>(0, 2000)
                                 : 50);
        FUZZ_CHECK(!calibrating || flight.phase == PHASE_CALIBRATE || flight.phase == PHASE_READY,
                   "phase %d after calibration", flight.phase);
    }
    // Then the flight runs to its end with the engines off: within MAX_TICKS from a time step of
    // 0.05 up, as gravity is at least 1 and the craft at most 5000 m up.
    std::memset(flight.thrusterOn, 0, sizeof flight.thrusterOn);
    for (int more = 0; settings.timeStep >= 0.05f && flight.phase != PHASE_DIALOG; ++more) {
        FUZZ_CHECK(more < MAX_TICKS, "no end after %d more ticks: phase %d, altitude %g", more,
                   flight.phase, double{flight.altitude});
        flight.phase = flight.phase == PHASE_READY ? uint8_t{PHASE_FLYING} : flight.phase;
        TickAndCheck(50);
    }
    SetGameHost(nullptr);
    return 0;
}
