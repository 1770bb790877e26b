#include "BoardBrowsing.h"

#include "PlatformHttpClient.h"
#include "link/BoardLine.h"
#include "Platform.h"
#include "RunShare.h"


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
        if (season == Season::Week) {
            browser_.toggleSeason();
        }
    }
    const bool browsable = onTitle && !game.askingName() && !game.watching();
    runs_->update(run.mode, run.difficulty, browser_.season(), onTitle && !board.offline(), now);
    const std::vector<BoardRow>& rows = runs_->rows(run.mode, run.difficulty, browser_.season());
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
    } else if (read) {
        shown = browser_.shown(rows);
    } else if (browser_.season() == Season::All) {
        shown = board.top(run.mode, run.difficulty);
    }
    game.showBoardTop(shown);
    game.showBoardMarks(browser_.heading(), read ? browser_.shownHighlight() : -1,
                        BoardBrowser::ownRows(shown, player_.ownRuns()));
    if (!watchPressed || rows.empty() || !browsable) {
        return false;
    }
    runs_->fetchRun(std::to_string(rows[static_cast<std::size_t>(browser_.picked())].runId));
    return true;
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
    RunShare::show(runAddress(url_, runId));
}
