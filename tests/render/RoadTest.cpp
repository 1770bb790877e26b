#include "render/Road.h"

#include "render/FlatColourDrawing.h"
#include "render/Mesh.h"
#include "render/Texture.h"
#include "support/HeadlessGl.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

// The road's vertex colours are white, so it is drawn over black here.
void beginDarkFrame() {
    flat::beginFrame();
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glClearColor(1, 1, 1, 1);
}

bool roadAt(int x, int y) { return flat::pixel(x, y)[0] == 255; }

void scrollTo(Camera& camera, float scroll) {
    setIdentity(camera.modelView());
    translate(camera.modelView(), 0, -scroll, -10);
}

}  // namespace

TEST(Road, HoldsTheGameStraightPathAndWidths) {
    Road road;
    ASSERT_EQ(road.pointCount(), 6u);
    for (unsigned i = 0; i < 6; ++i) {
        EXPECT_EQ(road.point(i).x, 50.0f);
        EXPECT_EQ(road.point(i).y, 200.0f * static_cast<float>(i));
        EXPECT_EQ(road.point(i).z, -2.0f);
    }
    EXPECT_EQ(road.leftWidths(), std::vector<float>(6, 13.0f));
    EXPECT_EQ(road.rightWidths(), std::vector<float>(6, 13.0f));
    EXPECT_FALSE(Road::stripBuilt());
}

TEST(RoadGl, BuildsTheStripOnceOnTheFirstDraw) {
    REQUIRE_GL();
    flat::beginFrame();
    Texture texture;
    Camera world = flat::worldCamera(0);
    Road road;
    road.draw(world, texture);
    ASSERT_TRUE(Road::stripBuilt());
    const Mesh& strip = Road::stripMesh();
    EXPECT_EQ(strip.positionCount(), 198u * 3);
    EXPECT_EQ(strip.colourCount(), 198u * 3);
    EXPECT_EQ(strip.uvCount(), 198u * 2);
    EXPECT_EQ(strip.indexCount(), 98u * 2 * 3);
    EXPECT_EQ(strip.colours(), std::vector<float>(198 * 3, 1.0f));
    EXPECT_LT(*std::max_element(strip.indices().begin(), strip.indices().end()), 198u);

    // The first pair sits on (50, 1000) heading down the screen, so its sides are swapped in x.
    const std::vector<float> firstPair(strip.positions().begin(), strip.positions().begin() + 6);
    EXPECT_EQ(firstPair, (std::vector<float>{37, 1000, -2, 63, 1000, -2}));
    EXPECT_EQ(std::vector<float>(strip.uvs().begin(), strip.uvs().begin() + 8),
              (std::vector<float>{1, 0, 0, 0, 1, 1, 0, 1}));
    float lowest = 1e9f;
    float highest = -1e9f;
    for (std::size_t i = 1; i < strip.positions().size(); i += 3) {
        lowest = std::min(lowest, strip.positions()[i]);
        highest = std::max(highest, strip.positions()[i]);
    }
    EXPECT_EQ(highest, 1000.0f);
    // The curve overshoots below its first point before it turns up.
    EXPECT_LT(lowest, -30.0f);
    EXPECT_GT(lowest, -45.0f);

    const GLuint buffer = strip.positionBuffer();
    road.draw(world, texture);
    EXPECT_EQ(strip.positionCount(), 198u * 3);
    EXPECT_EQ(strip.positions().size(), 198u * 3);
    EXPECT_EQ(strip.positionBuffer(), buffer);
}

TEST(RoadGl, FillsTheMiddle26Of48UnitsAsItScrolls) {
    REQUIRE_GL();
    Texture texture;
    Camera world = flat::worldCamera(0);
    Road road;
    // 1280 / 48 pixels per unit: the road runs from about pixel 293.3 to 986.7.
    for (float scroll : {0.0f, 150.0f, 700.0f}) {
        SCOPED_TRACE(scroll);
        beginDarkFrame();
        scrollTo(world, scroll);
        road.draw(world, texture);
        for (int y : {5, 360, 715}) {
            EXPECT_TRUE(roadAt(297, y)) << y;
            EXPECT_TRUE(roadAt(640, y)) << y;
            EXPECT_TRUE(roadAt(982, y)) << y;
            EXPECT_FALSE(roadAt(289, y)) << y;
            EXPECT_FALSE(roadAt(991, y)) << y;
        }
    }
    // Scrolled past the far end of the strip (y 950 after the shift) nothing is left.
    beginDarkFrame();
    scrollTo(world, 1000);
    road.draw(world, texture);
    EXPECT_FALSE(roadAt(640, 360));
}

TEST(RoadGl, ANewRoadStartsAFreshStripAndReleasingIsSafeWithoutAContext) {
    REQUIRE_GL();
    Texture texture;
    Camera world = flat::worldCamera(0);
    {
        Road first;
        first.draw(world, texture);
    }
    EXPECT_FALSE(Road::stripBuilt());
    EXPECT_EQ(Road::stripMesh().positionBuffer(), 0u);

    Road second;
    beginDarkFrame();
    second.draw(world, texture);
    EXPECT_EQ(Road::stripMesh().positions().size(), 198u * 3);
    EXPECT_TRUE(roadAt(640, 360));

    // The game's road goes after the window has dropped its context: that must be harmless.
    HeadlessGl& headless = HeadlessGl::instance();
    {
        Road last;
        last.draw(world, texture);
        headless.releaseCurrent();
    }
    headless.makeCurrent();
    EXPECT_EQ(Road::stripMesh().positionBuffer(), 0u);
    EXPECT_FALSE(Road::stripBuilt());
}
