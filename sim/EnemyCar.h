#pragma once

// One of the game's fixed enemy-car slots. Cars are never created during play: a slot is
// re-placed and marked active when a spawn takes it, and freed when it leaves the road.
// Its colour (0 blue, 1 yellow, 2 red, 3 green) is drawn at every start of a run.
struct EnemyCar {
    float x = 0.0f;
    float y = 0.0f;
    float speed = 0.0f;
    bool active = false;
    int colour = 0;
};
