#include "control/CameraRig.h"

#include "control/CameraPaths.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace {

using namespace camera_test;

// ---- Loading ----------------------------------------------------------------------------

TEST(CameraRigLoad, FirstKeyframesAreEnteredFromTheFixedStartPoints) {
    CameraRig rig;
    ASSERT_TRUE(load(rig, basicPath()));
    const CameraRig::Track& eye = rig.eye();
    EXPECT_FLOAT_EQ(eye.segmentLength, 10.0f);
    EXPECT_EQ(eye.distance, 0.0f);
    expectPoint(eye.start, 6, 6, 0, 0);
    expectPoint(eye.current, 6, 6, 0, 0);
    EXPECT_EQ(eye.keyframeIndex, 1);
    EXPECT_EQ(eye.timingIndex, 1);
    expectPoint(rig.target().current, 0, 0, -4, 0);
    expectPoint(rig.roll().current, 0, 0, 1, 0);
    EXPECT_EQ(rig.roll().timingIndex, 1);
    EXPECT_EQ(rig.rollAngle(), 0.0f);
    EXPECT_EQ(rig.lastDirectionX(), 0.0f);
    EXPECT_EQ(rig.lastDirectionY(), 0.0f);
}

TEST(CameraRigLoad, HoldArcAndRepeatOnEntry) {
    PathFile hold = basicPath();
    hold.keyframes[kEye][1] = {CameraRig::kHold, {1, 2, 3}};
    CameraRig rig;
    ASSERT_TRUE(load(rig, hold));
    expectPoint(rig.eye().current, 1, 2, 3, 0);

    PathFile arc = basicPath();
    arc.keyframes[kEye][1] = {CameraRig::kArc, {6, 0, 0, 90, 0, 0, 1}};
    ASSERT_TRUE(load(rig, arc));
    EXPECT_EQ(rig.eye().segmentLength, 6.0f * 6.283185f * 0.25f);
    EXPECT_NEAR(rig.eye().segmentLength, 9.42478f, 1e-4f);

    PathFile repeat = basicPath();
    repeat.keyframes[kEye][1] = {CameraRig::kRepeat, {3, 2}};
    repeat.key(kEye, CameraRig::kHold, {9, 9, 9}).key(kEye, CameraRig::kLine, {6, 16, 0});
    ASSERT_TRUE(load(rig, repeat));
    EXPECT_EQ(rig.eye().keyframes[1].count, 1.0f);
    EXPECT_EQ(rig.eye().keyframeIndex, 3);
    EXPECT_FLOAT_EQ(rig.eye().segmentLength, 10.0f);
    expectPoint(rig.eye().current, 6, 6, 0, 0);
}

TEST(CameraRigLoad, LoadingAgainStartsTheScriptAfresh) {
    PathFile path = basicPath();
    path.key(kEye, CameraRig::kLine, {6, 6, 0}).key(kEye, CameraRig::kRepeat, {1, 2});
    CameraRig rig;
    ASSERT_TRUE(load(rig, path));
    for (int i = 0; i < 40; ++i) {
        rig.update(0.25f);
    }
    EXPECT_EQ(rig.eye().keyframes[3].count, 1.0f);
    ASSERT_TRUE(load(rig, path));
    EXPECT_EQ(rig.eye().keyframes[3].count, 2.0f);
    expectPoint(rig.eye().current, 6, 6, 0, 0);
    EXPECT_EQ(rig.eye().clock, 0.0f);
}

// ---- Eye and target playback -------------------------------------------------------------

