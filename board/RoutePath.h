#pragma once

#include "vocab/PlayModes.h"

#include <regex>
#include <string>
#include <vector>

// A call's path as its route declares it: literal text with typed parts in braces, read
// into values before the call, so that a path's grammar and what each part means are
// written once and a handler never sees a regex match.
//   {board}   a mode and a difficulty, "normal/hard"
//   {run}     a run's number, up to BoardNumbers::kRunIdDigits digits
//   {player}  a player's public id, 16 lower-case hex digits, kept as text
class RoutePath {
public:
    // A board as a path names it: both words known.
    struct BoardKey {
        Mode mode = Mode::Normal;
        Difficulty difficulty = Difficulty::Hard;
    };
    // What the parts of one path held; only the route's own parts are set.
    struct Values {
        BoardKey board;
        long long runId = 0;
        std::string playerId;
    };
    // Fits, or not this route's path, or this route's path with words that name no board
    // (a refusal of its own, kUnknownBoard, from the call it was meant for).
    enum class Fit { Yes, No, UnknownBoard };
    static constexpr const char* kUnknownBoard = "boards are /v1/boards/{normal|random}/{hard|easy}";

    // pattern holds only the parts above; any other brace is a programming error and throws.
    explicit RoutePath(const std::string& pattern);
    Fit read(const std::string& path, Values& values) const;

private:
    enum class Part { Board, Run, Player };

    std::regex regex_;
    std::vector<Part> parts_;
};
