// The game's one pseudo-random sequence. The terrain builder and the end-of-flight box draw from
// it in turn, so a terrain's shape depends on everything drawn before it.
#ifndef TAVUNE_GAME_RANDOM_H
#define TAVUNE_GAME_RANDOM_H

#include <cstdint>

// The generator holds 1 until it is first seeded.
void SeedRandom(uint32_t seed);

// Advances the sequence and returns a number from 0 to 32767.
int NextRandom();

#endif
