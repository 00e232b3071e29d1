// The game's data model: the tunable settings, the state of the craft and the game, and the
// screen geometry that ties the flight to the picture. Each record exists once for the whole
// process; nothing is persisted, so every run starts from the defaults given in state.cpp.
#ifndef TAVUNE_GAME_STATE_H
#define TAVUNE_GAME_STATE_H

#include <cstdint>

enum GamePhase : uint8_t {
    PHASE_NEW_GAME = 1,
    PHASE_CALIBRATE = 2,
    PHASE_RESTART = 3,
    PHASE_FLYING = 4,
    PHASE_TOUCHDOWN = 5,
    PHASE_LANDED = 6,
    PHASE_CRASH_SINK = 7,
    PHASE_EXPLODE_2 = 8,
    PHASE_EXPLODE_3 = 9,
    PHASE_DEBRIS = 10,
    PHASE_LOST = 11,
    PHASE_DIALOG = 12,
    PHASE_READY = 13,
};

enum Outcome : uint8_t {
    OUTCOME_LANDED = 1,
    OUTCOME_VERTICAL_CRASH = 2,
    OUTCOME_HORIZONTAL_CRASH = 3,
    OUTCOME_MISSED_SITE = 4,
    OUTCOME_LOST = 5,
};

// Indexes into FlightState::thrusterOn.
enum {
    THRUSTER_MAIN = 0,
    THRUSTER_RIGHT = 1, // pushes toward -x; its flame is on the craft's right
    THRUSTER_LEFT = 2,  // pushes toward +x; its flame is on the craft's left
    THRUSTER_COUNT = 3,
};

struct GameSettings {
    float dryMass;
    float initialFuel;
    float mainThrust;
    float sideThrust;
    float mainBurnRate;
    float sideBurnRate;
    float gravity;
    float maxLandingSpeedX;
    float maxLandingSpeedY;
    float timeStep;
    int32_t reverseSideThrust;
    int32_t drawFlame;
};

struct FlightState {
    float altitude; // metres above the landing site
    float posX;     // metres right of the screen's centre column
    float vx;
    float vy; // positive upward
    float fuel;
    int32_t thrusterOn[THRUSTER_COUNT];
    uint8_t phase;   // a GamePhase; 0 until the main window exists
    uint8_t outcome; // an Outcome; 0 until the first flight ends
    int16_t crashX;
    int16_t crashY;
    int16_t debrisFrame;
    int16_t calibrationFrames;
    uint32_t calibrationStartTick;
    int32_t calibrated;
    // What stands where the craft came down: 0 while the craft is whole, else one more than the
    // crash picture drawn there last (a GamePicture), so that a repaint shows the wreck.
    int16_t wreckPicture;
};

struct ScreenLayout {
    int16_t screenWidth;
    int16_t groundHeight; // height of the play area; its bottom row counts as ground
    int16_t originX;      // screen column of posX 0
    int16_t originY;      // screen row of the craft picture's top edge at altitude 0
};

struct ScreenPoint {
    int16_t x;
    int16_t y;
};

// The craft's start: 1000 m up, over the centre column.
constexpr float START_ALTITUDE = 1000.0f;

// Nearest floats to 1/600 and 1/1200: 600 m across half the screen, 1200 m up to its top.
constexpr float WORLD_TO_SCREEN_X = 1.0f / 600.0f;
constexpr float WORLD_TO_SCREEN_Y = 1.0f / 1200.0f;

extern const GameSettings DEFAULT_SETTINGS;
extern GameSettings settings;
extern FlightState flight;
extern ScreenLayout screen;

// Puts the craft at its start, whole and with a full tank; leaves thrusters, phase and the rest
// alone.
void ResetCraft();

// Screen position of the craft picture's top-left corner. The drawing and the touchdown judge
// both use it, so the judge probes exactly where the craft was drawn.
ScreenPoint WorldToScreen(float posX, float altitude);

#endif
