#include "control/CameraRig.h"

#include "math/Matrix4.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

namespace {

enum TrackId { kEye = 0, kTarget = 1, kRoll = 2 };

// Writes camera path files field by field, the way the rig reads them.
struct PathFile {
    struct Record {
        int32_t kind;
        std::vector<float> values;
    };
    std::vector<Record> keyframes[3];
    std::vector<Record> timing[3];

    PathFile& key(TrackId track, int32_t kind, std::vector<float> values) {
        keyframes[track].push_back({kind, std::move(values)});
        return *this;
    }
    PathFile& time(TrackId track, int32_t kind, std::vector<float> values) {
        timing[track].push_back({kind, std::move(values)});
        return *this;
    }

    std::vector<unsigned char> bytes() const {
        std::vector<unsigned char> out;
        for (const auto& list : keyframes) {
            appendInt(out, static_cast<int32_t>(list.size()));
        }
        for (const auto& list : timing) {
            appendInt(out, static_cast<int32_t>(list.size()));
        }
        for (int i = 0; i < 6; ++i) {
            appendInt(out, 1234);
        }
        for (const auto& lists : {keyframes, timing}) {
            for (int t = 0; t < 3; ++t) {
                for (const Record& record : lists[t]) {
                    appendInt(out, record.kind);
                    for (float value : record.values) {
                        appendFloat(out, value);
                    }
                }
            }
        }
        return out;
    }

    static void appendInt(std::vector<unsigned char>& out, int32_t value) {
        uint32_t word = static_cast<uint32_t>(value);
        for (int shift = 0; shift < 32; shift += 8) {
            out.push_back(static_cast<unsigned char>(word >> shift));
        }
    }
    static void appendFloat(std::vector<unsigned char>& out, float value) {
        int32_t bits;
        std::memcpy(&bits, &value, sizeof bits);
        appendInt(out, bits);
    }
    // Overwrites the header field with the given index (0 to 11).
    static void setHeader(std::vector<unsigned char>& bytes, int field, int32_t value) {
        std::vector<unsigned char> word;
        appendInt(word, value);
        std::copy(word.begin(), word.end(), bytes.begin() + field * 4);
    }
};

// Eye keyframe 1 is a line to (6, 16, 0) at a constant 10 units per second; the target and
// roll tracks hold still.
PathFile basicPath() {
    PathFile path;
    path.key(kEye, CameraRig::kHold, {0, 0, 0}).key(kEye, CameraRig::kLine, {6, 16, 0});
    path.key(kTarget, CameraRig::kHold, {0, 0, -4}).key(kTarget, CameraRig::kHold, {0, 0, -4});
    path.key(kRoll, CameraRig::kRollStep, {1, 0}).key(kRoll, CameraRig::kRollStep, {1, 0});
    for (TrackId track : {kEye, kTarget, kRoll}) {
        path.time(track, CameraRig::kConstant, {0, 10}).time(track, CameraRig::kConstant, {100, 10});
    }
    return path;
}

std::string writeFile(const std::vector<unsigned char>& bytes) {
    static int serial = 0;
    return TestFiles::write("rig" + std::to_string(++serial), bytes);
}

bool load(CameraRig& rig, const PathFile& path) { return rig.load(writeFile(path.bytes())); }

// Loads a file that must be refused; returns what the rig printed.
std::string rejection(const std::vector<unsigned char>& bytes) {
    std::string file = writeFile(bytes);
    CameraRig rig;
    testing::internal::CaptureStderr();
    bool loaded = rig.load(file);
    std::string message = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(loaded);
    EXPECT_FALSE(rig.loaded());
    EXPECT_EQ(message.rfind(file + ": ", 0), 0u) << message;
    EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1) << message;
    return message;
}

std::string rejection(const PathFile& path) { return rejection(path.bytes()); }

void expectPoint(const Vec3& point, float x, float y, float z, float tolerance = 1e-5f) {
    EXPECT_NEAR(point.x, x, tolerance);
    EXPECT_NEAR(point.y, y, tolerance);
    EXPECT_NEAR(point.z, z, tolerance);
}

// Applies the camera's model-view to a point, columns as OpenGL reads them.
Vec3 viewOf(const Matrix4& m, float x, float y, float z) {
    return Vec3(m[0] * x + m[4] * y + m[8] * z + m[12], m[1] * x + m[5] * y + m[9] * z + m[13],
                m[2] * x + m[6] * y + m[10] * z + m[14]);
}

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
    // Header 48 bytes, then two eye keyframes of a kind and three floats each.
    EXPECT_EQ(eye.reserved[0], 48 + 2 * 16);
    EXPECT_EQ(rig.target().reserved[0], 48 + 4 * 16);
    EXPECT_EQ(rig.roll().reserved[0], 48 + 4 * 16 + 2 * 12);
    EXPECT_EQ(eye.reserved[1], 1234);
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
    EXPECT_EQ(rig.eye().keyframes[1][1], 1.0f);
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
    EXPECT_EQ(rig.eye().keyframes[3][1], 1.0f);
    ASSERT_TRUE(load(rig, path));
    EXPECT_EQ(rig.eye().keyframes[3][1], 2.0f);
    expectPoint(rig.eye().current, 6, 6, 0, 0);
    EXPECT_EQ(rig.eye().clock, 0.0f);
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
    EXPECT_NE(testing::internal::GetCapturedStderr().find("cannot"), std::string::npos);

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
    EXPECT_EQ(rig.eye().keyframes[3][1], 1.0f);

    ASSERT_TRUE(load(rig, looping(-1, true)));
    EXPECT_GT(passesThroughFirstKeyframe(rig, 200), 20);
    EXPECT_EQ(rig.eye().keyframes[3][1], -1.0f);

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
    EXPECT_EQ(rig.eye().timing[2][3], 1.0f);

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
