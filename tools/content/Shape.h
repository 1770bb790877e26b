#pragma once

#include <utility>
#include <vector>

// Signed distances to the simple shapes the artwork is built from: negative inside,
// positive outside, in whatever units the points are given.
class Shape {
public:
    // Axis-aligned box centred on (cx, cy) with half sizes hw, hh and corners rounded by radius.
    static float box(float px, float py, float cx, float cy, float hw, float hh, float radius);
    static float circle(float px, float py, float cx, float cy, float radius);
    // A stroke of the given half width between two points, with round ends.
    static float segment(float px, float py, float ax, float ay, float bx, float by,
                         float halfWidth);
    // Any simple polygon, the corners in either winding.
    static float polygon(float px, float py, const std::vector<std::pair<float, float>>& corners);
};
