#include "render/MeshAnimation.h"

#include "io/JsonFile.h"

#include "render/FlatColourDrawing.h"
#include "render/Mesh.h"
#include "render/Sprite.h"
#include "support/HeadlessGl.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A keyframe whose every value is derived from `pose`, so poses are easy to tell apart
// and their midpoints easy to write down.
JsonValue keyframe(float startTime, float pose, int vertices = 2) {
    JsonValue frame;
    frame["startTime"] = startTime;
    frame["vertices"] = JsonValue::array();
    frame["uvs"] = JsonValue::array();
    frame["colors"] = JsonValue::array();
    for (int i = 0; i < vertices; ++i) {
        frame["vertices"].push_back({{"x", pose + i}, {"y", 2 * pose}, {"z", -pose}});
        frame["uvs"].push_back({{"u", pose / 8}, {"v", i}});
        frame["colors"].push_back({{"r", pose / 4}, {"g", 1}, {"b", 0}});
    }
    return frame;
}

std::vector<float> positionsOf(float pose) { return {pose, 2 * pose, -pose, pose + 1, 2 * pose, -pose}; }
std::vector<float> coloursOf(float pose) { return {pose / 4, 1, 0, pose / 4, 1, 0}; }
std::vector<float> uvsOf(float pose) { return {pose / 8, 0, pose / 8, 1}; }

void expectPose(const MeshAnimation& animation, float pose) {
    EXPECT_EQ(animation.currentPositions(), positionsOf(pose));
    EXPECT_EQ(animation.currentColours(), coloursOf(pose));
    EXPECT_EQ(animation.currentUvs(), uvsOf(pose));
}

// Animations as an object of named keyframe lists, the way content files write them.
JsonValue animations(std::initializer_list<std::vector<JsonValue>> keyframeLists) {
    JsonValue all = JsonValue::object();
    int n = 0;
    for (const auto& keyframes : keyframeLists) {
        JsonValue animation;
        animation["keyframes"] = keyframes;
        all["animation" + std::to_string(n++)] = animation;
    }
    return all;
}

void expectRejected(const JsonValue& node, const std::string& fault) {
    MeshAnimation animation;
    try {
        animation.loadAnimations(node);
        ADD_FAILURE() << "accepted, expected: " << fault;
    } catch (const std::runtime_error& error) {
        EXPECT_NE(std::string(error.what()).find(fault), std::string::npos) << error.what();
    }
}

// Samples the animation at each time and checks the pose there.
void expectSamples(MeshAnimation& animation, uint32_t number,
                   std::initializer_list<std::pair<float, float>> samples) {
    for (auto [time, pose] : samples) {
        animation.sample(number, time);
        SCOPED_TRACE("at " + std::to_string(time));
        expectPose(animation, pose);
    }
}

}  // namespace

TEST(MeshAnimation, SamplingBlendsBetweenKeyframesAndHoldsTheEnds) {
    MeshAnimation animation;
    animation.loadAnimations(animations({{keyframe(0, 0), keyframe(2, 8)}}));
    ASSERT_EQ(animation.vertexCount(), 2);
    // Before any sample the current arrays show the first pose.
    expectPose(animation, 0);

    expectSamples(animation, 0, {{1.0f, 4}, {2.0f, 8}, {0.0f, 0}, {5.0f, 8}, {-1.0f, 0}});

    // Past the last animation nothing changes.
    animation.sample(0, 0.5f);
    const std::vector<float> before = animation.currentPositions();
    animation.sample(1, 1.5f);
    EXPECT_EQ(animation.currentPositions(), before);
    EXPECT_EQ(animation.endTime(1), -1.0f);
}

TEST(MeshAnimation, KeyframesOfSeveralAnimationsAreIndexedBackToBack) {
    MeshAnimation animation;
    animation.loadAnimations(animations({{keyframe(0, 0), keyframe(1, 4), keyframe(3, 16)},
                                         {keyframe(0, 40), keyframe(0.5f, 48)}}));
    EXPECT_EQ(animation.animationCount(), 2);
    EXPECT_EQ(animation.keyframeCount(), 5);
    EXPECT_EQ(animation.firstKeyframes(), (std::vector<int32_t>{0, 3}));
    EXPECT_EQ(animation.endTime(0), 3.0f);
    EXPECT_EQ(animation.endTime(1), 0.5f);

    // Exactly on a middle keyframe: that keyframe, not a blend.
    expectSamples(animation, 0, {{1.0f, 4}, {2.0f, 10}});
    // The second animation never reaches into the first one's keyframes.
    expectSamples(animation, 1, {{0.25f, 44}, {9.0f, 48}});
}

