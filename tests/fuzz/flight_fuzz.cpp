// Whole games under libFuzzer: any screen from 320 x 200 to 3840 x 2160, any settings the
// Options box can store, any calibration clock, and any sequence of thrusters, commands and
// tick periods, through GameTick with the core tests' recording host, which answers as the main
// window would and notes any call the window could not take. After every tick the flight state
// must be sound; the sanitizers watch every operation on the way.
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
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
// From here up, a flight left to itself ends within MAX_TICKS: gravity is at least 1, and the
// craft falls from at most 5000 m with at most the speed that 3000 units of fuel give it.
constexpr float MIN_FINISHING_TIME_STEP = 0.05f;
// A maximised window loses a caption and the recorder's menu bar of the screen's height.
constexpr int CAPTION_HEIGHT = 19;

int nestedTicks; // ticks to run while the end-of-flight box is open

// The box: one draw for a vertical crash, and the timer ticking on while it is open, which must
// change nothing.
void WhileDialogOpen() {
    if (flight.outcome == OUTCOME_VERTICAL_CRASH) {
        NextRandom();
    }
    FlightState before;
    std::memcpy(&before, &flight, sizeof before);
    for (int i = 0; i < nestedTicks; ++i) {
        Tick();
        FUZZ_CHECK(std::memcmp(&before, &flight, sizeof before) == 0,
                   "a tick changed the game while the box was open");
    }
}

void CheckFlight() {
    FUZZ_CHECK(flight.phase >= PHASE_NEW_GAME && flight.phase <= PHASE_READY, "phase %d",
               flight.phase);
    for (int thruster = 0; thruster < THRUSTER_COUNT; ++thruster) {
        FUZZ_CHECK(flight.thrusterOn[thruster] == 0 || flight.thrusterOn[thruster] == 1,
                   "thruster %d is %d", thruster, flight.thrusterOn[thruster]);
    }
    const float values[] = {flight.altitude, flight.posX, flight.vx,
                            flight.vy,       flight.fuel, settings.timeStep};
    for (float value : values) {
        FUZZ_CHECK(std::isfinite(value), "altitude, x, vx, vy, fuel or time step %g",
                   static_cast<double>(value));
    }
    FUZZ_CHECK(flight.fuel >= 0.0f && flight.fuel <= settings.initialFuel && settings.timeStep >= 0,
               "fuel %g of %g, time step %g", static_cast<double>(flight.fuel),
               static_cast<double>(settings.initialFuel), static_cast<double>(settings.timeStep));
    FUZZ_CHECK(recorder.faults.empty(), "%s", recorder.faults[0].c_str());
    FUZZ_CHECK(recorder.openSurfaces == 0, "%d surfaces left open", recorder.openSurfaces);
    FUZZ_CHECK(flight.calibrationFrames >= 0 && flight.calibrationFrames <= CALIBRATION_TICKS,
               "calibration frame %d", flight.calibrationFrames);
    FUZZ_CHECK(flight.debrisFrame >= 0 && flight.debrisFrame <= DEBRIS_TICKS, "debris frame %d",
               flight.debrisFrame);
    if (flight.phase == PHASE_FLYING || flight.phase == PHASE_READY) {
        FUZZ_CHECK(terrainRegion != nullptr, "no terrain to fly over");
    }
}

void TickAndCheck(uint32_t period) {
    Tick(period);
    CheckFlight();
}

// What the Options box stores: three bar positions and two check boxes.
void StoreOptions(FuzzedDataProvider& input) {
    settings.gravity = GravityFromPosition(input.ConsumeIntegralInRange<int16_t>(0, 29));
    settings.initialFuel = FuelFromPosition(input.ConsumeIntegralInRange<int16_t>(0, 29));
    settings.mainThrust = ThrustFromPosition(input.ConsumeIntegralInRange<int16_t>(0, 29));
    settings.reverseSideThrust = input.ConsumeBool() ? 1 : 0;
    settings.drawFlame = input.ConsumeBool() ? 1 : 0;
}

