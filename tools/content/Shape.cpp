#include "Shape.h"

#include <algorithm>
#include <cmath>

float Shape::box(float px, float py, float cx, float cy, float hw, float hh, float radius) {
    float qx = std::fabs(px - cx) - hw + radius;
    float qy = std::fabs(py - cy) - hh + radius;
    float outside = std::hypot(std::max(qx, 0.0f), std::max(qy, 0.0f));
    float inside = std::min(std::max(qx, qy), 0.0f);
    return outside + inside - radius;
}

float Shape::circle(float px, float py, float cx, float cy, float radius) {
    return std::hypot(px - cx, py - cy) - radius;
}

float Shape::segment(float px, float py, float ax, float ay, float bx, float by,
                     float halfWidth) {
    float dx = bx - ax;
    float dy = by - ay;
    float lengthSquared = dx * dx + dy * dy;
    float t = lengthSquared > 0.0f ? ((px - ax) * dx + (py - ay) * dy) / lengthSquared : 0.0f;
    t = std::clamp(t, 0.0f, 1.0f);
    return std::hypot(px - (ax + dx * t), py - (ay + dy * t)) - halfWidth;
}

float Shape::polygon(float px, float py, const std::vector<std::pair<float, float>>& corners) {
    std::size_t n = corners.size();
    float best = 1e30f;
    bool inside = false;
    for (std::size_t i = 0, j = n - 1; i < n; j = i++) {
        auto [xi, yi] = corners[i];
        auto [xj, yj] = corners[j];
        float ex = xj - xi;
        float ey = yj - yi;
        float wx = px - xi;
        float wy = py - yi;
        float lengthSquared = ex * ex + ey * ey;
        float t = lengthSquared > 0.0f ? std::clamp((wx * ex + wy * ey) / lengthSquared, 0.0f, 1.0f)
                                        : 0.0f;
        float dx = wx - ex * t;
        float dy = wy - ey * t;
        best = std::min(best, dx * dx + dy * dy);
        // Crossing count along +x decides inside or outside.
        if ((yi > py) != (yj > py) && px < (xj - xi) * (py - yi) / (yj - yi) + xi) {
            inside = !inside;
        }
    }
    float distance = std::sqrt(best);
    return inside ? -distance : distance;
}
