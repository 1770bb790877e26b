#include "render/Sprite.h"

#include "render/FlatColourDrawing.h"
#include "render/Mesh.h"
#include "render/Texture.h"
#include "support/HeadlessGl.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// The red unit quad with its corner at the origin, uploaded.
Mesh& quad() {
    static Mesh mesh;
    if (mesh.positionBuffer() == 0) {
        mesh.load(std::string(TAMQ_TEST_DATA_DIR) + "/render/quad.json");
        mesh.upload();
    }
    return mesh;
}

void expectSameMatrix(const Matrix4& actual, const Matrix4& expected) {
    for (int i = 0; i < 16; ++i) {
        EXPECT_FLOAT_EQ(actual[i], expected[i]) << "element " << i;
    }
}

}  // namespace

TEST(Sprite, SizeSetsTheRadiusUnitAndPlaceResetsSizeAndPivot) {
    Sprite sprite;
    EXPECT_EQ(sprite.radiusUnit(), 1.0f);
    EXPECT_EQ(sprite.rotation(), 0.0f);
    sprite.setSize(2.4f, 4, 1);
    EXPECT_FLOAT_EQ(sprite.radiusUnit(), 1.2f);
    sprite.setSize(4, 2.4f, 1);
    EXPECT_FLOAT_EQ(sprite.radiusUnit(), 1.2f);
    sprite.setSize(3, 3, 1);
    EXPECT_EQ(sprite.radiusUnit(), 1.5f);

    sprite.setPivot(0.5f, 0.5f);
    sprite.setRotation(30);
    sprite.place(1, 2, 3, nullptr, nullptr, nullptr);
    EXPECT_EQ(sprite.width(), 0.0f);
    EXPECT_EQ(sprite.height(), 0.0f);
    EXPECT_EQ(sprite.depth(), 0.0f);
    EXPECT_EQ(sprite.pivotX(), 0.0f);
    EXPECT_EQ(sprite.rotation(), 0.0f);
    EXPECT_EQ(sprite.x, 1.0f);
    EXPECT_EQ(sprite.z, 3.0f);
}

TEST(SpriteGl, AHeartCoversItsSquareOfScreenPixels) {
    REQUIRE_GL();
    flat::beginFrame();
    Texture texture;
    Camera screen = flat::screenCamera();
    Sprite heart;
    heart.place(80, 570, -35, &quad(), &texture, &screen);
    heart.setSize(55, 55, 1);
    heart.setPivot(0.5f, 0.5f);
    heart.draw();
    // Edges at 52.5 and 107.5 across, 542.5 and 597.5 up: pixel centres on the edges are skipped.
    for (int x : {53, 80, 106}) {
        for (int y : {543, 570, 596}) {
            EXPECT_EQ(flat::pixel(x, y), (std::array<uint8_t, 4>{255, 0, 0, 255})) << x << "," << y;
        }
    }
    for (auto [x, y] : {std::pair{51, 570}, {108, 570}, {80, 541}, {80, 598}}) {
        EXPECT_FALSE(flat::drawn(x, y)) << x << "," << y;
    }

    // A sprite ignores the camera's model-view.
    flat::beginFrame();
    translate(screen.modelView(), 300, -200, -10);
    heart.draw();
    EXPECT_TRUE(flat::drawn(80, 570));
    EXPECT_FALSE(flat::drawn(380, 370));

    // Placed again without a new size, it collapses to nothing.
    flat::beginFrame();
    heart.place(80, 570, -35, &quad(), &texture, &screen);
    heart.setPivot(0.5f, 0.5f);
    heart.draw();
    EXPECT_FALSE(flat::drawn(80, 570));
}

TEST(SpriteGl, RotationTurnsCounterClockwiseAboutThePivot) {
    REQUIRE_GL();
    flat::beginFrame();
    Camera screen = flat::screenCamera();
    Sprite bar;
    bar.place(640, 360, -5, &quad(), nullptr, &screen);
    bar.setSize(200, 20, 1);
    bar.setPivot(0.5f, 0.5f);
    bar.setRotation(30);
    bar.draw();
    // 80 pixels along the long axis, turned 30 degrees: (709, 400), not (709, 320).
    EXPECT_TRUE(flat::drawn(709, 400));
    EXPECT_TRUE(flat::drawn(571, 320));
    EXPECT_FALSE(flat::drawn(709, 320));
    EXPECT_FALSE(flat::drawn(720, 360));

    // A quarter turn stands the bar upright.
    flat::beginFrame();
    bar.setRotation(90);
    bar.draw();
    EXPECT_TRUE(flat::drawn(640, 455));
    EXPECT_TRUE(flat::drawn(640, 265));
    EXPECT_FALSE(flat::drawn(700, 360));

    // The matrix left behind is projection * T * Rz * S * T(-pivot).
    Matrix4 expected;
    setIdentity(expected);
    translate(expected, 640, 360, -5);
    rotateZ(expected, static_cast<float>(90 * kDegreesToRadians));
    Matrix4 scale;
    setIdentity(scale);
    scale[0] = 200;
    scale[5] = 20;
    postMultiply(expected, scale);
    translate(expected, -0.5f, -0.5f, 0);
    Matrix4 final;
    multiply(screen.projection(), expected, final);
    expectSameMatrix(bar.matrix(), final);
}

TEST(MeshInstanceGl, DrawsThroughTheMatrixItWasGivenPlusTurnShiftAndProjection) {
    REQUIRE_GL();
    Camera screen = flat::screenCamera();
    MeshInstance instance;
    instance.place(999, 999, 999, &quad(), nullptr, &screen);
    EXPECT_EQ(instance.rotation(), 0.0f);
    Matrix4 model;
    setIdentity(model);
    translate(model, 300, 300, -5);
    scale(model, 2, 2, 1);

    // Pixels 2 per unit; the quad at (50, 50) lands on the owner's origin after the shift.
    flat::beginFrame();
    Mesh big;
    big.appendPosition(50, 50, 0);
    big.appendPosition(60, 50, 0);
    big.appendPosition(50, 60, 0);
    big.appendTriangle(0, 1, 2);
    for (int i = 0; i < 3; ++i) {
        big.appendColour(0, 0, 0);
        big.appendUv(0, 0);
    }
    big.updateCounts();
    big.upload();
    instance.place(0, 0, 0, &big, nullptr, &screen);
    instance.setMatrix(model);
    instance.draw();
    EXPECT_TRUE(flat::drawn(302, 302));
    EXPECT_FALSE(flat::drawn(298, 302));
    EXPECT_FALSE(flat::drawn(402, 402));

    // Without a fresh matrix the second draw builds on the first one.
    Matrix4 once;
    multiply(screen.projection(), [&] {
        Matrix4 m = model;
        translate(m, -50, -50, 0);
        return m;
    }(), once);
    expectSameMatrix(instance.matrix(), once);
    instance.draw();
    Matrix4 twice = once;
    translate(twice, -50, -50, 0);
    Matrix4 projected;
    multiply(screen.projection(), twice, projected);
    expectSameMatrix(instance.matrix(), projected);
}
