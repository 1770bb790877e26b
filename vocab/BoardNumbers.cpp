#include "vocab/BoardNumbers.h"

#include <cmath>

bool BoardNumbers::wholePoints(double points, int& whole) {
    // Also false for NaN, which no comparison holds for.
    if (!(points >= 0.0 && points < kHighestScore + 1.0)) {
        return false;
    }
    whole = static_cast<int>(std::floor(points));
    return true;
}

bool BoardNumbers::isRunId(std::string_view text) {
    if (text.empty() || text.size() > static_cast<std::size_t>(kRunIdDigits) || text[0] == '0') {
        return false;
    }
    for (char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
    }
    return true;
}

bool BoardNumbers::isPlayerId(std::string_view text) {
    if (text.empty() || text.size() > static_cast<std::size_t>(kPlayerIdLength)) {
        return false;
    }
    for (char c : text) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))) {
            return false;
        }
    }
    return true;
}
