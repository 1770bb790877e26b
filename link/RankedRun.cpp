#include "RankedRun.h"

RankedRun::RankedRun(HttpClient& http, PlayerFile& player) : link_(http, player), player_(player) {}

bool RankedRun::setUrl(const std::string& url) {
    link_.setUrl(url);
    return link_.enabled();
}

void RankedRun::frame(Mode mode, Difficulty difficulty, Season season, bool onTitle, std::uint32_t now) {
    link_.update(mode, difficulty, season, onTitle, now);
}

bool RankedRun::nextSeed(Mode mode, Difficulty difficulty, std::uint32_t now, std::uint32_t& seed) const {
    return link_.seedFor(mode, difficulty, now, seed);
}

void RankedRun::started(Mode mode, Difficulty difficulty, std::uint32_t seed, std::uint32_t now) {
    runToken_ = link_.takeToken(mode, difficulty, seed, now);
    // The game cleared the status line for the new run.
    link_.clearStatus();
    shownStatus_.clear();
}

bool RankedRun::ended(Mode mode, Difficulty difficulty, int score, bool complete, const RunRecord& record) {
    if (runToken_.empty() || !complete) {
        return false;
    }
    const bool worthAName = link_.qualifies(mode, difficulty, score);
    if (worthAName) {
        namedToken_ = runToken_;
        namedRecord_ = record;
    }
    runToken_.clear();
    return worthAName;
}

void RankedRun::named(const std::string& name, std::uint32_t now) {
    if (namedToken_.empty() || name.empty()) {
        return;
    }
    player_.setName(name);
    link_.submit(namedToken_, namedRecord_, name, now);
    namedToken_.clear();
}

bool RankedRun::statusChanged(std::string& status) {
    if (link_.status() == shownStatus_) {
        return false;
    }
    shownStatus_ = link_.status();
    status = shownStatus_;
    return true;
}
