#include "tools/campath/CamPath.h"

#include "control/CameraRig.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

const std::string kDescription = std::string(TAMQ_SOURCE_DIR) + "/data/cam/camversion1.json";
const std::string kPathFile = std::string(TAMQ_SOURCE_DIR) + "/data/cam/camversion1";

TEST(CamPath, CommittedGamePathIsWhatTheToolWrites) {
    std::string bytes = CamPath::fromFile(kDescription).write();
    std::string committed = TestFiles::readAll(kPathFile);
    ASSERT_FALSE(committed.empty()) << kPathFile;
    EXPECT_EQ(bytes, committed)
        << "regenerate with: campath data/cam/camversion1.json data/cam/camversion1";
}

TEST(CamPath, GamePathLoadsAndPlaysEveryKind) {
    CameraRig rig;
    ASSERT_TRUE(rig.load(kPathFile));
    const CameraRig::Track& eye = rig.eye();
    // The path is meant to exercise the loader: it holds each kind the game's rig can play.
    auto hasKind = [](const CameraRig::Track& track, int32_t kind) {
        for (int i = 0; i < track.keyframeCount; ++i) {
            if (track.keyframes[i].kind == kind) {
                return true;
            }
        }
        return false;
    };
    for (int32_t kind : {CameraRig::kLine, CameraRig::kArc, CameraRig::kCurve, CameraRig::kRepeat}) {
        EXPECT_TRUE(hasKind(eye, kind)) << kind;
    }
    EXPECT_TRUE(hasKind(rig.roll(), CameraRig::kRollRamp));

    Camera camera;
    rig.setCamera(&camera);
    Vec3 firstTarget = rig.target().current;
    float travelled = 0.0f;
    bool targetMoved = false;
    bool rolled = false;
    for (int frame = 0; frame < 60 * 120; ++frame) {
        Vec3 before = rig.eye().current;
        rig.update(1.0f / 60.0f);
        rig.applyToCamera();
        const Vec3& now = rig.eye().current;
        travelled += std::sqrt((now.x - before.x) * (now.x - before.x) +
                               (now.y - before.y) * (now.y - before.y) +
                               (now.z - before.z) * (now.z - before.z));
        targetMoved = targetMoved || rig.target().current.y != firstTarget.y;
        rolled = rolled || rig.rollAngle() != 0.0f;
        for (int i = 0; i < 16; ++i) {
            ASSERT_TRUE(std::isfinite(camera.modelView()[i])) << "frame " << frame;
        }
    }
    EXPECT_GT(travelled, 100.0f);
    EXPECT_TRUE(targetMoved);
    EXPECT_TRUE(rolled);
    // Still looping after two minutes.
    EXPECT_LT(rig.eye().keyframeIndex, rig.eye().keyframeCount);
}

TEST(CamPath, DescriptionFaultsNameTheRecord) {
    auto fault = [](const char* text) {
        try {
            CamPath::fromJson(JsonValue::parse(text));
        } catch (const std::runtime_error& error) {
            return std::string(error.what());
        }
        return std::string("accepted");
    };
    const std::string twoHolds = R"({"kind": "hold", "point": [0, 0, 0]}, {"kind": "hold", "point": [1, 2, 3]})";
    auto path = [&](const std::string& eyeKeyframes, const std::string& rollTiming) {
        return R"({"eye": {"keyframes": [)" + eyeKeyframes +
               R"(], "timing": []}, "target": {"keyframes": [)" + twoHolds +
               R"(], "timing": []}, "roll": {"keyframes": [], "timing": [)" + rollTiming + "]}}";
    };
    EXPECT_EQ(fault(path(twoHolds, "").c_str()), "accepted");
    EXPECT_EQ(fault(path(twoHolds + R"(, {"kind": "jump", "point": [0, 0, 0]})", "").c_str()),
              R"(eye keyframe 2: "kind" must be one of "hold", "line", "arc", "curve", "repeat")");
    EXPECT_EQ(fault(path(twoHolds + R"(, {"kind": "repeat", "target": 3, "count": 2})", "").c_str()),
              "eye keyframe 2: the repeat target must be a whole keyframe number from 1 to 2");
    EXPECT_EQ(fault(path(twoHolds + R"(, {"kind": "line", "pont": [0, 0, 0]})", "").c_str()),
              R"(eye keyframe 2: "point" must be a list of three numbers)");
    EXPECT_EQ(fault(path(twoHolds + R"(, {"kind": "arc", "centre": [0, 0, 0], "angle": 9, "axis": [0, 0, 2]})", "").c_str()),
              R"(eye keyframe 2: "axis" must have length 1)");
    EXPECT_EQ(fault(path(R"({"kind": "hold", "point": [0, 0, 0]})", "").c_str()),
              "eye track: needs at least 2 keyframes (keyframe 0 is not played)");
    EXPECT_EQ(fault(path(twoHolds, R"({"kind": "constant", "time": 0, "value": 1},
                                      {"kind": "repeat", "time": 9, "target": 1, "count": 2})").c_str()),
              R"(roll timing record 1: "count" has no meaning for a "repeat")");
    std::string sixteen = twoHolds;
    for (int i = 0; i < 7; ++i) {
        sixteen += ", " + twoHolds;
    }
    EXPECT_EQ(fault(path(sixteen, "").c_str()), R"(eye track: "keyframes" has 16 entries, at most 15 fit)");
}

}  // namespace
