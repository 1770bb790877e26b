#include "BoardBrowsing.h"

#include "PlatformHttpClient.h"
#include "link/BoardLine.h"
#include "Platform.h"
#include "RunShare.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

BoardBrowsing::BoardBrowsing(PlayerFile& player) : player_(player) {}

void BoardBrowsing::start(const std::string& boardUrl, const std::string& certificateAuthority,
                          const std::string& runId) {
    url_ = boardUrl;
    http_ = std::make_unique<PlatformHttpClient>();
    http_->setCertificateAuthority(certificateAuthority);
    runs_ = std::make_unique<RunLink>(*http_);
    runs_->setUrl(url_);
    if (!runId.empty()) {
        runs_->fetchRun(runId);
    }
    placeHttp_ = std::make_unique<PlatformHttpClient>();
    placeHttp_->setCertificateAuthority(certificateAuthority);
    place_ = std::make_unique<PlaceRead>(*placeHttp_);
    place_->setUrl(url_);
    // The latest run of the player's tells who they are on the board.
    if (!player_.ownRuns().empty()) {
        place_->learnFrom(*player_.ownRuns().rbegin());
    }
}

std::string BoardBrowsing::runAddress(const std::string& boardUrl, long long runId) {
    return boardUrl + "/?run=" + std::to_string(runId);
}

bool BoardBrowsing::browsing() const {
    for (bool held : held_) {
        if (held) {
            return true;
        }
    }
    return false;
}

bool BoardBrowsing::acted(BrowseKey key, std::uint32_t now, bool repeats) {
    const int index = static_cast<int>(key);
    const bool down = isBrowseKeyDown(key);
    const bool pressed = down && !held_[index];
    held_[index] = down;
    if (pressed) {
        nextRepeat_[index] = now + kRepeatAfterMilliseconds;
        return true;
    }
    if (down && repeats && static_cast<std::int32_t>(now - nextRepeat_[index]) >= 0) {
        nextRepeat_[index] = now + kRepeatEveryMilliseconds;
        return true;
    }
    return false;
}

bool BoardBrowsing::follow(Game& game, BoardLink& board, bool onTitle, bool watchPressed, std::uint32_t now) {
    if (!runs_) {
        return false;
    }
    const RunState& run = game.simulation().run();
    if (run.mode != shownMode_ || run.difficulty != shownDifficulty_) {
        shownMode_ = run.mode;
        shownDifficulty_ = run.difficulty;
        const Season season = browser_.season();
        browser_.reset();
        browser_.setSeason(season);
    }
    const bool browsable = onTitle && !game.askingName() && !game.watching();
    runs_->update(run.mode, run.difficulty, browser_.season(), onTitle && !board.offline(), now);
    place_->update(run.mode, run.difficulty, browser_.season(), onTitle && !board.offline(), now);
    const PlaceRead::Place& place = place_->place(run.mode, run.difficulty, browser_.season());
    if (acted(BrowseKey::Around, now, false) && browsable) {
        browser_.toggleAround(place.own);
    }
    const std::vector<BoardRow>& rows = table(run.mode, run.difficulty);
    browser_.setRowCount(static_cast<int>(rows.size()));
    const struct {
        BrowseKey key;
        int rows;
    } moves[] = {{BrowseKey::RowUp, -1},
                 {BrowseKey::RowDown, 1},
                 {BrowseKey::PageUp, -BoardBrowser::kShownRows},
                 {BrowseKey::PageDown, BoardBrowser::kShownRows}};
    for (const auto& move : moves) {
        if (acted(move.key, now, true) && browsable) {
            browser_.move(move.rows);
        }
    }
    if (acted(BrowseKey::Season, now, false) && browsable) {
        browser_.toggleSeason();
    }
    share(board);
    showRun(game, onTitle);

    // Until a season's table is read, the all-time one is BoardLink's top five, unmarked.
    std::vector<BoardRow> shown;
    const bool read = runs_->read(run.mode, run.difficulty, browser_.season());
    if (board.offline()) {
    } else if (read || browser_.around()) {
        shown = browser_.shown(rows);
    } else if (browser_.season() == Season::All) {
        shown = board.top(run.mode, run.difficulty);
    }
    game.showBoardTop(shown);
    game.showBoardMarks(browser_.heading(), read || browser_.around() ? browser_.shownHighlight() : -1,
                        BoardBrowser::ownRows(shown, player_.ownRuns()));
    game.showBoardLines(board.offline() ? "" : PlaceRead::line(place), roadLine(board, run.mode, run.difficulty));
    if (!watchPressed || rows.empty() || !browsable) {
        return false;
    }
    fetchFor(Fetch::Watch, rows[static_cast<std::size_t>(browser_.picked())].runId);
    return true;
}

const std::vector<BoardRow>& BoardBrowsing::table(Mode mode, Difficulty difficulty) const {
    return browser_.around() ? place_->place(mode, difficulty, browser_.season()).rows
                             : runs_->rows(mode, difficulty, browser_.season());
}

void BoardBrowsing::fetchFor(Fetch purpose, long long runId) {
    // A ghost's fetch given up for another is asked again once the screen is free.
    if (fetch_ == Fetch::Ghost && runs_->fetching()) {
        ghostRunId_ = 0;
    }
    fetch_ = purpose;
    runs_->fetchRun(std::to_string(runId));
}

