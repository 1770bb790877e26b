#pragma once

#include "math/Vec2.h"

// Turns the four arrow keys into the truck's motion: one constant speed per axis,
// no inertia, held inside the part of the road the truck may use.
class PlayerController {
public:
    static constexpr float kMinX = -9.0f;
    static constexpr float kMaxX = 9.0f;
    static constexpr float kMinY = -13.0f;
    static constexpr float kMaxY = 13.0f;

    // Moves the point by one frame. Left beats right and down beats up when both are held.
    void step(float dt);

    bool up = false;
    bool down = false;
    bool left = false;
    bool right = false;
    // The truck's place, owned by the simulation.
    Vec2* position = nullptr;
    float directionX = 0.0f;
    float directionY = 1.0f;
    float currentSpeed = 0.0f;
    float speed = 10.0f;
};
