#include "game/BestScoreFile.h"

#include "io/AtomicFile.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#ifndef _WIN32
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

namespace fs = std::filesystem;

// A fresh folder for one test's best-score file.
std::string freshFolder(const std::string& name) {
    const fs::path folder = fs::path(TestFiles::folder()) / "best" / name;
    fs::remove_all(folder);
    return folder.string();
}

void writeText(const std::string& path, const std::string& text) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

BestScores withNormalHard(int score) {
    BestScores scores;
    scores.offer(Mode::Normal, Difficulty::Hard, score);
    return scores;
}

}  // namespace

TEST(BestScores, OnlyAHigherScoreBeatsTheBestOfItsOwnWayToPlay) {
    BestScores scores;
    EXPECT_FALSE(scores.offer(Mode::Random, Difficulty::Easy, 0));
    EXPECT_TRUE(scores.offer(Mode::Random, Difficulty::Easy, 120));
    EXPECT_FALSE(scores.offer(Mode::Random, Difficulty::Easy, 120));
    EXPECT_TRUE(scores.offer(Mode::Normal, Difficulty::Easy, 50));
    EXPECT_EQ(scores.best(Mode::Random, Difficulty::Easy), 120);
    EXPECT_EQ(scores.best(Mode::Normal, Difficulty::Easy), 50);
    EXPECT_EQ(scores.best(Mode::Random, Difficulty::Hard), 0);
    EXPECT_EQ(scores.best(Mode::Normal, Difficulty::Hard), 0);
}

TEST(BestScoreFile, BestsSurviveARestartAndAMissingFileStartsFromZero) {
    const std::string folder = freshFolder("restart");
    testing::internal::CaptureStderr();
    EXPECT_EQ(BestScoreFile(folder).load(), BestScores{});
    BestScores scores;
    scores.offer(Mode::Normal, Difficulty::Easy, 1234);
    scores.offer(Mode::Random, Difficulty::Hard, 99);
    EXPECT_TRUE(BestScoreFile(folder).save(scores));
    EXPECT_EQ(BestScoreFile(folder).load(), scores);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_FALSE(fs::exists(AtomicFile::temporaryPath(folder + "/best.json")));
}

TEST(BestScoreFile, ANonsenseFileIsReportedKeptAsideAndPlayStartsFromZero) {
    struct Case {
        const char* name;
        const char* text;
        const char* fault;
    };
    const Case cases[] = {
        {"empty", "", "not a JSON document"},
        {"cut short", "{\"normalHard\": 12", "not a JSON document"},
        {"binary", "\x89PNG\r\n\x1a\n", "not a JSON document"},
        {"NaN", "{\"normalHard\": NaN}", "not a JSON document"},
        {"beyond a double", "{\"normalHard\": 1e999}", "not a JSON document"},
        {"array", "[1, 2, 3, 4]", "not a JSON object"},
        {"negative", "{\"normalEasy\": -5}", "\"normalEasy\" is not a whole number from 0 to 999999999"},
        {"huge", "{\"randomHard\": 10000000000}", "\"randomHard\" is not a whole number from 0 to 999999999"},
        {"fraction", "{\"randomEasy\": 12.5}", "\"randomEasy\" is not a whole number from 0 to 999999999"},
        {"string", "{\"normalHard\": \"12\"}", "\"normalHard\" is not a number"},
        {"null", "{\"normalHard\": null}", "\"normalHard\" is not a number"},
        {"list", "{\"normalHard\": [12]}", "\"normalHard\" is not a number"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string folder = freshFolder("bad");
        const std::string path = folder + "/best.json";
        writeText(path, c.text);
        BestScoreFile file(folder);
        testing::internal::CaptureStderr();
        EXPECT_EQ(file.load(), BestScores{});
        EXPECT_EQ(testing::internal::GetCapturedStderr(),
                  path + ": " + c.fault + "; kept aside as best.json.bad, the best scores start from zero\n");
        EXPECT_FALSE(fs::exists(path));
        EXPECT_EQ(TestFiles::readAll(path + ".bad"), c.text);
        // The next best is kept as usual, and a second bad file replaces the first one aside.
        EXPECT_TRUE(file.save(withNormalHard(7)));
        EXPECT_EQ(BestScoreFile(folder).load(), withNormalHard(7));
        writeText(path, "{");
        testing::internal::CaptureStderr();
        BestScoreFile(folder).load();
        testing::internal::GetCapturedStderr();
        EXPECT_EQ(TestFiles::readAll(path + ".bad"), "{");
    }
}

// Running as root ignores permission bits, so these folders are unwritable in ways no one
// can get around: one under a path whose parent is a regular file, and (on Linux) one in
// /proc, where nobody may create a file.
TEST(BestScoreFile, AFolderThatCannotBeWrittenIsReportedOnceAndPlayGoesOn) {
    const std::string blocker = TestFiles::write("not-a-folder", "a file where a folder should be");
    std::vector<std::string> folders = {blocker + "/tamq4pelrok"};
#ifdef __linux__
    folders.push_back("/proc/self/tamq4pelrok");
#endif
    for (const std::string& folder : folders) {
        SCOPED_TRACE(folder);
        BestScoreFile file(folder);
        testing::internal::CaptureStderr();
        EXPECT_EQ(file.load(), BestScores{});
        EXPECT_FALSE(file.save(withNormalHard(10)));
        EXPECT_FALSE(file.save(withNormalHard(20)));
        const std::string report = testing::internal::GetCapturedStderr();
        EXPECT_EQ(report.find(folder), 0u) << report;
        EXPECT_NE(report.find("playing on"), std::string::npos) << report;
        EXPECT_EQ(report.find('\n'), report.size() - 1) << "reported more than once:\n" << report;
    }
}

std::vector<std::string> savedPaths;
void noteSaved(const std::string& path) { savedPaths.push_back(path); }

TEST(BestScoreFile, TheSavedHookHearsOfEachWrittenSaveOnly) {
    savedPaths.clear();
    const std::string folder = freshFolder("hook");
    BestScoreFile file(folder);
    file.setSavedHook(noteSaved);
    EXPECT_TRUE(file.save(withNormalHard(5)));
    EXPECT_TRUE(file.save(withNormalHard(6)));
    EXPECT_EQ(savedPaths, (std::vector<std::string>{file.path(), file.path()}));
    // A folder that cannot be made: nothing was written, nothing to copy.
    writeText(folder + "/blocked", "");
    BestScoreFile blocked(folder + "/blocked/inner");
    blocked.setSavedHook(noteSaved);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(blocked.save(withNormalHard(7)));
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(savedPaths.size(), 2u);
}

TEST(BestScoreFile, NoFolderKeepsNothingAndSaysSo) {
    testing::internal::CaptureStderr();
    EXPECT_FALSE(BestScoreFile("").save(withNormalHard(1)));
    EXPECT_NE(testing::internal::GetCapturedStderr().find("not kept"), std::string::npos);
}
