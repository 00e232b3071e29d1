// The whole flight model: a point mass in two dimensions whose mass falls as fuel burns, pushed
// by gravity and by whichever thrusters fire, with no rotation and no drag.
#ifndef TAVUNE_GAME_PHYSICS_H
#define TAVUNE_GAME_PHYSICS_H

// Advances the flight by settings.timeStep simulated seconds. Thrust depends only on whether
// there was fuel at the start of the step; fuel never goes below 0.
void PhysicsStep();

#endif
