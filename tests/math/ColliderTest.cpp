#include "math/Collider.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

const char* kBox = R"({"collider": {
  "vertices": [{"x": 0, "y": 0}, {"x": 1, "y": 0}, {"x": 1, "y": 1}, {"y": 1, "x": 0}],
  "indices": [{"a": 0, "b": 1}, {"b": 2, "a": 1}, {"a": 2.9, "b": 3}],
  "circles": [{"x": 0.5, "y": 0.5, "radius": 0.25}]
}})";

// Loads text as a collider file; returns the result and what went to standard error.
bool loadText(Collider& collider, const std::string& name, const std::string& text, std::string& error) {
    std::string path = TestFiles::write(name, text);
    testing::internal::CaptureStderr();
    bool ok = collider.load(path);
    error = testing::internal::GetCapturedStderr();
    return ok;
}

}  // namespace

TEST(Collider, LoadsShapesInFileOrder) {
    Collider collider;
    std::string error;
    ASSERT_TRUE(loadText(collider, "box.json", kBox, error)) << error;
    EXPECT_EQ(error, "");
    EXPECT_EQ(collider.vertexCount(), 4u);
    EXPECT_EQ(collider.edgeCount(), 3u);
    EXPECT_EQ(collider.circleCount(), 1u);
    // "b" before "a" reads the same; 2.9 truncates to 2.
    EXPECT_EQ(collider.edgeIndex(1, 0), 1);
    EXPECT_EQ(collider.edgeIndex(1, 1), 2);
    EXPECT_EQ(collider.edgeIndex(2, 0), 2);
    float ends[4];
    collider.edgeEnds(2, ends);
    EXPECT_EQ(ends[0], 1.0f);
    EXPECT_EQ(ends[1], 1.0f);
    EXPECT_EQ(ends[2], 0.0f);
    EXPECT_EQ(ends[3], 1.0f);
    EXPECT_EQ(collider.circleRadius(0), 0.25f);
}

TEST(Collider, OtherMembersAreIgnoredAndTheLastColliderWins) {
    Collider collider;
    std::string error;
    ASSERT_TRUE(loadText(collider, "two.json", R"({"name": "car",
        "collider": {"vertices": [{"x": 0, "y": 0}], "indices": [], "circles": [{"x": 0, "y": 0, "radius": 1}]},
        "collider": {"vertices": [], "indices": [], "circles": []}})", error));
    EXPECT_EQ(collider.vertexCount(), 0u);
    EXPECT_EQ(collider.circleCount(), 0u);
}

TEST(Collider, PathsWithoutJsonReadNothingAndSucceed) {
    Collider collider;
    std::string error;
    ASSERT_TRUE(loadText(collider, "box.json", kBox, error));
    // Upper-case extension and ".json" at the very start do not count.
    EXPECT_TRUE(collider.load("data/collider.JSON"));
    EXPECT_TRUE(collider.load(".json"));
    EXPECT_EQ(collider.circleCount(), 1u);
}

TEST(Collider, BadFilesFailWithOneLineAndLeaveItEmpty) {
    struct Case {
        const char* name;
        const char* text;
        const char* expected;  // part of the message
    };
    const Case cases[] = {
        {"syntax.json", "{\"collider\": {\n  \"vertices\": [,]}}", "line 2, column 16"},
        {"novertices.json", R"({"collider": {"indices": [], "circles": []}})", "no \"vertices\""},
        {"noindices.json", R"({"collider": {"vertices": [], "circles": []}})", "no \"indices\""},
        {"nocircles.json", R"({"collider": {"vertices": [], "indices": []}})", "no \"circles\""},
        {"missingkey.json",
         R"({"collider": {"vertices": [{"x": 0}], "indices": [], "circles": []}})",
         "\"vertices\" element 0: missing \"y\""},
        {"string.json",
         R"({"collider": {"vertices": [], "indices": [], "circles": [{"x": 0, "y": "1", "radius": 1}]}})",
         "\"circles\" element 0: \"y\" is not a number"},
        {"range.json",
         R"({"collider": {"vertices": [{"x": 0, "y": 0}], "indices": [{"a": 0, "b": 1}], "circles": []}})",
         "\"indices\" element 0: \"b\" = 1 is outside the 1 vertices"},
        {"negative.json",
         R"({"collider": {"vertices": [{"x": 0, "y": 0}], "indices": [{"a": -1, "b": 0}], "circles": []}})",
         "\"a\" = -1 is outside"},
        {"notobject.json", "[1, 2]", "root is not an object"},
    };
    for (const Case& c : cases) {
        Collider collider;
        std::string error;
        ASSERT_TRUE(loadText(collider, "good.json", kBox, error));
        EXPECT_FALSE(loadText(collider, c.name, c.text, error)) << c.name;
        EXPECT_NE(error.find(c.name), std::string::npos) << error;
        EXPECT_NE(error.find(c.expected), std::string::npos) << error;
        EXPECT_EQ(std::count(error.begin(), error.end(), '\n'), 1) << error;
        EXPECT_EQ(collider.vertexCount(), 0u) << c.name;
        EXPECT_EQ(collider.edgeCount(), 0u) << c.name;
        EXPECT_EQ(collider.circleCount(), 0u) << c.name;
    }
}

TEST(Collider, MissingFileFailsWithItsName) {
    Collider collider;
    std::string path = TestFiles::missing("gone.json");
    testing::internal::CaptureStderr();
    EXPECT_FALSE(collider.load(path));
    std::string error = testing::internal::GetCapturedStderr();
    EXPECT_EQ(error, path + ": cannot open the file\n");
}
