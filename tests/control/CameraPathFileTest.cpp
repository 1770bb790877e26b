#include "control/CameraPathFile.h"

#include "control/CameraPaths.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace {

using namespace camera_test;

// ---- Reading and writing -------------------------------------------------------------------

TEST(CameraPathFile, RecordsAreReadIntoTheirNamedMembers) {
    PathFile path = basicPath();
    path.key(kEye, CameraRig::kArc, {1, 2, 3, 90, 0, 0, 1}).key(kEye, CameraRig::kRepeat, {1, 3});
    path.key(kRoll, CameraRig::kRollRepeat, {1, -1});
    path.time(kEye, CameraRig::kTimingRepeat, {200, 1, 0.5f, 2});
    path.time(kRoll, CameraRig::kRollTimingRepeat, {300, 1});
    const std::vector<unsigned char> bytes = path.bytes();
    CameraPathFile file;
    ASSERT_EQ(file.read(std::string(bytes.begin(), bytes.end())), "");

    const CameraPathFile::Track& eye = file.tracks[kEye];
    ASSERT_EQ(eye.keyframeCount, 4);
    expectPoint(eye.keyframes[1].point, 6, 16, 0, 0);
    const CameraKeyframe& arc = eye.keyframes[2];
    expectPoint(arc.centre, 1, 2, 3, 0);
    EXPECT_EQ(arc.angle, 90.0f);
    expectPoint(arc.axis, 0, 0, 1, 0);
    EXPECT_EQ(eye.keyframes[3].target, 1.0f);
    EXPECT_EQ(eye.keyframes[3].count, 3.0f);
    const CameraTiming& repeat = eye.timing[2];
    EXPECT_EQ(repeat.time, 200.0f);
    EXPECT_EQ(repeat.target, 1.0f);
    EXPECT_EQ(repeat.clock, 0.5f);
    EXPECT_EQ(repeat.count, 2.0f);
    EXPECT_EQ(file.tracks[kRoll].keyframes[1].upZ, 1.0f);
    EXPECT_EQ(file.tracks[kRoll].keyframes[2].count, -1.0f);
    EXPECT_EQ(file.tracks[kRoll].timing[2].target, 1.0f);

    // Header 48 bytes, then four eye keyframes (the arc of seven floats, the repeat of two).
    EXPECT_EQ(eye.keyframesEnd, 48 + 2 * 16 + 32 + 12);
    EXPECT_EQ(file.tracks[kRoll].keyframesEnd, eye.keyframesEnd + 2 * 16 + 3 * 12);
    EXPECT_EQ(eye.reserved, 1234);

    // Written back, the file is the same but for the reserved values, which are written as 0.
    std::string written = file.write();
    std::string expected(bytes.begin(), bytes.end());
    std::fill(expected.begin() + 24, expected.begin() + 48, '\0');
    EXPECT_EQ(written, expected);
}

// ---- Rejected files ------------------------------------------------------------------------

TEST(CameraRigReject, MissingAndEveryTruncatedFile) {
    std::string missing = TestFiles::missing("camversion1");
    CameraRig rig;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(rig.load(missing));
    std::string message = testing::internal::GetCapturedStderr();
    EXPECT_NE(message.find(missing), std::string::npos);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(rig.load(TestFiles::folder()));
    EXPECT_NE(testing::internal::GetCapturedStderr().find("is a folder, not a file"), std::string::npos);

    PathFile path = basicPath();
    path.keyframes[kEye].push_back({CameraRig::kArc, {0, 0, 0, 90, 0, 0, 1}});
    path.keyframes[kEye].push_back({CameraRig::kRepeat, {1, 2}});
    path.time(kEye, CameraRig::kTimingRepeat, {200, 1, 0, -1});
    std::vector<unsigned char> whole = path.bytes();
    for (std::size_t size = 0; size < whole.size(); ++size) {
        std::vector<unsigned char> cut(whole.begin(), whole.begin() + size);
        std::string reason = rejection(cut);
        EXPECT_NE(reason.find("ends at byte " + std::to_string(size)), std::string::npos) << reason;
    }
    auto cut = [&](std::size_t size) {
        return rejection(std::vector<unsigned char>(whole.begin(), whole.begin() + size));
    };
    EXPECT_NE(cut(47).find("header"), std::string::npos);
    // Eye keyframe 2 (the arc) starts at byte 80; cut inside its floats.
    EXPECT_NE(cut(90).find("eye keyframe 2"), std::string::npos);
    EXPECT_NE(cut(whole.size() - 1).find("roll timing record 1"), std::string::npos);
}

