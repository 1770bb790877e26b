#pragma once

#include "sim/RunState.h"
#include "vocab/BoardNumbers.h"

#include <string>
#include <string_view>

// The best score of each way to play: NORMAL or RANDOM traffic, on HARD or EASY. Kept as
// whole points, as the HUD shows them, and stored as a small JSON object.
class BestScores {
public:
    static constexpr int kHighest = BoardNumbers::kHighestScore;

    int best(Mode mode, Difficulty difficulty) const { return scores_[slot(mode, difficulty)]; }
    // True when score beats the best of its way to play, which then becomes score.
    bool offer(Mode mode, Difficulty difficulty, int score);

    std::string toJson() const;
    // Fills scores from a stored file's text. False with fault set (scores untouched) when the
    // text is not JSON, or a best is not a whole number from 0 to kHighest. Missing bests are 0.
    static bool fromJson(std::string_view text, BestScores& scores, std::string& fault);

    bool operator==(const BestScores& other) const = default;

private:
    static int slot(Mode mode, Difficulty difficulty) { return playIndex(mode, difficulty); }

    int scores_[kPlayCount] = {};
};
