#include "game/physics.h"

#include "game/state.h"

// Every value is stored as a float; each formula is evaluated in double and rounded once, where
// it is stored, so the native and the Windows builds compute the same flight bit for bit.
static double D(float value) {
    return static_cast<double>(value);
}

void PhysicsStep() {
    const float mass = static_cast<float>(D(settings.dryMass) + D(flight.fuel));
    float accelY = -settings.gravity;
    float accelX = 0.0f;

    if (flight.fuel > 0.0f) {
        float burn = 0.0f;
        if (flight.thrusterOn[THRUSTER_MAIN] != 0) {
            accelY = static_cast<float>(D(settings.mainThrust) / D(mass) + D(accelY));
            burn = settings.mainBurnRate;
        }
        if (flight.thrusterOn[THRUSTER_RIGHT] != 0) {
            burn = static_cast<float>(D(burn) + D(settings.sideBurnRate));
            accelX = static_cast<float>(-(D(settings.sideThrust) / D(mass)));
        }
        if (flight.thrusterOn[THRUSTER_LEFT] != 0) {
            burn = static_cast<float>(D(burn) + D(settings.sideBurnRate));
            accelX = static_cast<float>(D(settings.sideThrust) / D(mass) + D(accelX));
        }
        // The tank may run dry within a step: the step keeps its full thrust and the fuel stops
        // at exactly 0. The comparison uses the exact product, the subtraction the stored one.
        const double used = D(burn) * D(settings.timeStep);
        if (used <= D(flight.fuel)) {
            flight.fuel = static_cast<float>(D(flight.fuel) - D(static_cast<float>(used)));
        } else {
            flight.fuel = 0.0f;
        }
    }

    // Semi-implicit Euler: velocities first, then positions with the new velocities.
    flight.vy = static_cast<float>(D(accelY) * D(settings.timeStep) + D(flight.vy));
    flight.vx = static_cast<float>(D(accelX) * D(settings.timeStep) + D(flight.vx));
    flight.altitude = static_cast<float>(D(flight.vy) * D(settings.timeStep) + D(flight.altitude));
    flight.posX = static_cast<float>(D(flight.vx) * D(settings.timeStep) + D(flight.posX));
}
