#include "math/Camera.h"

#include <gtest/gtest.h>

namespace {

Camera unitBoxCamera() {
    // Orthographic -1..1 in x and y, near 1 and far 3, looking down -z from the origin.
    Camera camera;
    camera.resetProjection();
    camera.setOrthographic(-1, 1, -1, 1, 1, 3);
    setIdentity(camera.modelView());
    camera.updateFrustum();
    return camera;
}

}  // namespace

TEST(Camera, ResetProjectionLeavesTheModelViewAlone) {
    Camera camera;
    setIdentity(camera.modelView());
    translate(camera.modelView(), 0, -200, -10);
    camera.projection()[0] = 5;
    camera.resetProjection();
    EXPECT_EQ(camera.projection()[0], 1.0f);
    EXPECT_EQ(camera.modelView()[13], -200.0f);
}

TEST(Camera, FrustumPlanesAreUnitNormalsPointingInside) {
    Camera camera = unitBoxCamera();
    // Left plane: x + 1 >= 0.
    EXPECT_NEAR(camera.plane(0)[0], 1.0f, 1e-6f);
    EXPECT_NEAR(camera.plane(0)[3], 1.0f, 1e-6f);
    // Right plane: 1 - x >= 0.
    EXPECT_NEAR(camera.plane(1)[0], -1.0f, 1e-6f);
    // Near plane of an eye looking down -z: -z - 1 >= 0.
    EXPECT_NEAR(camera.plane(5)[2], -1.0f, 1e-6f);
    EXPECT_NEAR(camera.plane(5)[3], -1.0f, 1e-6f);
}

TEST(Camera, PointOnABoundaryIsInsideButASphereTouchingFromOutsideIsNot) {
    Camera camera = unitBoxCamera();
    EXPECT_TRUE(camera.pointInFrustum(0, 0, -2));
    EXPECT_TRUE(camera.pointInFrustum(1, 0, -2));  // exactly on the right plane
    EXPECT_FALSE(camera.pointInFrustum(1.01f, 0, -2));
    EXPECT_FALSE(camera.pointInFrustum(0, 0, 0));  // in front of the near plane

    // Centre at signed distance exactly -radius from the right plane: rejected.
    EXPECT_FALSE(camera.sphereInFrustum(1.5f, 0, -2, 0.5f));
    EXPECT_TRUE(camera.sphereInFrustum(1.25f, 0, -2, 0.5f));
}

TEST(Camera, FrustumFollowsTheModelView) {
    Camera camera;
    camera.resetProjection();
    camera.setOrthographic(-24, 24, -13.5f, 13.5f, 1, 1000);
    setIdentity(camera.modelView());
    translate(camera.modelView(), 0, -200, -10);
    camera.updateFrustum();
    EXPECT_TRUE(camera.pointInFrustum(0, 200, -2));
    EXPECT_FALSE(camera.pointInFrustum(0, 0, -2));
}