TEST(CameraRigPlay, ConstantSpeedLineAndOvershootIntoTheNextKeyframe) {
    CameraRig rig;
    ASSERT_TRUE(load(rig, basicPath()));
    rig.update(0.5f);
    expectPoint(rig.eye().current, 6, 11, 0);
    EXPECT_FLOAT_EQ(rig.eye().clock, 0.5f);

    PathFile path = basicPath();
    path.keyframes[kEye][1] = {CameraRig::kLine, {6, 7, 0}};
    path.key(kEye, CameraRig::kLine, {6, 17, 0});
    ASSERT_TRUE(load(rig, path));
    rig.update(0.5f);
    EXPECT_EQ(rig.eye().keyframeIndex, 2);
    expectPoint(rig.eye().start, 6, 7, 0, 0);
    EXPECT_FLOAT_EQ(rig.eye().distance, 5.0f);
    expectPoint(rig.eye().current, 6, 12, 0);

    // Overshooting the last keyframe snaps onto it and the track stops there.
    rig.update(1.0f);
    expectPoint(rig.eye().current, 6, 17, 0, 0);
    EXPECT_EQ(rig.eye().keyframeIndex, 3);
    rig.update(1.0f);
    expectPoint(rig.eye().current, 6, 17, 0, 0);
}

TEST(CameraRigPlay, ArcTurnsTheStartAboutTheCentre) {
    PathFile path = basicPath();
    path.keyframes[kEye][1] = {CameraRig::kArc, {6, 0, 0, 90, 0, 0, 1}};
    float length = 6.0f * 6.283185f * 0.25f;
    path.timing[kEye][1].values[1] = length / 2.0f;
    CameraRig rig;
    ASSERT_TRUE(load(rig, path));
    rig.update(1.0f);
    // Halfway: 45 degrees, turned clockwise seen from +z by the row-wise transform.
    float r = 6.0f * std::sqrt(0.5f);
    expectPoint(rig.eye().current, 6 + r, r, 0, 1e-3f);
    rig.update(1.0f);
    expectPoint(rig.eye().current, 12, 0, 0, 1e-3f);
    // Overshot, an arc keeps the point it reached instead of jumping onto its centre.
    rig.update(1.0f);
    EXPECT_EQ(rig.eye().keyframeIndex, 2);
    expectPoint(rig.eye().current, 12, 0, 0, 1e-3f);
}

TEST(CameraRigPlay, CurvesBorrowTheNearestNeighbourAtTheEnds) {
    // A curve that is both the first played and the last keyframe: keyframe 0 shapes its
    // beginning and it stands in for its own missing successor.
    PathFile single = basicPath();
    single.keyframes[kEye][0] = {CameraRig::kHold, {6, 0, 0}};
    single.keyframes[kEye][1] = {CameraRig::kCurve, {6, 16, 0}};
    CameraRig rig;
    ASSERT_TRUE(load(rig, single));
    rig.update(0.5f);
    // y0..y3 = 0, 6, 16, 16 at f = 0.5
    expectPoint(rig.eye().current, 6, 11.75f, 0);

    // A curve in the middle uses keyframes k-2 and k+1.
    PathFile middle = basicPath();
    middle.keyframes[kEye][0] = {CameraRig::kHold, {6, 0, 0}};
    middle.keyframes[kEye][1] = {CameraRig::kLine, {6, 8, 0}};
    middle.key(kEye, CameraRig::kCurve, {6, 16, 0}).key(kEye, CameraRig::kHold, {6, 20, 0});
    ASSERT_TRUE(load(rig, middle));
    rig.update(0.25f);
    EXPECT_EQ(rig.eye().keyframeIndex, 2);
    rig.update(0.15f);
    // y0..y3 = 0, 8, 16, 20 at f = 0.5
    expectPoint(rig.eye().current, 6, 12.5f, 0);
    for (int i = 0; i < 20; ++i) {
        rig.update(0.25f);
    }
    expectPoint(rig.eye().current, 6, 20, 0, 0);
}

// Counts the passes through eye keyframe 1 over a number of frames.
int passesThroughFirstKeyframe(CameraRig& rig, int frames) {
    int passes = 1;
    int previous = rig.eye().keyframeIndex;
    for (int i = 0; i < frames; ++i) {
        rig.update(0.3f);
        int now = rig.eye().keyframeIndex;
        if (now == 1 && previous != 1) {
            ++passes;
        }
        previous = now;
    }
    return passes;
}

