#pragma once

#include "Vec3.h"

#include <vector>

// A closed Catmull-Rom curve through its control points: the last point leads back
// to the first. Segment s runs from point s - 1 to point s.
class SplinePath {
public:
    void addPoint(float x, float y, float z) { points_.emplace_back(x, y, z); }
    void addPoint(const Vec3& point) { points_.push_back(point); }
    unsigned pointCount() const { return static_cast<unsigned>(points_.size()); }
    const Vec3& point(unsigned index) const { return points_[index]; }

    // The point at parameter t (0..1) of a segment. Segments at or beyond pointCount wrap
    // round the closed path; a path of one point is that point, an empty path the origin.
    Vec3 evaluate(unsigned segment, float t) const;

private:
    std::vector<Vec3> points_;
};