TEST(MeshAnimation, ReadsAnimationsWrittenAsArraysAndIgnoresLaterMembers) {
    JsonValue asArrays = JsonValue::array();
    asArrays.push_back(JsonValue::array({JsonValue::array({keyframe(0, 0), keyframe(2, 8)}),
                                         JsonValue::array({keyframe(0, 100)})}));
    MeshAnimation animation;
    animation.loadAnimations(asArrays);
    EXPECT_EQ(animation.animationCount(), 1);
    EXPECT_EQ(animation.keyframeCount(), 2);
    animation.sample(0, 1.0f);
    expectPose(animation, 4);
}

TEST(MeshAnimation, RejectsKeyframesThatBreakTheTimelineOrTheVertexCount) {
    expectRejected(animations({{keyframe(0, 0), keyframe(1, 1, 3)}}),
                   "animation 0, keyframe 1: \"vertices\" has 3 entries");
    JsonValue shortUvs = keyframe(1, 1);
    shortUvs["uvs"].erase(1);
    expectRejected(animations({{keyframe(0, 0), shortUvs}}), "\"uvs\" has 1 entries");
    expectRejected(animations({{keyframe(0, 0)}, {keyframe(0, 0, 1)}}),
                   "animation 1, keyframe 0: \"vertices\" has 1");
    expectRejected(animations({{keyframe(0.5f, 0)}}), "the first keyframe starts at 0.5");
    expectRejected(animations({{keyframe(0, 0), keyframe(1, 1), keyframe(1, 2)}}),
                   "keyframe 2: \"startTime\" 1.000000 does not follow");
    expectRejected(animations({{keyframe(0, 0), keyframe(2, 1), keyframe(1, 2)}}), "does not follow");
    expectRejected(animations({{}}), "animation 0 has no keyframes");
    JsonValue noTime = keyframe(0, 0);
    noTime.erase("startTime");
    expectRejected(animations({{noTime}}), "missing \"startTime\"");
    JsonValue noColours = keyframe(0, 0);
    noColours.erase("colors");
    expectRejected(animations({{noColours}}), "missing \"colors\"");
    JsonValue badNumber = keyframe(0, 0);
    badNumber["vertices"][1]["z"] = "deep";
    expectRejected(animations({{badNumber}}), "\"vertices\" element 1: \"z\" is not a number");
}

TEST(SpriteAnimation, ControlsSetTheFieldsAndReportTheOvershoot) {
    Mesh mesh;
    mesh.load(std::string(TAMQ_TEST_DATA_DIR) + "/render/slidingQuad.json");
    Sprite sprite;
    EXPECT_FALSE(sprite.animated());
    sprite.place(0, 0, 0, &mesh, nullptr, nullptr);
    sprite.playAnimation(0, 1.8f);
    EXPECT_TRUE(sprite.animated());
    EXPECT_EQ(sprite.animationNumber(), 0);
    EXPECT_FLOAT_EQ(sprite.advanceAnimation(0.5f), 0.3f);
    EXPECT_FLOAT_EQ(sprite.animationTime(), 2.3f);

    sprite.setAnimationTime(1.0f);
    EXPECT_EQ(sprite.advanceAnimation(0.5f), -1.0f);
    EXPECT_EQ(sprite.animationTime(), 1.5f);

    sprite.playAnimation(3);
    EXPECT_EQ(sprite.animationNumber(), 3);
    EXPECT_EQ(sprite.animationTime(), 0.0f);
    // An animation that does not exist ends at -1, so any time is past its end.
    EXPECT_FLOAT_EQ(sprite.advanceAnimation(0.25f), 1.25f);
}

TEST(SpriteAnimation, AnAnimatedSpriteDrawsTheSampledPose) {
    REQUIRE_GL();
    Mesh mesh;
    mesh.load(std::string(TAMQ_TEST_DATA_DIR) + "/render/slidingQuad.json");
    mesh.upload();
    Camera screen = flat::screenCamera();
    Sprite sprite;
    sprite.place(100, 100, -5, &mesh, nullptr, &screen);
    sprite.setSize(50, 50, 1);

    // The quad slides 4 sizes to the right over 2 seconds, from blue to cyan.
    flat::beginFrame();
    sprite.playAnimation(0, 1.0f);
    sprite.draw();
    EXPECT_FALSE(flat::drawn(125, 125));
    EXPECT_EQ(flat::pixel(225, 125), (std::array<uint8_t, 4>{0, 128, 255, 255}));

    flat::beginFrame();
    sprite.setAnimationTime(7.0f);
    sprite.draw();
    EXPECT_EQ(flat::pixel(325, 125), (std::array<uint8_t, 4>{0, 255, 255, 255}));

    // Switched back to the plain draw it shows the mesh's own red quad at the origin.
    flat::beginFrame();
    Sprite still;
    still.place(100, 100, -5, &mesh, nullptr, &screen);
    still.setSize(50, 50, 1);
    still.draw();
    EXPECT_EQ(flat::pixel(125, 125), (std::array<uint8_t, 4>{255, 0, 0, 255}));
    EXPECT_FALSE(flat::drawn(325, 125));
}
