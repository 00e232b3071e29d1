#include "game/state.h"

#include <cmath>

const GameSettings DEFAULT_SETTINGS = {
    1000.0f,  // dryMass
    1000.0f,  // initialFuel
    10000.0f, // mainThrust
    2000.0f,  // sideThrust
    10.0f,    // mainBurnRate
    2.0f,     // sideBurnRate
    3.0f,     // gravity
    1.0f,     // maxLandingSpeedX
    10.0f,    // maxLandingSpeedY
    0.5f,     // timeStep, replaced by the first calibration
    0,        // reverseSideThrust
    1,        // drawFlame
};

GameSettings settings = DEFAULT_SETTINGS;
FlightState flight = {};
ScreenLayout screen = {};

void ResetCraft() {
    flight.altitude = START_ALTITUDE;
    flight.posX = 0.0f;
    flight.vx = 0.0f;
    flight.vy = 0.0f;
    flight.fuel = settings.initialFuel;
    flight.wreckPicture = 0;
}

// Truncates toward zero, as the conversion of a double to an integer does, and holds the result
// to the 16 bits of a screen coordinate: a far-flung craft stays off the screen instead of
// converting a double beyond the range of int, which C++ leaves undefined.
static int16_t ToScreenCoordinate(double value) {
    if (!(value > INT16_MIN)) {
        return INT16_MIN;
    }
    if (value > INT16_MAX) {
        return INT16_MAX;
    }
    return static_cast<int16_t>(value);
}

ScreenPoint WorldToScreen(float posX, float altitude) {
    // Both products are taken in double with no rounding to float between them.
    const double across = static_cast<double>(posX) * static_cast<double>(WORLD_TO_SCREEN_X) *
                          static_cast<double>(screen.originX);
    const double up = static_cast<double>(altitude) * static_cast<double>(WORLD_TO_SCREEN_Y) *
                      static_cast<double>(screen.originY);
    ScreenPoint point;
    point.x = ToScreenCoordinate(screen.originX + std::trunc(across));
    point.y = ToScreenCoordinate(screen.originY - std::trunc(up));
    return point;
}
