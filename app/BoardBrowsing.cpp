#include "BoardBrowsing.h"

#include "Platform.h"
#include "RunShare.h"
#include "link/BoardLine.h"

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
        if (season == Season::Week) {
            browser_.toggleSeason();
        }
    }
    const bool browsable = onTitle && !game.askingName() && !game.watching();
    const std::vector<BoardRow>& rows = board.rows(run.mode, run.difficulty, browser_.season());
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
    const bool read = board.read(run.mode, run.difficulty, browser_.season());
    const std::vector<BoardRow> shown = read ? browser_.shown(rows) : std::vector<BoardRow>();
    game.showBoardTop(shown);
    game.showBoardMarks(browser_.heading(), read ? browser_.shownHighlight() : -1,
                        BoardBrowser::ownRows(shown, player_.ownRuns()));
    if (!watchPressed || rows.empty() || !browsable) {
        return false;
    }
    board.fetchRun(std::to_string(rows[static_cast<std::size_t>(browser_.picked())].runId));
    return true;
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
    // The link reads that board's tables again, with the run on them.
    player_.addOwnRun(runId);
    RunShare::show(runAddress(url_, runId));
}