TEST(CameraRigPlay, RepeatKeyframesLoopTheirSpan) {
    // Up to (6, 16, 0), back to (6, 6, 0), then the repeat, then a hold out of the way.
    auto looping = [](float count, bool holdAfter) {
        PathFile path = basicPath();
        path.timing[kEye][1].values[0] = 10000;
        path.key(kEye, CameraRig::kLine, {6, 6, 0}).key(kEye, CameraRig::kRepeat, {1, count});
        if (holdAfter) {
            path.key(kEye, CameraRig::kHold, {0, 0, 9});
        }
        return path;
    };
    CameraRig rig;
    ASSERT_TRUE(load(rig, looping(3, true)));
    EXPECT_EQ(passesThroughFirstKeyframe(rig, 200), 3);
    expectPoint(rig.eye().current, 0, 0, 9, 0);
    EXPECT_EQ(rig.eye().keyframes[3].count, 1.0f);

    ASSERT_TRUE(load(rig, looping(-1, true)));
    EXPECT_GT(passesThroughFirstKeyframe(rig, 200), 20);
    EXPECT_EQ(rig.eye().keyframes[3].count, -1.0f);

    // Spent, but the last keyframe: it still jumps back every time.
    ASSERT_TRUE(load(rig, looping(1, false)));
    EXPECT_GT(passesThroughFirstKeyframe(rig, 200), 20);
}

TEST(CameraRigPlay, ScriptThatLoopsWithoutMovingDoesNotHang) {
    // A line of no length followed by a forever repeat overshoots every time it is entered.
    PathFile path = basicPath();
    path.keyframes[kEye][1] = {CameraRig::kLine, {6, 6, 0}};
    path.key(kEye, CameraRig::kRepeat, {1, -1});
    path.key(kRoll, CameraRig::kRollRepeat, {2, -1});
    path.keyframes[kRoll][1] = {CameraRig::kRollRamp, {1, -5}};
    CameraRig rig;
    ASSERT_TRUE(load(rig, path));
    rig.update(0.1f);
    rig.update(0.1f);
    expectPoint(rig.eye().current, 6, 6, 0, 0);
    EXPECT_TRUE(std::isfinite(rig.rollAngle()));
}

// The keyframe a track runs must have been entered: its start is where the track was
// when it began, and its length runs from there to its end point.
void expectEntered(const CameraRig::Track& track) {
    const CameraKeyframe& key = track.keyframes[track.keyframeIndex];
    if (key.kind != CameraRig::kLine) {
        return;  // a repeat not yet taken: the next frame takes it
    }
    const Vec3& a = track.start;
    const Vec3& b = key.point;
    float length = std::sqrt((b.x - a.x) * (b.x - a.x) + (b.y - a.y) * (b.y - a.y) +
                             (b.z - a.z) * (b.z - a.z));
    EXPECT_FLOAT_EQ(track.segmentLength, length) << "keyframe " << track.keyframeIndex;
}

TEST(CameraRigPlay, FrameOutOfHopsEndsOnAnEnteredKeyframe) {
    // A forever loop of lines too short for the speed: one huge frame runs round it until
    // the hop budget is spent, wherever in the loop that happens to be.
    for (int lines = 1; lines <= 4; ++lines) {
        PathFile path = basicPath();
        path.keyframes[kEye].pop_back();
        for (int i = 0; i < lines; ++i) {
            path.key(kEye, CameraRig::kLine, {6, 6.0f + static_cast<float>(i % 2), 0});
        }
        path.key(kEye, CameraRig::kRepeat, {1, -1});
        path.timing[kEye][1].values = {1e9f, 1e6f};
        CameraRig rig;
        ASSERT_TRUE(load(rig, path));
        rig.update(1000.0f);
        SCOPED_TRACE("loop of " + std::to_string(lines) + " lines");
        expectEntered(rig.eye());
        // The next frame goes on from there, along the loop's own points.
        rig.update(1e-6f);
        expectEntered(rig.eye());
        EXPECT_EQ(rig.eye().current.x, 6.0f);
        EXPECT_GE(rig.eye().current.y, 6.0f);
        EXPECT_LE(rig.eye().current.y, 7.0f);
    }
}

