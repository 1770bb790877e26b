#include "math/SplinePath.h"

#include <gtest/gtest.h>

namespace {

SplinePath gameRoadPath() {
    SplinePath path;
    for (float y : {0.0f, 200.0f, 400.0f, 600.0f, 800.0f, 1000.0f}) {
        path.addPoint(50, y, -2);
    }
    return path;
}

}  // namespace

TEST(SplinePath, SegmentsRunFromThePreviousPointToTheirOwn) {
    SplinePath path = gameRoadPath();
    EXPECT_EQ(path.pointCount(), 6u);
    for (unsigned a = 0; a < 6; ++a) {
        const Vec3& from = path.point(a == 0 ? 5 : a - 1);
        Vec3 start = path.evaluate(a, 0.0f);
        EXPECT_EQ(start.x, from.x);
        EXPECT_EQ(start.y, from.y);
        EXPECT_EQ(start.z, from.z);
        Vec3 end = path.evaluate(a, 1.0f);
        EXPECT_NEAR(end.y, path.point(a).y, 1e-3f);
    }
}

TEST(SplinePath, EvenlySpacedPointsGiveEvenlySpacedSamples) {
    SplinePath path;
    for (float x : {0.0f, 1.0f, 2.0f, 3.0f}) {
        path.addPoint(Vec3(x, 0, 0));
    }
    Vec3 middle = path.evaluate(2, 0.5f);
    EXPECT_FLOAT_EQ(middle.x, 1.5f);
    EXPECT_EQ(middle.y, 0.0f);
}

TEST(SplinePath, TheClosedRoadOvershootsBelowItsFirstPoint) {
    // Leaving (50, 0) the curve still carries the downward tangent from (50, 1000).
    SplinePath path = gameRoadPath();
    EXPECT_LT(path.evaluate(1, 0.05f).y, 0.0f);
}

TEST(SplinePath, TwoPointsUseEachOtherAsOuterControls) {
    SplinePath path;
    path.addPoint(0, 0, 0);
    path.addPoint(10, 0, 0);
    // Segment 0 runs from point 1 back to point 0.
    EXPECT_EQ(path.evaluate(0, 0.0f).x, 10.0f);
    EXPECT_NEAR(path.evaluate(0, 1.0f).x, 0.0f, 1e-5f);
}

TEST(SplinePath, CallsOutsideThePathStayInRange) {
    SplinePath empty;
    EXPECT_EQ(empty.evaluate(3, 0.5f).x, 0.0f);
    SplinePath single;
    single.addPoint(4, 5, 6);
    EXPECT_EQ(single.evaluate(0, 0.5f).y, 5.0f);
    // Segments past the end wrap round the closed path.
    SplinePath path = gameRoadPath();
    Vec3 wrapped = path.evaluate(8, 0.25f);
    Vec3 same = path.evaluate(2, 0.25f);
    EXPECT_EQ(wrapped.y, same.y);
}
