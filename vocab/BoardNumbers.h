#pragma once

#include <string_view>

// The numbers the game reads from the board and keeps, each with one rule: a score in whole
// points as the HUD draws it, a run's number on the board as its calls and pages name it, and
// a player's public id.
class BoardNumbers {
public:
    // Higher than anyone plays (over seven hundred days at the top rate); a file or an answer
    // that claims more was not written by the game or its board.
    static constexpr int kHighestScore = 999999999;
    // A run's number: 1 to 18 digits, no leading zero.
    static constexpr int kRunIdDigits = 18;
    static constexpr long long kLargestRunId = 999999999999999999LL;

    // A board's fractional points as a player sees them, floored; false when points is no
    // score from 0 to kHighestScore.
    static bool wholePoints(double points, int& whole);
    static bool isRunId(long long number) { return number >= 1 && number <= kLargestRunId; }
    static bool isRunId(std::string_view text);
    // A player's public id as the board gives it: 1 to 64 letters and digits, as it goes
    // into a query and a file unescaped.
    static constexpr int kPlayerIdLength = 64;
    static bool isPlayerId(std::string_view text);
};
