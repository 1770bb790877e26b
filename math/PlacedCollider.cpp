#include "PlacedCollider.h"

#include "math/Collider.h"
#include "math/Line2.h"
#include "math/Matrix4.h"
#include "math/Trig.h"

#include <cmath>
#include <utility>

namespace {

// Tolerance for "at the pivot" and for vertical and horizontal segments and edges.
constexpr float kEpsilon = 1e-7f;

bool strictlyBetween(float value, float a, float b) {
    return (a < value && value < b) || (b < value && value < a);
}

// Both ends are already known to lie outside the circle: is it crossed between them?
bool segmentHitsCircle(const Vec2& left, const Vec2& right, const Line2& line, const Vec2& centre,
                       float radius) {
    if (right.x - left.x < kEpsilon) {
        return left.x > centre.x - radius && right.x < centre.x + radius &&
               strictlyBetween(centre.y, left.y, right.y);
    }
    const float rise = right.y - left.y;
    if ((0.0f <= rise && rise < kEpsilon) || (-kEpsilon < rise && rise <= 0.0f)) {
        return left.y > centre.y - radius && right.y < centre.y + radius && left.x < centre.x &&
               centre.x < right.x;
    }
    const Vec2 foot = line.closestPoint(centre);
    const float dx = centre.x - foot.x;
    const float dy = centre.y - foot.y;
    return left.x < foot.x && foot.x < right.x && strictlyBetween(foot.y, left.y, right.y) &&
           dx * dx + dy * dy < radius * radius;
}

// The segment left-right against an edge whose ends are ordered by x. Touching is not crossing.
bool segmentsCross(const Vec2& left, const Vec2& right, const Vec2& direction, const Line2& line,
                   const Vec2& e1, const Vec2& e2) {
    const Vec2 edgeDirection(e2.x - e1.x, e2.y - e1.y);
    if (std::fabs(edgeDirection.x) < kEpsilon) {
        if (std::fabs(direction.x) < kEpsilon) {
            return false;
        }
        return left.x < e1.x && e2.x < right.x && strictlyBetween(line.yAt(e1.x), e1.y, e2.y);
    }
    Line2 edgeLine;
    edgeLine.setFromDirection(edgeDirection, e2);
    if (std::fabs(direction.x) < kEpsilon) {
        return e1.x < left.x && right.x < e2.x && strictlyBetween(edgeLine.yAt(left.x), left.y, right.y);
    }
    // Parallel lines give an infinite or NaN crossing, which fails the comparisons.
    const float crossingX = line.intersectionX(edgeLine);
    return left.x < crossingX && crossingX < right.x && e1.x < crossingX && crossingX < e2.x;
}

}  // namespace

Vec2 PlacedCollider::localToWorld(float u, float v, float sinA, float cosA) const {
    if (std::fabs(pivotX - u) < kEpsilon && std::fabs(pivotY - v) < kEpsilon) {
        return Vec2(x, y);
    }
    const float lx = width * u - pivotX * width;
    const float ly = height * v - pivotY * height;
    return Vec2(lx * cosA - ly * sinA + x, lx * sinA + ly * cosA + y);
}

bool PlacedCollider::hitBySegment(float ax, float ay, float bx, float by) const {
    if (collider == nullptr) {
        return false;
    }
    const float angle = static_cast<float>(rotation * kDegreesToRadians);
    const float sinA = Trig::sin(angle);
    const float cosA = Trig::cos(angle);

    const Vec2 a(ax, ay);
    const Vec2 b(bx, by);
    const Vec2& left = ax > bx ? b : a;
    const Vec2& right = ax > bx ? a : b;
    const Vec2 direction(right.x - left.x, right.y - left.y);
    // Only built for a segment that is not exactly vertical; every use tests for vertical first.
    Line2 line;
    if (direction.x != 0.0f) {
        line.setFromDirection(direction, right);
    }

    for (uint32_t i = 0; i < collider->circleCount(); ++i) {
        const Vec2 centre = localToWorld(collider->circleX(i), collider->circleY(i), sinA, cosA);
        const float radius = collider->circleRadius(i) * radiusUnit;
        const float radiusSquared = radius * radius;
        const float dax = centre.x - a.x;
        const float day = centre.y - a.y;
        const float dbx = centre.x - b.x;
        const float dby = centre.y - b.y;
        if (dax * dax + day * day < radiusSquared || dbx * dbx + dby * dby < radiusSquared) {
            return true;
        }
        if (segmentHitsCircle(left, right, line, centre, radius)) {
            return true;
        }
    }

    for (uint32_t j = 0; j < collider->edgeCount(); ++j) {
        float ends[4];
        collider->edgeEnds(j, ends);
        Vec2 e1 = localToWorld(ends[0], ends[1], sinA, cosA);
        Vec2 e2 = localToWorld(ends[2], ends[3], sinA, cosA);
        if (e1.x > e2.x) {
            std::swap(e1, e2);
        }
        if (segmentsCross(left, right, direction, line, e1, e2)) {
            return true;
        }
    }
    return false;
}
