#pragma once

#include "Sprite.h"

#include "math/Vec2.h"

// The bar-against-car test on sprites: the sprite's position, pivot, size, rotation and
// collider handed to math/PlacedCollider, the one home of that arithmetic.

// World point of the local box point (u, v) of a body; sinA and cosA are the sine and
// cosine of its rotation. The pivot itself comes back as the body's (x, y) bit for bit.
Vec2 localToWorld(const Sprite& body, float u, float v, float sinA, float cosA);

// True when the segment A-B touches one of the body's circles or crosses one of its edges;
// the order of A and B does not matter. A body without a collider is never hit.
bool segmentHitsCollider(const Sprite& body, float ax, float ay, float bx, float by);
