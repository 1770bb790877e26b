#include "link/PlayerFile.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>

namespace {

namespace fs = std::filesystem;

std::string freshFolder(const std::string& name) {
    const fs::path folder = fs::path(TestFiles::folder()) / "player" / name;
    fs::remove_all(folder);
    return folder.string();
}

void writeText(const std::string& path, const std::string& text) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

std::string readText(const std::string& path) { return TestFiles::readAll(path); }

const std::string kKey = "k3Jq0x1b8mVZ9yq2ZlQm4n7tP0cXyRrW";

}  // namespace

TEST(PlayerFile, TheKeyIsMadeOnceAndEverythingComesBackAfterARestart) {
    const std::string folder = freshFolder("round-trip");
    std::string key;
    {
        PlayerFile player(folder);
        player.load();
        key = player.playerKey();
        EXPECT_EQ(key.size(), static_cast<std::size_t>(PlayerFile::kKeyLength));
        EXPECT_EQ(key.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"),
                  std::string::npos);
        // Made and kept at once, before any name or score.
        EXPECT_TRUE(fs::exists(player.path()));
        EXPECT_EQ(player.boardScore(Mode::Normal, Difficulty::Hard), -1);
        player.setName("ACE 2");
        player.setBoardScore(Mode::Random, Difficulty::Easy, 3437);
        player.setBoardScore(Mode::Normal, Difficulty::Hard, 0);
        player.setPlayerId("a1b2c3d4e5f60718");
        player.setPlayerId("a&b");
        // The latest accepted runs only, however many came.
        for (long long run = 1; run <= static_cast<long long>(PlayerFile::kOwnRuns) + 2; ++run) {
            player.addOwnRun(run);
        }
    }
    PlayerFile again(folder);
    again.load();
    EXPECT_EQ(again.playerKey(), key);
    EXPECT_EQ(again.name(), "ACE 2");
    EXPECT_EQ(again.playerId(), "a1b2c3d4e5f60718");
    EXPECT_EQ(again.boardScore(Mode::Random, Difficulty::Easy), 3437);
    EXPECT_EQ(again.boardScore(Mode::Normal, Difficulty::Hard), 0);
    EXPECT_EQ(again.boardScore(Mode::Normal, Difficulty::Easy), -1);
    EXPECT_EQ(again.ownRuns().size(), PlayerFile::kOwnRuns);
    EXPECT_EQ(again.ownRuns().count(2), 0u);
    EXPECT_EQ(again.ownRuns().count(PlayerFile::kOwnRuns + 2), 1u);
    EXPECT_NE(readText(again.path()).find("\"random-easy\": 3437"), std::string::npos);

    // Keys differ from install to install.
    std::set<std::string> keys;
    for (int i = 0; i < 20; ++i) {
        keys.insert(PlayerFile::makeKey());
    }
    EXPECT_EQ(keys.size(), 20u);
}

TEST(PlayerFile, ADamagedFileIsKeptAsideNamedAndNeverWrittenOverSilently) {
    const struct {
        const char* text;
        const char* fault;
    } cases[] = {
        {"{\"name\": \"ACE\", \"playerKey\": ", "not a JSON document"},
        {"[1, 2]", "not a JSON object"},
        {"{\"name\": \"ACE\"}", "\"playerKey\""},
        {"{\"playerKey\": \"short\"}", "\"playerKey\""},
        {"{\"playerKey\": \"k3Jq0x1b8mVZ9yq2ZlQm4n7tP0cXyRrW!\"}", "\"playerKey\""},
        {"{\"name\": 5, \"playerKey\": \"k3Jq0x1b8mVZ9yq2ZlQm4n7tP0cXyRrW\"}", "\"name\""},
        {"{\"name\": \"A NAME FAR TOO LONG\", \"playerKey\": \"k3Jq0x1b8mVZ9yq2ZlQm4n7tP0cXyRrW\"}", "\"name\""},
        {"{\"playerKey\": \"k3Jq0x1b8mVZ9yq2ZlQm4n7tP0cXyRrW\", \"boards\": [1]}", "\"boards\""},
        {"{\"playerKey\": \"k3Jq0x1b8mVZ9yq2ZlQm4n7tP0cXyRrW\", \"boards\": {\"normal-hard\": -3}}", "\"normal-hard\""},
        {"{\"playerKey\": \"k3Jq0x1b8mVZ9yq2ZlQm4n7tP0cXyRrW\", \"boards\": {\"normal-hard\": 1.5}}", "\"normal-hard\""},
        {"{\"playerKey\": \"k3Jq0x1b8mVZ9yq2ZlQm4n7tP0cXyRrW\", \"runs\": [4, 0]}", "\"runs\""},
        {"{\"playerKey\": \"k3Jq0x1b8mVZ9yq2ZlQm4n7tP0cXyRrW\", \"runs\": 4}", "\"runs\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const std::string folder = freshFolder("damaged");
        PlayerFile player(folder);
        writeText(player.path(), c.text);
        testing::internal::CaptureStderr();
        player.load();
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_EQ(said.rfind(player.path() + ": ", 0), 0u) << said;
        EXPECT_NE(said.find(c.fault), std::string::npos) << said;
        EXPECT_NE(said.find("kept aside as player.json.broken"), std::string::npos) << said;
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1);
        EXPECT_EQ(readText(player.path() + ".broken"), c.text);
        // Play goes on with a new player, kept at once.
        EXPECT_EQ(player.playerKey().size(), static_cast<std::size_t>(PlayerFile::kKeyLength));
        EXPECT_NE(readText(player.path()).find(player.playerKey()), std::string::npos);
    }
    // A well-formed file with a key of the board's wider kind is taken as it is.
    const std::string folder = freshFolder("wider");
    PlayerFile player(folder);
    writeText(player.path(), "{\"playerKey\": \"" + kKey + "-_\", \"boards\": {\"normal-easy\": 12, \"other\": 3}}");
    player.load();
    EXPECT_EQ(player.playerKey(), kKey + "-_");
    EXPECT_EQ(player.boardScore(Mode::Normal, Difficulty::Easy), 12);
    EXPECT_FALSE(fs::exists(player.path() + ".broken"));
}

TEST(PlayerFile, WithoutAFolderNothingIsKeptAndPlayGoesOn) {
    PlayerFile player("");
    player.load();
    EXPECT_EQ(player.playerKey().size(), static_cast<std::size_t>(PlayerFile::kKeyLength));
    player.setName("ACE");
    EXPECT_EQ(player.name(), "ACE");
    // A folder that is a file cannot be written: said once.
    const std::string blocked = TestFiles::write("player-blocked", "a file, not a folder");
    PlayerFile stuck(blocked);
    testing::internal::CaptureStderr();
    stuck.load();
    stuck.setName("ACE");
    stuck.setBoardScore(Mode::Normal, Difficulty::Hard, 5);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    EXPECT_NE(said.find("not kept"), std::string::npos) << said;
    EXPECT_EQ(stuck.boardScore(Mode::Normal, Difficulty::Hard), 5);
}