TEST(CameraRigReject, CountsOutsideTheLists) {
    for (int field = 0; field < 6; ++field) {
        for (int32_t count : {16, -1, 1000000}) {
            std::vector<unsigned char> bytes = basicPath().bytes();
            PathFile::setHeader(bytes, field, count);
            std::string reason = rejection(bytes);
            EXPECT_NE(reason.find("header field " + std::to_string(field + 1)), std::string::npos)
                << reason;
            EXPECT_NE(reason.find(std::to_string(count)), std::string::npos) << reason;
        }
    }
    for (TrackId track : {kEye, kTarget}) {
        for (std::size_t keep : {0u, 1u}) {
            PathFile path = basicPath();
            path.keyframes[track].resize(keep);
            EXPECT_NE(rejection(path).find("at least 2 keyframes"), std::string::npos);
        }
    }
    // The roll track and the timing lists may be empty: such tracks simply stand still.
    PathFile quiet = basicPath();
    quiet.keyframes[kRoll].clear();
    quiet.timing[kTarget].clear();
    CameraRig rig;
    EXPECT_TRUE(load(rig, quiet));
}

TEST(CameraRigReject, KindsOutsideTheTables) {
    struct Case {
        TrackId track;
        bool timingList;
        int32_t kind;
        const char* where;
    };
    const Case cases[] = {
        {kEye, false, 5, "eye keyframe 1"},         {kEye, false, -1, "eye keyframe 1"},
        {kTarget, false, 9, "target keyframe 1"},   {kRoll, false, 3, "roll keyframe 1"},
        {kEye, true, 5, "eye timing record 1"},     {kTarget, true, -7, "target timing record 1"},
        {kRoll, true, CameraRig::kCubic, "roll timing record 1"},
    };
    for (const Case& c : cases) {
        PathFile path = basicPath();
        (c.timingList ? path.timing : path.keyframes)[c.track][1].kind = c.kind;
        std::string reason = rejection(path);
        EXPECT_NE(reason.find(c.where), std::string::npos) << reason;
        EXPECT_NE(reason.find("kind " + std::to_string(c.kind)), std::string::npos) << reason;
        EXPECT_NE(reason.find("at byte"), std::string::npos) << reason;
    }
}

TEST(CameraRigReject, RepeatTargetsOutsideTheList) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    // Three keyframes: only 1 and 2 can be jumped to (keyframe 0 is never played).
    for (float target : {3.0f, 0.0f, -1.0f, 1e9f}) {
        PathFile path = basicPath();
        path.key(kEye, CameraRig::kRepeat, {target, -1});
        EXPECT_NE(rejection(path).find("eye keyframe 2 at byte 80: repeat target"),
                  std::string::npos);
    }
    PathFile roll = basicPath();
    roll.key(kRoll, CameraRig::kRollRepeat, {7, 2});
    EXPECT_NE(rejection(roll).find("roll keyframe 2"), std::string::npos);

    PathFile timing = basicPath();
    timing.time(kTarget, CameraRig::kTimingRepeat, {200, 3, 0, -1});
    EXPECT_NE(rejection(timing).find("target timing record 2"), std::string::npos);

    PathFile rollTiming = basicPath();
    rollTiming.time(kRoll, CameraRig::kRollTimingRepeat, {200, 0});
    EXPECT_NE(rejection(rollTiming).find("roll timing record 2"), std::string::npos);

    PathFile notANumber = basicPath();
    notANumber.keyframes[kEye][1].values[1] = nan;
    EXPECT_NE(rejection(notANumber).find("not a finite number"), std::string::npos);
}

TEST(CameraRigReject, RefusedRigIsEmptyAndLeavesTheCameraAlone) {
    Camera camera;
    setIdentity(camera.modelView());
    CameraRig rig;
    rig.setCamera(&camera);
    ASSERT_TRUE(load(rig, basicPath()));
    std::vector<unsigned char> bytes = basicPath().bytes();
    PathFile::setHeader(bytes, 0, 16);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(rig.load(writeFile(bytes)));
    testing::internal::GetCapturedStderr();

    EXPECT_EQ(rig.eye().keyframeCount, 0);
    rig.update(0.5f);
    rig.applyToCamera();
    Matrix4 identity;
    setIdentity(identity);
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(camera.modelView()[i], identity[i]);
    }
}

}  // namespace