TEST(CameraRigPlay, EasedTimingRecordsAtMidSpan) {
    // Records 0 and 1 go from 2 to 6 over two seconds; the line is long enough never to end.
    auto withTiming = [](int32_t kind) {
        PathFile path = basicPath();
        path.keyframes[kEye][1] = {CameraRig::kLine, {6, 1006, 0}};
        path.timing[kEye][0] = {CameraRig::kConstant, {0, 2}};
        path.timing[kEye][1] = {kind, {2, 6}};
        return path;
    };
    CameraRig rig;
    ASSERT_TRUE(load(rig, withTiming(CameraRig::kCosine)));
    rig.update(1.0f);
    EXPECT_NEAR(rig.eye().distance, 4.0f, 1e-5f);

    ASSERT_TRUE(load(rig, withTiming(CameraRig::kLinear)));
    rig.update(0.5f);
    EXPECT_FLOAT_EQ(rig.eye().distance, 3.0f * 0.5f);

    // A cubic at both ends of its list borrows records 0 and 1 as its outer neighbours.
    ASSERT_TRUE(load(rig, withTiming(CameraRig::kCubic)));
    rig.update(1.0f);
    EXPECT_FLOAT_EQ(rig.eye().distance, 4.0f);

    ASSERT_TRUE(load(rig, withTiming(CameraRig::kConstant)));
    rig.update(1.0f);
    EXPECT_FLOAT_EQ(rig.eye().distance, 6.0f);
}

TEST(CameraRigPlay, TimingRepeatsSetTheClockBack) {
    PathFile path = basicPath();
    path.keyframes[kEye][1] = {CameraRig::kLine, {6, 1006, 0}};
    path.timing[kEye][1] = {CameraRig::kConstant, {1, 10}};
    path.time(kEye, CameraRig::kTimingRepeat, {100, 1, 0.25f, -1});
    CameraRig rig;
    ASSERT_TRUE(load(rig, path));
    for (int pass = 0; pass < 3; ++pass) {
        rig.update(0.5f);
        rig.update(0.75f);
        EXPECT_EQ(rig.eye().timingIndex, 2);
        rig.update(0.5f);
        EXPECT_EQ(rig.eye().timingIndex, 1);
        EXPECT_FLOAT_EQ(rig.eye().clock, 0.25f);
        // The repeat's frame still moved on at record 1's speed.
        EXPECT_FLOAT_EQ(rig.eye().distance, 10.0f * 1.75f * (pass + 1));
    }

    // A finite count runs out and the track then stops.
    path.timing[kEye][2].values[3] = 2;
    ASSERT_TRUE(load(rig, path));
    for (int i = 0; i < 20; ++i) {
        rig.update(0.5f);
    }
    EXPECT_EQ(rig.eye().timingIndex, 3);
    EXPECT_EQ(rig.eye().timing[2].count, 1.0f);

    // The roll track's repeat has no clock value in the file: it restarts the target span.
    PathFile roll = basicPath();
    roll.keyframes[kRoll][1] = {CameraRig::kRollRamp, {1, 1000}};
    roll.timing[kRoll][0] = {CameraRig::kConstant, {3, 10}};
    roll.timing[kRoll][1] = {CameraRig::kConstant, {4, 10}};
    roll.time(kRoll, CameraRig::kRollTimingRepeat, {50, 1});
    ASSERT_TRUE(load(rig, roll));
    rig.update(4.5f);
    EXPECT_EQ(rig.roll().timingIndex, 2);
    rig.update(0.5f);
    EXPECT_EQ(rig.roll().timingIndex, 1);
    EXPECT_FLOAT_EQ(rig.roll().clock, 3.0f);
}

}  // namespace
