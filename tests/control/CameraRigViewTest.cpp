#include "control/CameraRig.h"

#include "control/CameraPaths.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace {

using namespace camera_test;

// ---- Roll and up reference ------------------------------------------------------------------

TEST(CameraRigRoll, StepAddsToTheBaseAndTheNextKeyframeWaitsAFrame) {
    PathFile path = basicPath();
    path.keyframes[kRoll][1] = {CameraRig::kRollStep, {2, 10}};
    path.key(kRoll, CameraRig::kRollStep, {3, 30}).key(kRoll, CameraRig::kRollStep, {4, 5});
    CameraRig rig;
    ASSERT_TRUE(load(rig, path));
    rig.update(0.1f);
    EXPECT_EQ(rig.rollBase(), 10.0f);
    EXPECT_EQ(rig.roll().keyframeIndex, 2);
    rig.update(0.1f);
    EXPECT_EQ(rig.rollAngle(), 40.0f);
    EXPECT_EQ(rig.rollBase(), 40.0f);
    EXPECT_EQ(rig.roll().keyframeIndex, 3);
    // The up reference takes its height from the keyframe just finished.
    expectPoint(rig.roll().current, 0, 0, 3, 0);
}

TEST(CameraRigRoll, RampTurnsAtTimingSpeedThenStepsOn) {
    PathFile path = basicPath();
    path.keyframes[kRoll][1] = {CameraRig::kRollRamp, {1, 20}};
    path.key(kRoll, CameraRig::kRollStep, {1, 5});
    CameraRig rig;
    ASSERT_TRUE(load(rig, path));
    rig.update(1.0f);
    EXPECT_FLOAT_EQ(rig.rollAngle(), 10.0f);
    rig.update(1.5f);
    // Ramp done at 20, and the step after it runs in the same frame.
    EXPECT_FLOAT_EQ(rig.rollBase(), 25.0f);
    EXPECT_FLOAT_EQ(rig.rollAngle(), 25.0f);
    EXPECT_EQ(rig.roll().keyframeIndex, 3);
}

TEST(CameraRigRoll, LookingStraightDownUsesTheLastHorizontalDirection) {
    PathFile path = basicPath();
    path.keyframes[kEye][1] = {CameraRig::kLine, {0, 0, 5}};
    path.key(kEye, CameraRig::kHold, {0, 0, 5});
    path.timing[kEye][1].values[1] = 1000;
    CameraRig rig;
    ASSERT_TRUE(load(rig, path));
    rig.update(0.1f);
    expectPoint(rig.eye().current, 0, 0, 5, 0);
    EXPECT_EQ(rig.lastDirectionX(), -6.0f);
    EXPECT_EQ(rig.lastDirectionY(), -6.0f);
    expectPoint(rig.roll().current, -6, -6, 0, 0);

    // The view still has an up: the last horizontal direction, seen as "up" on screen.
    Camera camera;
    rig.setCamera(&camera);
    rig.applyToCamera();
    Vec3 ahead = viewOf(camera.modelView(), -1, -1, 5);
    EXPECT_NEAR(ahead.x, 0.0f, 1e-5f);
    EXPECT_GT(ahead.y, 0.0f);
}

// ---- Applying the view -----------------------------------------------------------------------

TEST(CameraRigView, ViewLooksFromEyeToTargetWithUpAboveAndTurnsWithRoll) {
    PathFile path = basicPath();
    path.keyframes[kEye][1] = {CameraRig::kHold, {0, -10, 0}};
    path.keyframes[kTarget][1] = {CameraRig::kHold, {0, 0, 0}};
    CameraRig rig;
    Camera camera;
    rig.setCamera(&camera);
    ASSERT_TRUE(load(rig, path));
    rig.applyToCamera();
    const Matrix4& view = camera.modelView();

    expectPoint(viewOf(view, 0, -10, 0), 0, 0, 0);
    expectPoint(viewOf(view, 0, 0, 0), 0, 0, -10);
    // World +z is up on screen, world +x to the right.
    expectPoint(viewOf(view, 0, -10, 1), 0, 1, 0);
    expectPoint(viewOf(view, 1, -10, 0), 1, 0, 0);
    EXPECT_EQ(view[3], 0.0f);
    EXPECT_EQ(view[15], 1.0f);

    Matrix4 expected;
    lookAt(expected, 0, -10, 0, 0, 0, 0, 0, 0, 1);
    for (int i = 0; i < 16; ++i) {
        EXPECT_NEAR(view[i], expected[i], 1e-6f) << i;
    }

    // A quarter turn of roll swings the up vector into the sideways axis.
    path.keyframes[kRoll][1] = {CameraRig::kRollStep, {1, 90}};
    ASSERT_TRUE(load(rig, path));
    rig.update(0.1f);
    rig.applyToCamera();
    Vec3 up = viewOf(camera.modelView(), 0, -10, 1);
    EXPECT_NEAR(std::fabs(up.x), 1.0f, 1e-5f);
    EXPECT_NEAR(up.y, 0.0f, 1e-5f);
    expectPoint(viewOf(camera.modelView(), 0, 0, 0), 0, 0, -10);
}

TEST(CameraRigView, NoViewWhenEyeMeetsTargetOrWithoutCamera) {
    PathFile path = basicPath();
    path.keyframes[kEye][1] = {CameraRig::kHold, {0, 0, -4}};
    CameraRig rig;
    rig.applyToCamera();  // no camera, nothing loaded: nothing happens
    ASSERT_TRUE(load(rig, path));
    rig.applyToCamera();
    Camera camera;
    setIdentity(camera.modelView());
    rig.setCamera(&camera);
    rig.applyToCamera();
    EXPECT_EQ(camera.modelView()[0], 1.0f);
    EXPECT_EQ(camera.modelView()[12], 0.0f);
    for (int i = 0; i < 16; ++i) {
        EXPECT_FALSE(std::isnan(camera.modelView()[i]));
    }
}

}  // namespace
