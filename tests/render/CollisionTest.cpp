#include "render/Collision.h"

#include "math/Collider.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

// A collider from the JSON members "vertices", "indices" and "circles".
struct TestCollider {
    Collider collider;
    explicit TestCollider(const std::string& members) {
        static int count = 0;
        const std::string path =
            TestFiles::write("collider" + std::to_string(count++) + ".json",
                             "{\"collider\": {" + members + "}}");
        EXPECT_TRUE(collider.load(path));
    }
};

// A body of size w × h centred on (x, y) (pivot in the middle), carrying the collider.
Sprite body(const Collider& collider, float x, float y, float w, float h, float degrees = 0) {
    Sprite sprite;
    sprite.place(x, y, 0, nullptr, nullptr, nullptr);
    sprite.setSize(w, h, 1);
    sprite.setPivot(0.5f, 0.5f);
    sprite.setRotation(degrees);
    sprite.attachCollider(&collider);
    return sprite;
}

// The answer must not depend on which end comes first.
bool hits(const Sprite& sprite, float ax, float ay, float bx, float by) {
    const bool forward = segmentHitsCollider(sprite, ax, ay, bx, by);
    const bool backward = segmentHitsCollider(sprite, bx, by, ax, ay);
    EXPECT_EQ(forward, backward) << "(" << ax << "," << ay << ")-(" << bx << "," << by << ")";
    return forward;
}

// One circle of radius 1 around the centre of a 2 × 2 body at the origin.
const char* kUnitCircle = R"("vertices": [], "indices": [], "circles": [{"x": 0.5, "y": 0.5, "radius": 1}])";

// The outline of the box: a 2 × 2 square from (-1, -1) to (1, 1) on a body at the origin.
const char* kSquare = R"("vertices": [{"x": 0, "y": 0}, {"x": 1, "y": 0}, {"x": 1, "y": 1}, {"x": 0, "y": 1}],)"
                      R"( "indices": [{"a": 0, "b": 1}, {"a": 1, "b": 2}, {"a": 2, "b": 3}, {"a": 3, "b": 0}],)"
                      R"( "circles": [])";

}  // namespace

TEST(LocalToWorld, PlacesLocalPointsThroughSizePivotAndRotation) {
    Collider none;
    const Sprite car = body(none, 10, 20, 2, 4, 90);
    const float angle = static_cast<float>(90 * kDegreesToRadians);
    const Vec2 top = localToWorld(car, 0.5f, 1, std::sin(angle), std::cos(angle));
    EXPECT_NEAR(top.x, 10 - 2, 1e-5);
    EXPECT_NEAR(top.y, 20, 1e-5);
    const Vec2 corner = localToWorld(car, 0, 0, 0, 1);
    EXPECT_EQ(corner.x, 9.0f);
    EXPECT_EQ(corner.y, 18.0f);

    // The pivot, or a point within the tolerance of it, comes back bit for bit.
    const Sprite wide = body(none, 0.1f, 12345.678f, 1000, 1000, 37);
    const float s = std::sin(static_cast<float>(37 * kDegreesToRadians));
    const float c = std::cos(static_cast<float>(37 * kDegreesToRadians));
    const Vec2 pivot = localToWorld(wide, std::nextafter(0.5f, 1.0f), 0.5f, s, c);
    EXPECT_EQ(pivot.x, 0.1f);
    EXPECT_EQ(pivot.y, 12345.678f);
    const Vec2 beside = localToWorld(wide, 0.5f + 2e-7f, 0.5f, s, c);
    EXPECT_NE(beside.x, 0.1f);
}

TEST(SegmentHitsCollider, CirclesCountOnlyWhatIsStrictlyInside) {
    TestCollider shape(kUnitCircle);
    const Sprite car = body(shape.collider, 0, 0, 2, 2);
    ASSERT_EQ(car.radiusUnit(), 1.0f);

    EXPECT_FALSE(hits(car, 1, 0, 3, 0)) << "an end exactly on the circle";
    EXPECT_FALSE(hits(car, 0, 1, 0, 3)) << "an end exactly on the circle, vertical";
    EXPECT_FALSE(hits(car, -2, 1, 2, 1)) << "horizontal tangent";
    EXPECT_FALSE(hits(car, 1, -2, 1, 2)) << "vertical tangent";
    EXPECT_FALSE(hits(car, -3, 3, 3, 2)) << "slanted, well clear";
    EXPECT_FALSE(hits(car, 1.5f, 1.5f, 3, 3)) << "slanted, its line through the centre but the segment beside";

    EXPECT_TRUE(hits(car, 0.5f, 0, 5, 0)) << "one end inside";
    EXPECT_TRUE(hits(car, -0.2f, 0, 0.2f, 0.1f)) << "wholly inside";
    EXPECT_TRUE(hits(car, -3, 0.5f, 3, -0.5f)) << "slanted, through";
    EXPECT_TRUE(hits(car, 0.5f, -3, 0.5f, 3)) << "vertical, through";
    EXPECT_TRUE(hits(car, -3, -0.5f, 3, -0.5f)) << "horizontal, through";
    EXPECT_FALSE(hits(car, -3, -0.5f, -1.5f, -0.5f)) << "horizontal, stops short";

    EXPECT_TRUE(hits(car, 0.3f, 0.3f, 0.3f, 0.3f)) << "a point inside";
    EXPECT_FALSE(hits(car, 1, 0, 1, 0)) << "a point on the circle";
    EXPECT_FALSE(hits(car, 0, 2, 0, 2)) << "a point outside";
}

