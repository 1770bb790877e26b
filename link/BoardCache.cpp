#include "BoardCache.h"

#include "BoardAnswer.h"

#include <algorithm>

bool BoardCache::due(int board, Season season, std::uint32_t now) const {
    const Table& table = tables_[slot(board, season)];
    return !table.read || now - table.readAt > kKeptMilliseconds;
}

HttpRequest BoardCache::request(const std::string& url, int board, Season season, int timeoutMilliseconds) {
    HttpRequest request;
    request.url = url + "/v1/boards/" + modeName(modeOfIndex(board)) + "/" + difficultyName(difficultyOfIndex(board)) +
                  "?season=" + seasonQuery(season) + "&limit=" + std::to_string(kDepth);
    request.timeoutMilliseconds = timeoutMilliseconds;
    return request;
}

const char* BoardCache::seasonQuery(Season season) {
    switch (season) {
    case Season::Week: return "current";
    case Season::Day: return "day";
    case Season::All: break;
    }
    return "all";
}

void BoardCache::asked(int request, int board, Season season) {
    request_ = request;
    slot_ = slot(board, season);
}

bool BoardCache::answered(const HttpAnswer& answer, std::uint32_t now) {
    request_ = 0;
    Table read;
    std::string fault;
    if (answer.status != 200 || !BoardAnswer::entries(answer.body, read.rows, fault)) {
        return false;
    }
    read.read = true;
    read.readAt = now;
    tables_[slot_] = std::move(read);
    return true;
}

void BoardCache::forget(int board) {
    for (Season season : {Season::All, Season::Week, Season::Day}) {
        tables_[slot(board, season)].read = false;
    }
}

std::vector<BoardRow> BoardCache::top(int board) const {
    const std::vector<BoardRow>& all = rows(board, Season::All);
    return {all.begin(), all.begin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(all.size(), kTopRows))};
}

bool BoardCache::wouldEnter(int board, int score) const {
    const Table& table = tables_[slot(board, Season::All)];
    if (!table.read || table.rows.size() < static_cast<std::size_t>(kDepth)) {
        return true;
    }
    return score > table.rows.back().score;
}
