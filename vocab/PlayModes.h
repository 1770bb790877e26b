#pragma once

#include <cstdint>
#include <string>

// The four ways to play, each with its own best scores and its own board. The names are
// what file names, the board's addresses and its messages use; the codes are what a run
// record keeps; the index numbers the four for tables held per way to play.

// The pattern mode, as the run clock a run starts at: RANDOM skips the first 70 seconds
// of the scripted traffic.
enum class Mode { Normal = 0, Random = 70 };
// The difficulty, as the number of extra lives a run starts with.
enum class Difficulty { Hard = 0, Easy = 3 };

// The lower-case names: "normal" or "random", "hard" or "easy".
const char* modeName(Mode mode);
const char* difficultyName(Difficulty difficulty);
// Both joined, "normal-hard": how the player's files name a board.
std::string playName(Mode mode, Difficulty difficulty);
// The other way round; false for any other name.
bool modeNamed(const char* name, Mode& mode);
bool difficultyNamed(const char* name, Difficulty& difficulty);

// A record's byte: mode 0 NORMAL, 1 RANDOM; difficulty 0 HARD, 1 EASY. A reader refuses
// any code from the count on.
inline constexpr std::uint8_t kModeCodes = 2;
inline constexpr std::uint8_t kDifficultyCodes = 2;
constexpr std::uint8_t modeCode(Mode mode) { return mode == Mode::Random ? 1 : 0; }
constexpr std::uint8_t difficultyCode(Difficulty difficulty) { return difficulty == Difficulty::Easy ? 1 : 0; }
// Back from a code a reader has checked; any code but 1 gives the first choice.
constexpr Mode modeOfCode(std::uint8_t code) { return code == 1 ? Mode::Random : Mode::Normal; }
constexpr Difficulty difficultyOfCode(std::uint8_t code) { return code == 1 ? Difficulty::Easy : Difficulty::Hard; }

// 0 to kPlayCount - 1: normal-hard, normal-easy, random-hard, random-easy.
inline constexpr int kPlayCount = kModeCodes * kDifficultyCodes;
constexpr int playIndex(Mode mode, Difficulty difficulty) {
    return modeCode(mode) * kDifficultyCodes + difficultyCode(difficulty);
}
constexpr Mode modeOfIndex(int index) { return modeOfCode(static_cast<std::uint8_t>(index / kDifficultyCodes)); }
constexpr Difficulty difficultyOfIndex(int index) {
    return difficultyOfCode(static_cast<std::uint8_t>(index % kDifficultyCodes));
}
