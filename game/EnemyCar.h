#pragma once

#include "render/Sprite.h"

// One of the game's fixed enemy-car slots. Cars are never created during play: a slot
// is re-placed and marked active when a spawn takes it, and freed when it leaves the road.
struct EnemyCar {
    Sprite body;
    float speed = 0.0f;
    bool active = false;
};
