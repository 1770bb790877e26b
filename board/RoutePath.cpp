#include "RoutePath.h"

#include "vocab/BoardNumbers.h"

#include <stdexcept>

namespace {

// Literal text of a pattern as a regex matches it character for character.
std::string literal(const std::string& text) {
    std::string escaped;
    for (char c : text) {
        if (std::string_view("\\^$.|?*+()[]{}").find(c) != std::string_view::npos) {
            escaped += '\\';
        }
        escaped += c;
    }
    return escaped;
}

}  // namespace

RoutePath::RoutePath(const std::string& pattern) {
    // Words of up to 16 letters reach the board's own refusal; anything else is no call.
    const std::string word = "([a-z]{1,16})";
    std::string expression;
    std::size_t at = 0;
    while (at < pattern.size()) {
        const std::size_t open = pattern.find('{', at);
        expression += literal(pattern.substr(at, open - at));
        if (open == std::string::npos) {
            break;
        }
        const std::size_t close = pattern.find('}', open);
        if (close == std::string::npos) {
            throw std::logic_error("a route's path leaves a brace open: " + pattern);
        }
        const std::string name = pattern.substr(open + 1, close - open - 1);
        if (name == "board") {
            expression += word + "/" + word;
            parts_.push_back(Part::Board);
        } else if (name == "run") {
            expression += "([0-9]{1," + std::to_string(BoardNumbers::kRunIdDigits) + "})";
            parts_.push_back(Part::Run);
        } else if (name == "player") {
            expression += "([0-9a-f]{16})";
            parts_.push_back(Part::Player);
        } else {
            throw std::logic_error("a route's path names no part {" + name + "}: " + pattern);
        }
        at = close + 1;
    }
    regex_ = std::regex(expression);
}

RoutePath::Fit RoutePath::read(const std::string& path, Values& values) const {
    std::smatch match;
    if (!std::regex_match(path, match, regex_)) {
        return Fit::No;
    }
    std::size_t group = 1;
    for (Part part : parts_) {
        switch (part) {
        case Part::Board: {
            const std::string mode = match[group++];
            const std::string difficulty = match[group++];
            if (!modeNamed(mode.c_str(), values.board.mode) ||
                !difficultyNamed(difficulty.c_str(), values.board.difficulty)) {
                return Fit::UnknownBoard;
            }
            break;
        }
        case Part::Run:
            // At most kRunIdDigits digits: within a long long.
            values.runId = std::stoll(match[group++]);
            break;
        case Part::Player:
            values.playerId = match[group++];
            break;
        }
    }
    return Fit::Yes;
}
