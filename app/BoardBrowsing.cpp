#include "BoardBrowsing.h"

#include "Platform.h"
#include "RunShare.h"
#include "link/BoardLine.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

BoardBrowsing::BoardBrowsing(PlayerFile& player) : player_(player) {}

void BoardBrowsing::start(const std::string& boardUrl, BoardLink& board, const std::string& runId) {
    url_ = boardUrl;
    started_ = true;
    if (!runId.empty()) {
        board.fetchRun(runId);
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
    if (!started_) {
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
    const PlaceRead::Place& place = board.place(run.mode, run.difficulty, browser_.season());
    if (acted(BrowseKey::Around, now, false) && browsable) {
        browser_.toggleAround(place.own);
    }
    const std::vector<BoardRow>& rows = table(board, run.mode, run.difficulty);
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
    showRun(game, board, onTitle);

    // Nothing of a table not read yet, nor of a board that cannot be reached.
    const bool read = board.read(run.mode, run.difficulty, browser_.season()) || browser_.around();
    const std::vector<BoardRow> shown = read ? browser_.shown(rows) : std::vector<BoardRow>();
    game.showBoardTop(shown);
    game.showBoardMarks(browser_.heading(), read ? browser_.shownHighlight() : -1,
                        BoardBrowser::ownRows(shown, player_.ownRuns()));
    game.showBoardLines(PlaceRead::line(place), roadLine(board, run.mode, run.difficulty));
    if (!watchPressed || rows.empty() || !browsable) {
        return false;
    }
    fetchFor(board, Fetch::Watch, rows[static_cast<std::size_t>(browser_.picked())].runId);
    return true;
}

const std::vector<BoardRow>& BoardBrowsing::table(const BoardLink& board, Mode mode, Difficulty difficulty) const {
    return browser_.around() ? board.place(mode, difficulty, browser_.season()).rows
                             : board.rows(mode, difficulty, browser_.season());
}

void BoardBrowsing::fetchFor(BoardLink& board, Fetch purpose, long long runId) {
    // A ghost's fetch given up for another is asked again once the screen is free.
    if (fetch_ == Fetch::Ghost && board.fetching()) {
        ghostRunId_ = 0;
    }
    fetch_ = purpose;
    board.fetchRun(std::to_string(runId));
}

void BoardBrowsing::compete(Game& game, BoardLink& board, bool onTitle, bool dailyPressed, bool challengePressed,
                            std::uint32_t) {
    if (!started_) {
        return;
    }
    const RunState& run = game.simulation().run();
    // A challenge is on its run's road: another mode or difficulty ends it.
    if (challenging_ && (run.mode != challengeRoad_.mode || run.difficulty != challengeRoad_.difficulty)) {
        endCompeting(game);
    }
    const bool choosing = onTitle && !game.askingName();
    const std::vector<BoardRow>& rows = table(board, run.mode, run.difficulty);
    if (challengePressed && choosing && game.watchedRecord() != nullptr) {
        const RunRecord record = *game.watchedRecord();
        game.stopWatching();
        challenge(game, record, std::to_string(static_cast<int>(record.score)));
    } else if (challengePressed && choosing && browser_.highlight() >= 0 && !rows.empty()) {
        fetchFor(board, Fetch::Challenge, rows[static_cast<std::size_t>(browser_.picked())].runId);
    } else if (dailyPressed && choosing && !game.watching()) {
        const bool daily = !daily_;
        endCompeting(game);
        daily_ = daily;
        browser_.setSeason(daily ? Season::Day : Season::All);
    }
    board.setDaily(daily_);
    if (daily_ && onTitle && !board.fetching()) {
        // The day's leading run rides beside each attempt; a new leader replaces it.
        const std::vector<BoardRow>& day = board.rows(run.mode, run.difficulty, Season::Day);
        if (!day.empty() && day.front().runId != ghostRunId_) {
            fetchFor(board, Fetch::Ghost, day.front().runId);
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

void BoardBrowsing::showRun(Game& game, BoardLink& board, bool onTitle) {
    RunSummary summary;
    RunRecord record;
    std::string fault;
    if (!board.takeRun(game.simulation().content(), record, summary, fault)) {
        return;
    }
    if (!fault.empty()) {
        sayBoardLine(fault);
        return;
    }
    const std::string name = "run " + std::to_string(summary.runId);
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
    // The link reads that board's tables and the player's place again, with the run on them.
    player_.addOwnRun(runId);
    RunShare::show(runAddress(url_, runId));
}
