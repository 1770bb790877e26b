#include "BoardAnswer.h"

#include "vocab/BoardNumbers.h"

std::string BoardAnswer::text(const nlohmann::json& object, const char* key) {
    const auto member = object.find(key);
    return member != object.end() && member->is_string() ? member->get<std::string>() : "";
}

std::string BoardAnswer::refusal(const HttpAnswer& answer) {
    std::string words = std::to_string(answer.status);
    const nlohmann::json body = nlohmann::json::parse(answer.body, nullptr, false);
    if (body.is_object() && !text(body, "error").empty()) {
        // Appended piece by piece: GCC 12 at -O3 warns falsely (-Wrestrict) on
        // " " + std::string.
        words.append(" ").append(text(body, "error"));
        const std::string reason = text(body, "reason");
        if (!reason.empty()) {
            words.append(": ").append(reason);
        }
    }
    return words;
}

std::string BoardAnswer::failure(const HttpAnswer& answer) {
    return answer.status == 0 ? answer.error : refusal(answer);
}

bool BoardAnswer::points(const nlohmann::json& object, const char* key, int& whole) {
    const auto member = object.find(key);
    return member != object.end() && member->is_number() && BoardNumbers::wholePoints(member->get<double>(), whole);
}

bool BoardAnswer::place(const nlohmann::json& object, const char* key, int& place) {
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

bool BoardAnswer::runId(const nlohmann::json& object, long long& runId) {
    const auto member = object.find("runId");
    if (member == object.end() || !member->is_number_integer() || !BoardNumbers::isRunId(member->get<long long>())) {
        return false;
    }
    runId = member->get<long long>();
    return true;
}

bool BoardAnswer::entries(const std::string& body, std::vector<BoardRow>& rows, std::string& fault) {
    const nlohmann::json json = nlohmann::json::parse(body, nullptr, false);
    if (!json.is_object() || !json.contains("entries") || !json["entries"].is_array()) {
        fault = "the answer is no board";
        return false;
    }
    std::vector<BoardRow> read;
    for (const nlohmann::json& item : json["entries"]) {
        BoardRow row;
        if (!item.is_object() || !runId(item, row.runId) || !place(item, "rank", row.rank) || row.rank == 0 ||
            !item.contains("name") || !item["name"].is_string() || !points(item, "score", row.score)) {
            fault = "an entry of the board is not a ranked run";
            return false;
        }
        row.name = item["name"].get<std::string>();
        read.push_back(std::move(row));
    }
    rows = std::move(read);
    return true;
}
