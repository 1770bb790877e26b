#include "sim/PatternFile.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

const char* kScript = R"({
  "comment": "three scripted cars and one pattern",
  "cars": [{"x": 1, "speed": 7, "time": 10}, {"x": 2, "speed": 8, "time": 75},
           {"x": 3, "speed": 9, "time": 80, "colour": "red"}],
  "patterns": [[{"x": -4, "speed": 6, "time": 0}, {"x": 4, "speed": 6, "time": 0.5}]]
})";

struct Loaded {
    std::vector<CarSpawn> queue;
    std::vector<CarPattern> patterns;
    std::string errors;
    std::string path;  // as the loader was given it, with this system's separators
};

Loaded load(const std::string& name, const std::string& text, float startClock, Loaded before = {}) {
    std::string path = TestFiles::write(name, text);
    testing::internal::CaptureStderr();
    PatternFile::load(path, startClock, before.queue, before.patterns);
    before.errors = testing::internal::GetCapturedStderr();
    before.path = path;
    return before;
}

Loaded withOldLists() {
    Loaded old;
    old.queue = {{9, 9, 9}};
    old.patterns = {{{5, 5, 5}}, {}};
    return old;
}

}  // namespace

TEST(PatternFile, NormalKeepsTheWholeScriptRandomStartsAtSeventy) {
    Loaded normal = load("script.json", kScript, 0.0f);
    EXPECT_EQ(normal.errors, "");
    ASSERT_EQ(normal.queue.size(), 3u);
    EXPECT_EQ(normal.queue[2].x, 3.0f);
    EXPECT_EQ(normal.queue[2].speed, 9.0f);
    EXPECT_EQ(normal.queue[2].time, 80.0f);
    ASSERT_EQ(normal.patterns.size(), 1u);
    ASSERT_EQ(normal.patterns[0].size(), 2u);
    EXPECT_EQ(normal.patterns[0][1].time, 0.5f);

    Loaded random = load("script.json", kScript, 70.0f);
    ASSERT_EQ(random.queue.size(), 2u);
    EXPECT_EQ(random.queue[0].time, 75.0f);
    // The pool is never filtered.
    EXPECT_EQ(random.patterns[0].size(), 2u);
}

TEST(PatternFile, AnEntryExactlyAtTheStartClockIsKept) {
    Loaded loaded = load("edge.json", R"({"cars": [{"x": 0, "speed": 7, "time": 69.99},
        {"x": 0, "speed": 7, "time": 70}, {"x": 0, "speed": 7, "time": -1}]})", 70.0f);
    ASSERT_EQ(loaded.queue.size(), 1u);
    EXPECT_EQ(loaded.queue[0].time, 70.0f);
    EXPECT_EQ(load("negative.json", R"({"cars": [{"x": 0, "speed": 7, "time": -1}]})", 0.0f)
                  .queue.size(),
              0u);
}

TEST(PatternFile, MissingMembersLeaveTheirListsAsTheyWere) {
    Loaded onlyCars = load("cars.json", R"({"cars": []})", 0.0f, withOldLists());
    EXPECT_TRUE(onlyCars.queue.empty());
    EXPECT_EQ(onlyCars.patterns.size(), 2u);

    Loaded onlyPatterns = load("patterns.json", R"({"patterns": [[], []]})", 0.0f, withOldLists());
    ASSERT_EQ(onlyPatterns.queue.size(), 1u);
    EXPECT_EQ(onlyPatterns.queue[0].x, 9.0f);
    ASSERT_EQ(onlyPatterns.patterns.size(), 2u);
    EXPECT_TRUE(onlyPatterns.patterns[0].empty());
}

TEST(PatternFile, TheLaterOfTwoMembersWins) {
    Loaded loaded = load("twice.json", R"({"cars": [{"x": 1, "speed": 7, "time": 1}],
        "cars": [{"x": 2, "speed": 7, "time": 2}, {"x": 3, "speed": 7, "time": 3}]})", 0.0f);
    ASSERT_EQ(loaded.queue.size(), 2u);
    EXPECT_EQ(loaded.queue[0].x, 2.0f);
}

TEST(PatternFile, UnreadableFilesChangeNothingAndSayWhere) {
    Loaded missing = withOldLists();
    testing::internal::CaptureStderr();
    std::string path = TestFiles::missing("cars.json");
    PatternFile::load(path, 0.0f, missing.queue, missing.patterns);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), path + ": cannot open the file\n");
    EXPECT_EQ(missing.queue.size(), 1u);

    Loaded malformed = load("broken.json", "{\"cars\": [\n  {\"x\": 1,, }]}", 0.0f, withOldLists());
    EXPECT_NE(malformed.errors.find("broken.json: line 2, column 11"), std::string::npos)
        << malformed.errors;
    EXPECT_EQ(malformed.queue.size(), 1u);
    EXPECT_EQ(malformed.patterns.size(), 2u);

    Loaded notObject = load("array.json", "[]", 0.0f, withOldLists());
    EXPECT_NE(notObject.errors.find("root is not an object"), std::string::npos);
    EXPECT_EQ(notObject.queue.size(), 1u);
}

TEST(PatternFile, BadCarsAreSkippedOneLineEach) {
    Loaded loaded = load("bad.json", R"({"cars": [{"x": 1, "speed": 7}, {"x": "2", "speed": 7, "time": 1},
        {"x": 3, "speed": 7, "time": 2}],
        "patterns": [[{"speed": 7, "time": 0}, {"x": 1, "speed": 7, "time": 1}], 5]})", 0.0f);
    ASSERT_EQ(loaded.queue.size(), 1u);
    EXPECT_EQ(loaded.queue[0].x, 3.0f);
    ASSERT_EQ(loaded.patterns.size(), 2u);
    EXPECT_EQ(loaded.patterns[0].size(), 1u);
    EXPECT_TRUE(loaded.patterns[1].empty());
    EXPECT_NE(loaded.errors.find("\"cars\" element 0: missing \"time\""), std::string::npos);
    EXPECT_NE(loaded.errors.find("\"cars\" element 1: \"x\" is not a number"), std::string::npos);
    EXPECT_NE(loaded.errors.find("\"patterns\" element 0 car 0: missing \"x\""), std::string::npos);
    EXPECT_NE(loaded.errors.find("\"patterns\" element 1 is not an array"), std::string::npos);
    EXPECT_EQ(std::count(loaded.errors.begin(), loaded.errors.end(), '\n'), 4);
}

TEST(PatternFile, APoolWithoutCarsIsReportedAtEveryLoad) {
    const std::string expected = ": no car in \"patterns\": once the scripted cars run out, the road stays empty\n";
    for (const char* text : {R"({"cars": [{"x": 1, "speed": 7, "time": 1}]})",
                             R"({"cars": [], "patterns": []})", R"({"patterns": [[], []]})"}) {
        Loaded first = load("nopool.json", text, 0.0f);
        EXPECT_EQ(first.errors, first.path + expected) << text;
        // The next run reads the file again and says it again; nothing else changes.
        Loaded again = load("nopool.json", text, 70.0f, first);
        EXPECT_EQ(again.errors, first.errors) << text;
    }
    // A pool kept from an earlier load still has cars, so there is nothing to say.
    EXPECT_EQ(load("kept.json", R"({"cars": []})", 0.0f, withOldLists()).errors, "");
}
