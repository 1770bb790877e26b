#pragma once

#include <vector>

// One timed enemy-car entry: where it enters, how fast it drives down, and the
// run-clock second after which it enters (or, in a pattern, seconds from the pattern's start).
struct CarSpawn {
    float x = 0.0f;
    float speed = 0.0f;
    float time = 0.0f;
};

// A short sequence of spawns from the pool that the game draws at random.
using CarPattern = std::vector<CarSpawn>;
