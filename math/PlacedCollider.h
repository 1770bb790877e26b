#pragma once

#include "math/Vec2.h"

class Collider;

// A collider placed in the road plane: a body's position, size, pivot and rotation with the
// shape it carries, as plain numbers. The one home of the bar-against-car arithmetic, used
// by the rules (which hold no sprites) and by the sprites' own collision test alike. Works
// in the x-y plane with strict comparisons, so shapes that only touch do not collide.
struct PlacedCollider {
    float x = 0.0f;
    float y = 0.0f;
    // Degrees, counter-clockwise.
    float rotation = 0.0f;
    float width = 0.0f;
    float height = 0.0f;
    float pivotX = 0.0f;
    float pivotY = 0.0f;
    // The scale of the collider's circle radii: half the smaller side.
    float radiusUnit = 1.0f;
    const Collider* collider = nullptr;

    // World point of the local box point (u, v); sinA and cosA are the sine and cosine of
    // the rotation. The pivot itself comes back as (x, y) bit for bit.
    Vec2 localToWorld(float u, float v, float sinA, float cosA) const;

    // True when the segment A-B touches one of the circles or crosses one of the edges; the
    // order of A and B does not matter. Without a collider nothing is hit.
    bool hitBySegment(float ax, float ay, float bx, float by) const;
};
