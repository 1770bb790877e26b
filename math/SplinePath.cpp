#include "SplinePath.h"

namespace {

// One coordinate of the tension-1/2 Catmull-Rom curve, in the grouping that keeps the
// road's strip on exactly the same floats every build.
float catmullRom(float t, float t2, float p0, float p1, float p2, float p3) {
    return t * (1.5f * p1 + ((0.5f * p3 - 1.5f * p2) - 0.5f * p0)) * t2 +
           t2 * ((2.0f * p2 + (p0 - 2.5f * p1)) - 0.5f * p3) + t * (0.5f * p2 - 0.5f * p0) + p1;
}

}  // namespace

Vec3 SplinePath::evaluate(unsigned segment, float t) const {
    const int n = static_cast<int>(points_.size());
    if (n == 0) {
        return Vec3();
    }
    if (n == 1) {
        return points_[0];
    }
    const int a = static_cast<int>(segment % static_cast<unsigned>(n));
    int i0 = a - 2;
    if (i0 < 0) {
        i0 = a + n - 2;
    }
    int i1 = a - 1;
    if (i1 < 0) {
        i1 = n - 1;
    }
    const int i2 = a;
    const int i3 = (a + 1) % n;
    const Vec3& p0 = points_[i0];
    const Vec3& p1 = points_[i1];
    const Vec3& p2 = points_[i2];
    const Vec3& p3 = points_[i3];
    const float t2 = t * t;
    return Vec3(catmullRom(t, t2, p0.x, p1.x, p2.x, p3.x), catmullRom(t, t2, p0.y, p1.y, p2.y, p3.y),
                catmullRom(t, t2, p0.z, p1.z, p2.z, p3.z));
}
