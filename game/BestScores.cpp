#include "game/BestScores.h"

#include "io/JsonFile.h"

#include <nlohmann/json.hpp>

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
    JsonValue document;
    if (!JsonFile::parseObject(text, document, fault)) {
        return false;
    }
    BestScores read;
    for (int i = 0; i < 4; ++i) {
        const auto member = document.find(kKeys[i]);
        if (member == document.end()) {
            continue;
        }
        if (!member->is_number()) {
            fault = std::string("\"") + kKeys[i] + "\" is not a number";
            return false;
        }
        const long long value = JsonFile::wholeNumber(*member, kHighest);
        if (value < 0) {
            fault = std::string("\"") + kKeys[i] + "\" is not a whole number from 0 to " + std::to_string(kHighest);
            return false;
        }
        read.scores_[i] = static_cast<int>(value);
    }
    scores = read;
    return true;
}
