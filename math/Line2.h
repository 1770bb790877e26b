#pragma once

#include "Vec2.h"

// A non-vertical line y = slope * x + intercept, as the bar-against-car tests use it.
// Vertical lines cannot be represented; callers test for them before building one.
class Line2 {
public:
    Line2() = default;
    Line2(float slope, float intercept) : slope_(slope), intercept_(intercept) {}

    float slope() const { return slope_; }
    float intercept() const { return intercept_; }

    float yAt(float x) const { return slope_ * x + intercept_; }
    float xAt(float y) const { return (y - intercept_) / slope_; }

    // The line through point along direction.
    Line2& setFromDirection(const Vec2& direction, const Vec2& point) {
        slope_ = (1.0f / direction.x) * direction.y;
        intercept_ = point.y - slope_ * point.x;
        return *this;
    }

    // Foot of the perpendicular dropped from p onto the line.
    Vec2 closestPoint(const Vec2& p) const {
        float x = (p.y - (-1.0f / slope_) * p.x - intercept_) / (slope_ + 1.0f / slope_);
        return Vec2(x, intercept_ + slope_ * x);
    }

    // x where this line crosses other; infinite or NaN for parallel lines.
    float intersectionX(const Line2& other) const {
        return (other.intercept_ - intercept_) / (slope_ - other.slope_);
    }

private:
    float slope_ = 0.0f;
    float intercept_ = 0.0f;
};
