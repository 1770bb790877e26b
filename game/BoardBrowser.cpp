#include "game/BoardBrowser.h"

#include <algorithm>

void BoardBrowser::setRowCount(int count) {
    count_ = std::clamp(count, 0, kDepth);
    highlight_ = std::clamp(highlight_, 0, std::max(count_ - 1, 0));
}

void BoardBrowser::move(int rows) {
    if (count_ == 0) {
        return;
    }
    if (!browsing_) {
        browsing_ = true;
        highlight_ = 0;
        return;
    }
    highlight_ = std::clamp(highlight_ + rows, 0, count_ - 1);
}

void BoardBrowser::toggleSeason() { setSeason(season_ == Season::All ? Season::Week : Season::All); }

void BoardBrowser::setSeason(Season season) {
    season_ = season;
    highlight_ = 0;
    around_ = false;
}

void BoardBrowser::toggleAround(int ownIndex) {
    around_ = !around_ && ownIndex >= 0;
    browsing_ = around_;
    highlight_ = around_ ? ownIndex : 0;
}

void BoardBrowser::reset() { *this = BoardBrowser{}; }

std::vector<BoardRow> BoardBrowser::shown(const std::vector<BoardRow>& table) const {
    const std::size_t begin = std::min(table.size(), static_cast<std::size_t>(first()));
    const std::size_t end = std::min(table.size(), begin + kShownRows);
    return {table.begin() + static_cast<std::ptrdiff_t>(begin), table.begin() + static_cast<std::ptrdiff_t>(end)};
}

std::string BoardBrowser::heading() const {
    if (around_) {
        return "AROUND YOU";
    }
    const int page = first();
    const char* names[] = {"ALL", "WEEK", "DAY"};
    const std::string name = names[static_cast<int>(season_)];
    if (page == 0) {
        return season_ == Season::All ? "ONLINE TOP 5" : name + " TOP 5";
    }
    return name + " " + std::to_string(page + 1) + "-" + std::to_string(page + kShownRows);
}

std::vector<bool> BoardBrowser::ownRows(const std::vector<BoardRow>& shown, const std::set<long long>& ownRuns) {
    std::vector<bool> own;
    for (const BoardRow& row : shown) {
        own.push_back(row.runId != 0 && ownRuns.count(row.runId) != 0);
    }
    return own;
}