// One player's action between two ticks, as the main window and the buttons turn it into phases
// and thruster flags.
void Act(FuzzedDataProvider& input, uint8_t action) {
    switch ((action >> 3) & 7) {
        case 4: // a key released or a click in the main window
            if (flight.phase == PHASE_READY) {
                flight.phase = PHASE_FLYING;
            }
            break;
        case 5: // New
            flight.phase = PHASE_NEW_GAME;
            break;
        case 6: // Restart
            flight.phase = PHASE_RESTART;
            break;
        case 7:
            if (input.ConsumeBool()) { // Options, OK or Cancel
                flight.phase = PHASE_DIALOG;
                if (input.ConsumeBool()) {
                    StoreOptions(input);
                }
                flight.phase = PHASE_RESTART;
            } else { // About: a pause with the timer ticking on
                const uint8_t paused = flight.phase;
                flight.phase = PHASE_DIALOG;
                TickAndCheck(50);
                flight.phase = paused;
            }
            break;
        default:
            break;
    }
    // The buttons, held or released; a press in the waiting phase starts the flight.
    for (int id = 0; id < THRUST_BUTTON_COUNT; ++id) {
        const int pressed = (action >> id) & 1;
        if (pressed != 0 && flight.thrusterOn[ThrusterOfButton(id)] == 0 &&
            flight.phase == PHASE_READY) {
            flight.phase = PHASE_FLYING;
        }
        flight.thrusterOn[ThrusterOfButton(id)] = pressed;
    }
}

// The time to the next tick: mostly the timer's 50 ms, now and then none or up to 2 s.
uint32_t Period(FuzzedDataProvider& input, uint8_t action) {
    const int kind = action >> 6;
    return kind == 1 ? 0 : kind == 2 ? input.ConsumeIntegralInRange<uint32_t>(0, 2000) : 50;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    // The process as it starts, with the craft picture's size.
    settings = DEFAULT_SETTINGS;
    flight = FlightState{};
    screen = ScreenLayout{};
    DeleteTerrain(terrainRegion);
    terrainRegion = nullptr;
    craftWidth = 32;
    craftHeight = 30;
    InstallRecorder(input.ConsumeIntegral<uint32_t>()); // any start, so the count may wrap
    recorder.keepCalls = false;
    screen.screenWidth = input.ConsumeIntegralInRange<int16_t>(320, 3840);
    const int screenHeight = input.ConsumeIntegralInRange<int>(200, 2160);
    screen.groundHeight =
        static_cast<int16_t>(screenHeight - CAPTION_HEIGHT - recorder.menuBarHeight);
    SeedRandom(input.ConsumeIntegral<uint32_t>());
    recorder.whileDialogOpen = WhileDialogOpen;
    nestedTicks = input.ConsumeIntegralInRange<int>(0, 2);
    StoreOptions(input);

    // A fresh main window: the first game, and the ten ticks that calibrate the time step, each
    // 0 to 2 s apart.
    flight.phase = PHASE_NEW_GAME;
    TickAndCheck(50);
    while (flight.phase == PHASE_CALIBRATE) {
        TickAndCheck(input.remaining_bytes() > 0 ? input.ConsumeIntegralInRange<uint32_t>(0, 2000)
                                                 : 50);
    }
    FUZZ_CHECK(flight.phase == PHASE_READY, "phase %d after calibration", flight.phase);

    int ticks = 0;
    while (input.remaining_bytes() > 0 && ticks < MAX_TICKS) {
        const uint8_t action = input.ConsumeIntegral<uint8_t>();
        Act(input, action);
        TickAndCheck(Period(input, action));
        ++ticks;
    }
    // Whatever the input left undone, the flight runs to its end with the engines off.
    std::memset(flight.thrusterOn, 0, sizeof flight.thrusterOn);
    if (flight.phase == PHASE_READY) {
        flight.phase = PHASE_FLYING;
    }
    // With a time step this short a flight outlasts any input; the ticks above have tested it.
    if (settings.timeStep >= MIN_FINISHING_TIME_STEP) {
        int more = 0;
        while (flight.phase != PHASE_DIALOG && flight.phase != PHASE_READY && more < MAX_TICKS) {
            TickAndCheck(50);
            ++more;
        }
        FUZZ_CHECK(flight.phase == PHASE_DIALOG || flight.phase == PHASE_READY,
                   "no end after %d more ticks: phase %d, altitude %g, time step %g", more,
                   flight.phase, static_cast<double>(flight.altitude),
                   static_cast<double>(settings.timeStep));
    }
    SetGameHost(nullptr);
    return 0;
}
