#include "math/Line2.h"
#include "math/Vec2.h"
#include "math/Vec3.h"

#include <gtest/gtest.h>

#include <cmath>

TEST(Vectors, CrossDotAndScale) {
    Vec3 x(1, 0, 0), y(0, 1, 0);
    Vec3 z = x.cross(y);
    EXPECT_EQ(z.x, 0.0f);
    EXPECT_EQ(z.y, 0.0f);
    EXPECT_EQ(z.z, 1.0f);
    Vec3 back = y.cross(x);
    EXPECT_EQ(back.z, -1.0f);
    EXPECT_EQ(Vec3(1, 2, 3).dot(Vec3(4, 5, 6)), 32.0f);
    Vec3 v(1, 2, 3);
    v.scale(2).scale(0.5f);
    EXPECT_EQ(v.y, 2.0f);
    Vec2 w(3, -4);
    w.scale(-2);
    EXPECT_EQ(w.x, -6.0f);
    EXPECT_EQ(w.y, 8.0f);
}

TEST(Line2, FromDirectionThroughAPoint) {
    Line2 line;
    line.setFromDirection(Vec2(2, 4), Vec2(1, 1));
    EXPECT_FLOAT_EQ(line.slope(), 2.0f);
    EXPECT_FLOAT_EQ(line.intercept(), -1.0f);
    EXPECT_FLOAT_EQ(line.yAt(3), 5.0f);
    EXPECT_FLOAT_EQ(line.xAt(5), 3.0f);

    Vec2 foot = line.closestPoint(Vec2(0, 0));
    EXPECT_NEAR(foot.x, 0.4f, 1e-6f);
    EXPECT_NEAR(foot.y, -0.2f, 1e-6f);

    EXPECT_FLOAT_EQ(line.intersectionX(Line2(0, 3)), 2.0f);
}

TEST(Line2, ParallelLinesNeverMeetAtAFiniteX) {
    Line2 a(1, 0), b(1, 5);
    EXPECT_FALSE(std::isfinite(a.intersectionX(b)));
    Line2 same(1, 0);
    EXPECT_TRUE(std::isnan(a.intersectionX(same)));
}