TEST(SegmentHitsCollider, CircleRadiiScaleWithTheSmallerSide) {
    TestCollider shape(kUnitCircle);
    // 2.4 × 4: radius unit 1.2, centre at (0, 0).
    const Sprite car = body(shape.collider, 0, 0, 2.4f, 4);
    EXPECT_TRUE(hits(car, 1.15f, -3, 1.15f, 3));
    EXPECT_FALSE(hits(car, 1.25f, -3, 1.25f, 3));
}

TEST(SegmentHitsCollider, EdgesMustBeCrossedStrictly) {
    TestCollider shape(kSquare);
    const Sprite car = body(shape.collider, 0, 0, 2, 2);

    EXPECT_FALSE(hits(car, -0.5f, 0, 0.5f, 0.2f)) << "inside the outline: containment is not detected";
    EXPECT_TRUE(hits(car, -0.5f, 0.2f, 2, 0.5f)) << "slanted, out through the right side";
    EXPECT_TRUE(hits(car, -3, 0, 3, 0)) << "horizontal through both vertical sides";
    EXPECT_TRUE(hits(car, 0, -3, 0, 3)) << "vertical through top and bottom";
    EXPECT_TRUE(hits(car, 0.5f, 0.5f, 0.5f, 3)) << "vertical, out through the top";
    EXPECT_FALSE(hits(car, 0, 0, 1, 0.5f)) << "ending exactly on a side";
    EXPECT_FALSE(hits(car, 0, 2, 2, 0)) << "through a corner, the ends of two edges";
    EXPECT_FALSE(hits(car, 1, -3, 1, 3)) << "vertical along a vertical side";
    EXPECT_FALSE(hits(car, -2, -1, 0, -1)) << "collinear with the bottom, overlapping it";
    EXPECT_FALSE(hits(car, 2, -3, 2, 3)) << "vertical, outside";
}

TEST(SegmentHitsCollider, SlantedEdgesAgainstVerticalAndParallelSegments) {
    // One diagonal edge from (-1, -1) to (1, 1) on a 2 × 2 body at the origin.
    TestCollider shape(R"("vertices": [{"x": 0, "y": 0}, {"x": 1, "y": 1}], "indices": [{"a": 1, "b": 0}], "circles": [])");
    const Sprite car = body(shape.collider, 0, 0, 2, 2);

    EXPECT_TRUE(hits(car, 0.5f, 0, 0.5f, 1)) << "vertical, across the edge";
    EXPECT_FALSE(hits(car, 2, 0, 2, 4)) << "vertical, across the edge's line but beside the edge";
    EXPECT_FALSE(hits(car, -1, 0, 1, 2)) << "parallel";
    EXPECT_FALSE(hits(car, -2, -2, 0, 0)) << "collinear, overlapping";
    EXPECT_TRUE(hits(car, -1, 1, 1, -1)) << "crossing at the middle";
    EXPECT_FALSE(hits(car, -3, 3, -2, 2)) << "on the crossing line, short of the edge";
}

TEST(SegmentHitsCollider, RotatedBodiesTurnTheirShapesCounterClockwise) {
    // A small circle near the top of a 2 × 4 car; turned a quarter turn it sits on the left.
    TestCollider shape(R"("vertices": [], "indices": [], "circles": [{"x": 0.5, "y": 0.9, "radius": 0.2}])");
    const Sprite upright = body(shape.collider, 0, 0, 2, 4);
    const Sprite turned = body(shape.collider, 0, 0, 2, 4, 90);
    EXPECT_TRUE(hits(upright, -1, 1.6f, 1, 1.6f));
    EXPECT_FALSE(hits(turned, -1, 1.6f, 1, 1.6f));
    EXPECT_TRUE(hits(turned, -1.6f, -1, -1.6f, 1));
    EXPECT_FALSE(hits(turned, 1.6f, -1, 1.6f, 1));

    // The game's bar: 0.5 × 13 centred on the truck, its ends taken through localToWorld.
    Collider none;
    const Sprite bar = body(none, 3, 4, 0.5f, 13, 90);
    const float angle = static_cast<float>(90 * kDegreesToRadians);
    const Vec2 bottom = localToWorld(bar, 0.5f, 0, std::sin(angle), std::cos(angle));
    const Vec2 top = localToWorld(bar, 0.5f, 1, std::sin(angle), std::cos(angle));
    EXPECT_NEAR(bottom.x, 3 + 6.5, 1e-5);
    EXPECT_NEAR(top.x, 3 - 6.5, 1e-5);
    EXPECT_NEAR(top.y, 4, 1e-5);
    const Sprite car = body(shape.collider, 3 - 5, 4 - 1.6f, 2, 4);
    EXPECT_TRUE(segmentHitsCollider(car, top.x, top.y, bottom.x, bottom.y));
}

TEST(SegmentHitsCollider, BodiesWithoutShapesAreNeverHit) {
    Sprite bare;
    bare.place(0, 0, 0, nullptr, nullptr, nullptr);
    bare.setSize(2, 2, 1);
    bare.setPivot(0.5f, 0.5f);
    EXPECT_FALSE(segmentHitsCollider(bare, -5, 0, 5, 0));

    TestCollider empty(R"("vertices": [], "indices": [], "circles": [])");
    const Sprite car = body(empty.collider, 0, 0, 2, 2);
    EXPECT_FALSE(hits(car, -5, 0, 5, 0));
    EXPECT_FALSE(hits(car, 0, 0, 0, 0));
}
