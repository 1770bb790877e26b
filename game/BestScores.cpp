#include "game/BestScores.h"

#include <nlohmann/json.hpp>

#include <cmath>

namespace {

// The keys of the stored object, in slot order.
constexpr const char* kKeys[4] = {"normalHard", "normalEasy", "randomHard", "randomEasy"};

}  // namespace

bool BestScores::offer(Mode mode, Difficulty difficulty, int score) {
    int& best = scores_[slot(mode, difficulty)];
    if (score <= best) {
        return false;
    }
    best = score > kHighest ? kHighest : score;
    return true;
}

std::string BestScores::toJson() const {
    nlohmann::ordered_json document = nlohmann::ordered_json::object();
    for (int i = 0; i < 4; ++i) {
        document[kKeys[i]] = scores_[i];
    }
    return document.dump(2) + "\n";
}

bool BestScores::fromJson(std::string_view text, BestScores& scores, std::string& fault) {
    nlohmann::json document;
    try {
        document = nlohmann::json::parse(text.begin(), text.end());
    } catch (const nlohmann::json::exception&) {
        fault = "not a JSON document";
        return false;
    }
    if (!document.is_object()) {
        fault = "not a JSON object";
        return false;
    }
    BestScores read;
    for (int i = 0; i < 4; ++i) {
        const auto member = document.find(kKeys[i]);
        if (member == document.end()) {
            continue;
        }
        const char* key = kKeys[i];
        if (!member->is_number()) {
            fault = std::string("\"") + key + "\" is not a number";
            return false;
        }
        const double value = member->get<double>();
        if (!(value >= 0.0 && value <= kHighest) || value != std::floor(value)) {
            fault = std::string("\"") + key + "\" is not a whole number from 0 to " + std::to_string(kHighest);
            return false;
        }
        read.scores_[i] = static_cast<int>(value);
    }
    scores = read;
    return true;
}
