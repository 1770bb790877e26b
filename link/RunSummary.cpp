#include "RunSummary.h"

#include "BoardAnswer.h"
#include "vocab/BoardNumbers.h"
#include "vocab/BoardRow.h"

#include <nlohmann/json.hpp>

bool RunSummary::parse(const std::string& body, RunSummary& summary, std::string& fault) {
    const nlohmann::json json = nlohmann::json::parse(body, nullptr, false);
    RunSummary read;
    if (!json.is_object() || !BoardAnswer::runId(json, read.runId) || !json.contains("name") ||
        !json["name"].is_string() || !BoardAnswer::points(json, "score", read.score)) {
        fault = "the answer is no run (runId, name and score expected)";
        return false;
    }
    if (!BoardAnswer::place(json, "rank", read.rank) || !BoardAnswer::place(json, "weekRank", read.weekRank)) {
        fault = "the run's rank is neither null nor a place";
        return false;
    }
    read.name = json["name"].get<std::string>();
    read.playerId = BoardAnswer::text(json, "playerId");
    if (!BoardNumbers::isPlayerId(read.playerId)) {
        read.playerId.clear();
    }
    summary = std::move(read);
    return true;
}

std::string RunSummary::caption() const {
    const int place = rank != 0 ? rank : weekRank;
    std::string line = BoardRow{place, name, score}.nameLine();
    if (place == 0) {
        line = line.substr(line.find(' ') + 1);
    }
    return line + " " + std::to_string(score);
}
