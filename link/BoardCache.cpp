#include "BoardCache.h"

#include "BoardAnswer.h"
#include "vocab/PlayerName.h"

#include <nlohmann/json.hpp>

bool BoardCache::due(int slot, std::uint32_t now) const {
    const Board& board = boards_[slot];
    return !board.read || now - board.readAt > kKeptMilliseconds;
}

HttpRequest BoardCache::request(const std::string& url, int slot, int timeoutMilliseconds) {
    HttpRequest request;
    request.url = url + "/v1/boards/" + modeName(modeOfIndex(slot)) + "/" +
                  difficultyName(difficultyOfIndex(slot)) + "?limit=" + std::to_string(kDepth);
    request.timeoutMilliseconds = timeoutMilliseconds;
    return request;
}

void BoardCache::asked(int request, int slot) {
    request_ = request;
    slot_ = slot;
}

bool BoardCache::answered(const HttpAnswer& answer, std::uint32_t now) {
    request_ = 0;
    Board read;
    const nlohmann::json body = nlohmann::json::parse(answer.body, nullptr, false);
    if (answer.status != 200 || !body.is_object() || !body.contains("entries") || !body["entries"].is_array()) {
        return false;
    }
    for (const nlohmann::json& item : body["entries"]) {
        if (!item.is_object() || !item.contains("rank") || !item["rank"].is_number_integer() ||
            !item.contains("name") || !item["name"].is_string() || !item.contains("score") ||
            !item["score"].is_number() || !item.contains("runId") || !item["runId"].is_number_integer()) {
            return false;
        }
        Entry entry;
        entry.row.rank = item["rank"].get<int>();
        entry.row.name = PlayerName::drawable(item["name"].get<std::string>());
        entry.row.score = BoardAnswer::wholePoints(item["score"].get<double>());
        entry.runId = item["runId"].get<long long>();
        read.entries.push_back(std::move(entry));
    }
    read.read = true;
    read.readAt = now;
    boards_[slot_] = std::move(read);
    return true;
}

std::vector<BoardRow> BoardCache::top(int slot) const {
    std::vector<BoardRow> rows;
    const Board& board = boards_[slot];
    for (std::size_t i = 0; board.read && i < board.entries.size() && i < static_cast<std::size_t>(kTopRows); ++i) {
        rows.push_back(board.entries[i].row);
    }
    return rows;
}

bool BoardCache::wouldEnter(int slot, int score) const {
    const Board& board = boards_[slot];
    if (!board.read || board.entries.size() < static_cast<std::size_t>(kDepth)) {
        return true;
    }
    return score > board.entries.back().row.score;
}
