#include "math/Matrix4.h"

#include <gtest/gtest.h>

namespace {

Matrix4 identity() {
    Matrix4 m;
    setIdentity(m);
    return m;
}

// Applies m to a column vector the way OpenGL does (column-major).
void apply(const Matrix4& m, float& x, float& y, float& z) {
    float nx = m[0] * x + m[4] * y + m[8] * z + m[12];
    float ny = m[1] * x + m[5] * y + m[9] * z + m[13];
    float nz = m[2] * x + m[6] * y + m[10] * z + m[14];
    x = nx;
    y = ny;
    z = nz;
}

}  // namespace

TEST(Matrix4, TranslateWritesColumnThreeAndAccumulates) {
    Matrix4 m = identity();
    translate(m, 1, 2, 3);
    Matrix4 expected = identity();
    expected[12] = 1;
    expected[13] = 2;
    expected[14] = 3;
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(m[i], expected[i]) << "index " << i;
    }
    translate(m, 1, 0, 0);
    EXPECT_EQ(m[12], 2.0f);
}

TEST(Matrix4, PostMultiplicationAppliesTheLastTransformFirst) {
    // translate then rotate: a point is rotated first, then moved.
    Matrix4 m = identity();
    translate(m, 10, 0, 0);
    rotateZ(m, static_cast<float>(90 * kDegreesToRadians));
    float x = 1, y = 0, z = 0;
    apply(m, x, y, z);
    EXPECT_NEAR(x, 10.0f, 1e-5f);
    EXPECT_NEAR(y, 1.0f, 1e-5f);

    // The other order moves first, then rotates about the origin.
    Matrix4 n = identity();
    rotateZ(n, static_cast<float>(90 * kDegreesToRadians));
    translate(n, 10, 0, 0);
    x = 1, y = 0, z = 0;
    apply(n, x, y, z);
    EXPECT_NEAR(x, 0.0f, 1e-5f);
    EXPECT_NEAR(y, 11.0f, 1e-5f);
}

TEST(Matrix4, MultiplyIsColumnMajorAndPostMultiplySquaresInPlace) {
    Matrix4 a = identity(), b = identity(), out;
    a[12] = 3;   // translation x
    b[0] = 2;    // scale x
    multiply(a, b, out);
    // (A*B) p = A (B p): scale, then translate.
    float x = 1, y = 0, z = 0;
    apply(out, x, y, z);
    EXPECT_FLOAT_EQ(x, 5.0f);

    Matrix4 m = identity();
    m[0] = 3;
    m[12] = 1;
    postMultiply(m, m);
    EXPECT_FLOAT_EQ(m[0], 9.0f);
    EXPECT_FLOAT_EQ(m[12], 4.0f);  // 3 * 1 + 1
}

TEST(Matrix4, RotationsFollowTheRightHandRule) {
    float angle = static_cast<float>(90 * kDegreesToRadians);
    Matrix4 x = identity(), y = identity(), z = identity(), axis = identity();
    rotateX(x, angle);
    rotateY(y, angle);
    rotateZ(z, angle);
    rotate(axis, angle, 0, 0, 1);
    EXPECT_NEAR(x[6], 1.0f, 1e-6f);
    EXPECT_NEAR(x[9], -1.0f, 1e-6f);
    EXPECT_NEAR(y[8], 1.0f, 1e-6f);
    EXPECT_NEAR(y[2], -1.0f, 1e-6f);
    EXPECT_NEAR(z[1], 1.0f, 1e-6f);
    EXPECT_NEAR(z[4], -1.0f, 1e-6f);
    for (int i = 0; i < 16; ++i) {
        EXPECT_NEAR(axis[i], z[i], 1e-6f) << "index " << i;
    }
}

