#include "RunSummary.h"

#include "BoardAnswer.h"
#include "game/OnlineTopList.h"

#include <nlohmann/json.hpp>

#include <cmath>

namespace {

// A board's points are fractional; a player sees them floored, as the HUD draws them.
bool wholePoints(const nlohmann::json& value, int& points) {
    if (!value.is_number() || value.get<double>() < 0.0 || value.get<double>() >= 2e9) {
        return false;
    }
    points = static_cast<int>(std::floor(value.get<double>()));
    return true;
}

// A rank that may be null (off that table): 0 then.
bool placeOf(const nlohmann::json& object, const char* key, int& place) {
    const auto member = object.find(key);
    place = 0;
    if (member == object.end() || member->is_null()) {
        return true;
    }
    if (!member->is_number_integer() || member->get<long long>() < 1 || member->get<long long>() > 1000000000) {
        return false;
    }
    place = member->get<int>();
    return true;
}

bool isRunNumber(const nlohmann::json& object, long long& runId) {
    const auto member = object.find("runId");
    if (member == object.end() || !member->is_number_integer() || member->get<long long>() < 1) {
        return false;
    }
    runId = member->get<long long>();
    return true;
}

}  // namespace

bool RunSummary::parse(const std::string& body, RunSummary& summary, std::string& fault) {
    const nlohmann::json json = nlohmann::json::parse(body, nullptr, false);
    RunSummary read;
    if (!json.is_object() || !isRunNumber(json, read.runId) || !json.contains("name") || !json["name"].is_string() ||
        !json.contains("score") || !wholePoints(json["score"], read.score)) {
        fault = "the answer is no run (runId, name and score expected)";
        return false;
    }
    if (!placeOf(json, "rank", read.rank) || !placeOf(json, "weekRank", read.weekRank)) {
        fault = "the run's rank is neither null nor a place";
        return false;
    }
    read.name = json["name"].get<std::string>();
    read.playerId = BoardAnswer::text(json, "playerId");
    if (!isPlayerId(read.playerId)) {
        read.playerId.clear();
    }
    summary = std::move(read);
    return true;
}

std::string RunSummary::caption() const {
    const int place = rank != 0 ? rank : weekRank;
    const BoardRow row{place, name, score};
    std::string line = OnlineTopList::nameLine(row);
    if (place == 0) {
        line = line.substr(line.find(' ') + 1);
    }
    return line + " " + std::to_string(score);
}

bool RunSummary::parseBoard(const std::string& body, std::vector<BoardRow>& rows, std::string& fault) {
    const nlohmann::json json = nlohmann::json::parse(body, nullptr, false);
    if (!json.is_object() || !json.contains("entries") || !json["entries"].is_array()) {
        fault = "the answer is no board";
        return false;
    }
    std::vector<BoardRow> read;
    for (const nlohmann::json& item : json["entries"]) {
        BoardRow row;
        if (!item.is_object() || !isRunNumber(item, row.runId) || !placeOf(item, "rank", row.rank) || row.rank == 0 ||
            !item.contains("name") || !item["name"].is_string() || !item.contains("score") ||
            !wholePoints(item["score"], row.score)) {
            fault = "an entry of the board is not a ranked run";
            return false;
        }
        row.name = item["name"].get<std::string>();
        read.push_back(std::move(row));
    }
    rows = std::move(read);
    return true;
}

bool RunSummary::isPlayerId(const std::string& text) {
    // It goes into a query string as it is: nothing but letters and digits, and not long.
    if (text.empty() || text.size() > 64) {
        return false;
    }
    for (char c : text) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))) {
            return false;
        }
    }
    return true;
}

bool RunSummary::isRunId(const std::string& text) {
    if (text.empty() || text.size() > 18 || text[0] == '0') {
        return false;
    }
    for (char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
    }
    return true;
}
