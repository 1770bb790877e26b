#include "Collision.h"

#include "math/PlacedCollider.h"

namespace {

PlacedCollider placed(const Sprite& body) {
    PlacedCollider shape;
    shape.x = body.x;
    shape.y = body.y;
    shape.rotation = body.rotation();
    shape.width = body.width();
    shape.height = body.height();
    shape.pivotX = body.pivotX();
    shape.pivotY = body.pivotY();
    shape.radiusUnit = body.radiusUnit();
    shape.collider = body.collider();
    return shape;
}

}  // namespace

Vec2 localToWorld(const Sprite& body, float u, float v, float sinA, float cosA) {
    return placed(body).localToWorld(u, v, sinA, cosA);
}

bool segmentHitsCollider(const Sprite& body, float ax, float ay, float bx, float by) {
    return placed(body).hitBySegment(ax, ay, bx, by);
}