void BoardBrowsing::compete(Game& game, BoardLink& board, bool onTitle, bool dailyPressed, bool challengePressed,
                            std::uint32_t) {
    if (!runs_) {
        return;
    }
    const RunState& run = game.simulation().run();
    // A challenge is on its run's road: another mode or difficulty ends it.
    if (challenging_ && (run.mode != challengeRoad_.mode || run.difficulty != challengeRoad_.difficulty)) {
        endCompeting(game);
    }
    const bool choosing = onTitle && !game.askingName();
    const std::vector<BoardRow>& rows = table(run.mode, run.difficulty);
    if (challengePressed && choosing && game.watchedRecord() != nullptr) {
        const RunRecord record = *game.watchedRecord();
        game.stopWatching();
        challenge(game, record, std::to_string(static_cast<int>(record.score)));
    } else if (challengePressed && choosing && browser_.highlight() >= 0 && !rows.empty()) {
        fetchFor(Fetch::Challenge, rows[static_cast<std::size_t>(browser_.picked())].runId);
    } else if (dailyPressed && choosing && !game.watching()) {
        const bool daily = !daily_;
        endCompeting(game);
        daily_ = daily;
        browser_.setSeason(daily ? Season::Day : Season::All);
    }
    board.setDaily(daily_);
    if (daily_ && onTitle && !runs_->fetching()) {
        // The day's leading run rides beside each attempt; a new leader replaces it.
        const std::vector<BoardRow>& day = runs_->rows(run.mode, run.difficulty, Season::Day);
        if (!day.empty() && day.front().runId != ghostRunId_) {
            fetchFor(Fetch::Ghost, day.front().runId);
            ghostRunId_ = day.front().runId;
        }
    }
}

void BoardBrowsing::challenge(Game& game, const RunRecord& record, const std::string& caption) {
    std::string fault;
    endCompeting(game);
    if (!game.race(record, fault)) {
        sayBoardLine("the run cannot be challenged (" + fault + ")");
        return;
    }
    challengeRoad_ = game.ghost().road();
    game.choose(challengeRoad_.mode, challengeRoad_.difficulty);
    challenging_ = true;
    challengeCaption_ = caption;
}

void BoardBrowsing::endCompeting(Game& game) {
    if (daily_ && browser_.season() == Season::Day) {
        browser_.setSeason(Season::All);
    }
    daily_ = false;
    challenging_ = false;
    ghostRunId_ = 0;
    game.stopRacing();
}

bool BoardBrowsing::challengeSeed(std::uint32_t& seed) const {
    if (challenging_) {
        seed = challengeRoad_.seed;
    }
    return challenging_;
}

std::string BoardBrowsing::dailyLine(long long msToEnd) {
    const long long seconds = std::max(0LL, msToEnd) / 1000;
    char line[40];
    std::snprintf(line, sizeof line, "DAILY %02lld:%02lld:%02lld LEFT", seconds / 3600, seconds / 60 % 60, seconds % 60);
    return line;
}

std::string BoardBrowsing::roadLine(const BoardLink& board, Mode mode, Difficulty difficulty) const {
    if (challenging_) {
        return "CHALLENGE " + challengeCaption_;
    }
    if (!daily_) {
        return "";
    }
    const long long endsAt = board.dayEndsAt(mode, difficulty);
    if (endsAt == 0) {
        return "DAILY";
    }
    const long long now = std::chrono::duration_cast<std::chrono::milliseconds>(
                              std::chrono::system_clock::now().time_since_epoch())
                              .count();
    return dailyLine(endsAt - now);
}

void BoardBrowsing::showRun(Game& game, bool onTitle) {
    std::string bytes;
    RunSummary summary;
    if (!runs_->takeRun(bytes, summary)) {
        return;
    }
    RunRecord record;
    std::string fault;
    const std::string name = "run " + std::to_string(summary.runId);
    if (!RunLink::verified(bytes, game.simulation().content(), summary, record, fault)) {
        sayBoardLine(name + " does not verify (" + fault + ")");
        return;
    }
    if (!onTitle || game.askingName()) {
        sayBoardLine(name + " is not shown: a run is on");
        return;
    }
    if (fetch_ == Fetch::Ghost) {
        if (!game.race(record, fault)) {
            sayBoardLine(name + " cannot ride as the ghost (" + fault + ")");
        }
        return;
    }
    if (fetch_ == Fetch::Challenge) {
        challenge(game, record, summary.caption());
        return;
    }
    if (!game.watch(record, fault)) {
        sayBoardLine(name + " cannot be shown (" + fault + ")");
        return;
    }
    game.setReplayCaption(summary.caption());
}

void BoardBrowsing::share(BoardLink& board) {
    long long runId = 0;
    Mode mode{};
    Difficulty difficulty{};
    if (!board.takeAcceptedRun(runId, mode, difficulty)) {
        return;
    }
    player_.addOwnRun(runId);
    runs_->forget(mode, difficulty);
    place_->forget(mode, difficulty);
    place_->learnFrom(runId);
    RunShare::show(runAddress(url_, runId));
}