TEST(Matrix4, TransformPointReadsRowsSoItTurnsTheOtherWay) {
    Matrix4 m = identity();
    rotateDegrees(m, 90, 0, 0, 1);
    float x = 1, y = 0, z = 0;
    transformPoint(x, y, z, m);
    EXPECT_NEAR(x, 0.0f, 1e-6f);
    EXPECT_NEAR(y, -1.0f, 1e-6f);
    EXPECT_NEAR(z, 0.0f, 1e-6f);

    Matrix4 shift = identity();
    translate(shift, 5, 6, 7);
    x = 1, y = 2, z = 3;
    transformPoint(x, y, z, shift);
    EXPECT_EQ(x, 1.0f);
    EXPECT_EQ(y, 2.0f);
    EXPECT_EQ(z, 3.0f);
}

TEST(Matrix4, OrthographicOfTheTwoGameCameras) {
    Matrix4 world = identity();
    orthographic(world, -24, 24, -13.5f, 13.5f, 1, 1000);
    EXPECT_FLOAT_EQ(world[0], 2.0f / 48.0f);
    EXPECT_FLOAT_EQ(world[5], 2.0f / 27.0f);
    EXPECT_FLOAT_EQ(world[10], -2.0f / 999.0f);
    EXPECT_EQ(world[12], 0.0f);
    EXPECT_EQ(world[13], 0.0f);
    EXPECT_FLOAT_EQ(world[14], -1001.0f / 999.0f);
    EXPECT_EQ(world[15], 1.0f);

    Matrix4 screen = identity();
    orthographic(screen, 0, 1280, 0, 720, 1, 1000);
    EXPECT_FLOAT_EQ(screen[12], -1.0f);
    EXPECT_FLOAT_EQ(screen[13], -1.0f);
    // The heart's centre lands where the screen's pixel 80, 570 is.
    float x = 80, y = 570, z = -35;
    apply(screen, x, y, z);
    EXPECT_NEAR((x + 1) * 640, 80.0f, 1e-3f);
    EXPECT_NEAR((y + 1) * 360, 570.0f, 1e-3f);
}

TEST(Matrix4, ProjectionsWriteOnlyTheirSixElements) {
    Matrix4 m;
    for (int i = 0; i < 16; ++i) {
        m[i] = 100.0f + i;
    }
    Matrix4 before = m;
    orthographic(m, -1, 1, -1, 1, 1, 10);
    for (int i : {1, 2, 3, 4, 6, 7, 8, 9, 11, 15}) {
        EXPECT_EQ(m[i], before[i]) << "index " << i;
    }
    m = before;
    perspective(m, 60, 16.0f / 9.0f, 1, 100);
    for (int i : {1, 2, 3, 4, 6, 7, 8, 9, 12, 13}) {
        EXPECT_EQ(m[i], before[i]) << "index " << i;
    }
    EXPECT_EQ(m[11], -1.0f);
    EXPECT_EQ(m[15], 0.0f);
}

TEST(Matrix4, PerspectiveLeavesDegenerateInputAlone) {
    Matrix4 m = identity();
    m[3] = 42;
    Matrix4 before = m;
    perspective(m, 60, 1, 5, 5);
    perspective(m, 60, 0, 1, 100);
    perspective(m, 0, 1, 1, 100);
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(m[i], before[i]) << "index " << i;
    }
}

TEST(Matrix4, LookAtBuildsAnOrthonormalViewThatMovesTheEyeToTheOrigin) {
    Matrix4 m = identity();
    m[5] = 7;  // replaced, not multiplied
    lookAt(m, 0, 0, 10, 0, 0, 0, 0, 1, 0);
    float x = 0, y = 0, z = 10;
    apply(m, x, y, z);
    EXPECT_NEAR(x, 0.0f, 1e-6f);
    EXPECT_NEAR(y, 0.0f, 1e-6f);
    EXPECT_NEAR(z, 0.0f, 1e-6f);
    // The target ends up straight ahead, down -z.
    x = 0, y = 0, z = 0;
    apply(m, x, y, z);
    EXPECT_NEAR(z, -10.0f, 1e-5f);
    EXPECT_NEAR(m[5], 1.0f, 1e-6f);
}
