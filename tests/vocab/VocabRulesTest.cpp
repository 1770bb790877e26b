// The rules the game, the board and the tools share: each read the same way from either
// side, and the values files and records already hold kept as they are.
#include "vocab/ContentPaths.h"
#include "vocab/PlayModes.h"
#include "vocab/PlayerKey.h"
#include "vocab/PlayerName.h"
#include "vocab/BoardNumbers.h"

#include <gtest/gtest.h>

#include <cstring>
#include <cstdint>
#include <filesystem>
#include <iterator>
#include <map>
#include <string>

TEST(PlayerName, EachCharacterOfTheAlphabetOnceAndNoOther) {
    for (int index = 0; index < PlayerName::kAlphabetSize; ++index) {
        EXPECT_EQ(PlayerName::indexOf(PlayerName::kAlphabet[index]), index) << PlayerName::kAlphabet[index];
    }
    for (int byte = 0; byte < 256; ++byte) {
        const char c = static_cast<char>(byte);
        const bool listed = c != '\0' && std::memchr(PlayerName::kAlphabet, c, PlayerName::kAlphabetSize) != nullptr;
        EXPECT_EQ(PlayerName::allowed(c), listed) << byte;
        EXPECT_EQ(PlayerName::valid(std::string("A") + c + "Z"), listed) << byte;
    }
}

// Every other byte is refused above; here the length and the spaces around a name.
TEST(PlayerName, ThreeToTwelveWithoutSpacesAround) {
    const std::map<std::string, bool> names = {
        {"ABC", true},  {"AB", false},   {"TWELVE CHARS", true},  {"THIRTEEN CHAR", false},
        {"A-B_C 9", true}, {" ABC", false}, {"ABC ", false}, {"'; DROP TABLE runs; --", false},
    };
    for (const auto& [name, valid] : names) {
        EXPECT_EQ(PlayerName::valid(name), valid) << name;
    }
}

TEST(PlayerName, TrimsAndDrawsTextsFromOutside) {
    const struct {
        std::string text;
        std::string trimmed;
        const char* drawn;
    } cases[] = {
        {"ACE", "ACE", "ACE"},
        {"  A B  ", "A B", "  A B  "},
        {"      ", "", "      "},
        {"ace<b>", "ace<b>", "??????"},
        {"LONGERTHANTWELVE", "LONGERTHANTWELVE", "LONGERTHANTW"},
        {std::string("AB\0C", 4), std::string("AB\0C", 4), "AB?C"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PlayerName::trimmed(c.text), c.trimmed) << c.text;
        EXPECT_EQ(PlayerName::drawable(c.text), c.drawn) << c.text;
    }
    EXPECT_EQ(PlayerName::drawable("RANK 12 OF 300", 7), "RANK 12");
}

TEST(PlayerKey, TheKeysTheGameMakesAreKeysTheBoardTakes) {
    for (char c : std::string(PlayerKey::kMadeCharacters)) {
        EXPECT_TRUE(PlayerKey::valid(std::string(PlayerKey::kMadeLength, c))) << c;
    }
}

// The names are in file names and addresses, the codes in records: neither may move.
TEST(PlayModes, EachWayToPlayBackAndForthThroughNameCodeAndIndex) {
    const struct {
        Mode mode;
        Difficulty difficulty;
        const char* name;
        std::uint8_t modeCode;
        std::uint8_t difficultyCode;
    } cases[] = {
        {Mode::Normal, Difficulty::Hard, "normal-hard", 0, 0},
        {Mode::Normal, Difficulty::Easy, "normal-easy", 0, 1},
        {Mode::Random, Difficulty::Hard, "random-hard", 1, 0},
        {Mode::Random, Difficulty::Easy, "random-easy", 1, 1},
    };
    static_assert(std::size(cases) == kPlayCount);
    for (int index = 0; index < kPlayCount; ++index) {
        const auto& c = cases[index];
        EXPECT_EQ(playName(c.mode, c.difficulty), c.name);
        EXPECT_EQ(playIndex(c.mode, c.difficulty), index) << c.name;
        EXPECT_EQ(modeOfIndex(index), c.mode) << c.name;
        EXPECT_EQ(difficultyOfIndex(index), c.difficulty) << c.name;
        EXPECT_EQ(modeCode(c.mode), c.modeCode) << c.name;
        EXPECT_EQ(difficultyCode(c.difficulty), c.difficultyCode) << c.name;
        EXPECT_LT(c.modeCode, kModeCodes);
        EXPECT_LT(c.difficultyCode, kDifficultyCodes);
        EXPECT_EQ(modeOfCode(c.modeCode), c.mode) << c.name;
        EXPECT_EQ(difficultyOfCode(c.difficultyCode), c.difficulty) << c.name;
        // Parsed from a value of the other choice, so that a parse that writes nothing fails.
        Mode mode = modeOfIndex(kPlayCount - 1 - index);
        Difficulty difficulty = c.difficulty == Difficulty::Hard ? Difficulty::Easy : Difficulty::Hard;
        EXPECT_TRUE(modeNamed(modeName(c.mode), mode) && mode == c.mode) << c.name;
        EXPECT_TRUE(difficultyNamed(difficultyName(c.difficulty), difficulty) && difficulty == c.difficulty) << c.name;
    }
    Mode mode = Mode::Normal;
    Difficulty difficulty = Difficulty::Hard;
    for (const char* name : {"", "NORMAL", "Random", "hard", "normal "}) {
        EXPECT_FALSE(modeNamed(name, mode)) << name;
    }
    for (const char* name : {"", "EASY", "normal", "easy\n"}) {
        EXPECT_FALSE(difficultyNamed(name, difficulty)) << name;
    }
}

TEST(ContentPaths, NameTheFilesOfTheDataFolder) {
    for (const char* path : {ContentPaths::kTraffic, ContentPaths::kCollider}) {
        EXPECT_TRUE(std::filesystem::is_regular_file(path)) << path;
        EXPECT_EQ(std::string(ContentPaths::kDataFolder) + "/" + ContentPaths::inData(path), path);
    }
}

// Both go into a path or a query unescaped: digits only for a run, letters and digits for a player.
TEST(BoardNumbers, RunNumbersAndPlayerIdsFromALinkAreDigitsAndLettersOnly) {
    const struct {
        const char* text;
        bool number;
        bool player;
    } cases[] = {{"42", true, true},     {"1", true, true},   {"999999999999999999", true, true}, {"", false, false},
                 {"0", false, true},     {"042", false, true}, {"-3", false, false}, {"4 2", false, false},
                 {"42/record", false, false}, {"1000000000000000000", false, true},  {"abc", false, true},
                 {"a&rows=10", false, false}, {"../x", false, false},
                 {"a123456789b123456789c123456789d123456789e123456789f123456789abcd", false, true},
                 {"a123456789b123456789c123456789d123456789e123456789f123456789abcde", false, false}};
    for (const auto& c : cases) {
        EXPECT_EQ(BoardNumbers::isRunId(c.text), c.number) << c.text;
        EXPECT_EQ(BoardNumbers::isPlayerId(c.text), c.player) << c.text;
    }
}
