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

#ifndef _WIN32
// A save killed at any moment leaves the file whole: the best from before the save or the
// one being saved, never a broken file and never none. The child saves higher and higher
// bests without pause, so the kills land in every part of a save.
TEST(BestScoreFile, KillingTheGameWhileItSavesNeverLosesTheBest) {
    const std::string folder = freshFolder("killed");
    const std::string path = folder + "/best.json";
    ASSERT_TRUE(BestScoreFile(folder).save(withNormalHard(1)));
    std::mt19937 random(20261207);
    std::uniform_int_distribution<int> delayMicroseconds(0, 15000);
    int best = 1;
    int unchanged = 0;
    for (int kill = 0; kill < 100; ++kill) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            BestScoreFile file(folder);
            for (int next = best + 1;; ++next) {
                file.save(withNormalHard(next));
            }
        }
        const auto until = std::chrono::steady_clock::now() + std::chrono::microseconds(delayMicroseconds(random));
        while (std::chrono::steady_clock::now() < until) {
        }
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status));

        ASSERT_TRUE(fs::exists(path)) << "no best file after kill " << kill;
        BestScores stored;
        std::string fault;
        ASSERT_TRUE(BestScores::fromJson(TestFiles::readAll(path), stored, fault))
            << "kill " << kill << ": " << fault << "\n" << TestFiles::readAll(path);
        ASSERT_GE(stored.best(Mode::Normal, Difficulty::Hard), best) << "kill " << kill;
        unchanged += stored.best(Mode::Normal, Difficulty::Hard) == best ? 1 : 0;
        best = stored.best(Mode::Normal, Difficulty::Hard);
    }
    EXPECT_FALSE(fs::exists(path + ".bad"));
    std::printf("100 kills while saving: the old best %d times, a newer one %d times, last best %d\n", unchanged,
                100 - unchanged, best);
}
#endif

namespace {

RunRecord runOf(Mode mode, Difficulty difficulty, uint32_t seed) {
    RunRecord record;
    record.gameVersion = "1.0.0";
    record.tickRate = 240;
    record.seed = seed;
    record.mode = mode == Mode::Random ? 1 : 0;
    record.difficulty = difficulty == Difficulty::Easy ? 1 : 0;
    record.changes = {{0, 1}, {10, 0}};
    record.ticks = 100;
    record.score = 12.0f;
    return record;
}

}  // namespace

TEST(BestScoreFile, EachWayToPlayKeepsItsOwnBestRun) {
    const std::string folder = freshFolder("runs");
    BestScoreFile file(folder);
    const Mode modes[] = {Mode::Normal, Mode::Random};
    const Difficulty difficulties[] = {Difficulty::Hard, Difficulty::Easy};
    RunRecord read;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(file.loadRun(Mode::Normal, Difficulty::Hard, read)) << "no run kept yet";
    uint32_t seed = 1;
    for (Mode mode : modes) {
        for (Difficulty difficulty : difficulties) {
            EXPECT_TRUE(file.saveRun(runOf(mode, difficulty, seed++)));
        }
    }
    seed = 1;
    for (Mode mode : modes) {
        for (Difficulty difficulty : difficulties) {
            ASSERT_TRUE(BestScoreFile(folder).loadRun(mode, difficulty, read));
            EXPECT_EQ(read, runOf(mode, difficulty, seed++));
        }
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_TRUE(fs::exists(folder + "/best-run-random-easy.rec"));
    EXPECT_FALSE(fs::exists(AtomicFile::temporaryPath(folder + "/best-run-normal-hard.rec")));
}

TEST(BestScoreFile, ADamagedBestRunIsReportedAndKeptAside) {
    const std::string good = runOf(Mode::Random, Difficulty::Hard, 5).toBytes();
    const struct {
        const char* name;
        std::string bytes;
        const char* fault;
    } cases[] = {
        {"cut short", good.substr(0, good.size() - 3), "cut short in the end"},
        {"not a record", "{\"normalHard\": 3}", "not a run record"},
        {"another way to play", runOf(Mode::Normal, Difficulty::Easy, 5).toBytes(), "another mode or difficulty"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string folder = freshFolder("bad-run");
        const std::string path = folder + "/" + BestScoreFile::runFileName(Mode::Random, Difficulty::Hard);
        writeText(path, c.bytes);
        RunRecord read;
        testing::internal::CaptureStderr();
        EXPECT_FALSE(BestScoreFile(folder).loadRun(Mode::Random, Difficulty::Hard, read));
        const std::string report = testing::internal::GetCapturedStderr();
        EXPECT_EQ(report.find(path + ": "), 0u) << report;
        EXPECT_NE(report.find(c.fault), std::string::npos) << report;
        EXPECT_NE(report.find("kept aside as best-run-random-hard.rec.bad, there is no best run to watch\n"),
                  std::string::npos)
            << report;
        EXPECT_EQ(TestFiles::readAll(path + ".bad"), c.bytes);
        EXPECT_FALSE(fs::exists(path));
    }
}
