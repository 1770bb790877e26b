#pragma once

#include "HttpClient.h"
#include "RunSummary.h"
#include "game/BoardBrowser.h"
#include "game/BoardRow.h"
#include "io/RunRecord.h"
#include "sim/RunState.h"

#include <cstdint>
#include <string>
#include <vector>

class SimContent;

// The board's runs one by one, beside BoardLink's tokens and submissions: the top hundred
// of a board for a season (all time, this week or today's road), which the title and game-over screens
// browse, and any run fetched to be watched: its summary (for the caption and the score
// its re-play must reach), then its record, re-played under the rules before it is shown.
// It has an HTTP client of its own, so its answers never mix with BoardLink's, and is
// driven by update once a frame; nothing here waits. Every line it writes starts "board: ".
class RunLink {
public:
    static constexpr int kReadTimeoutMilliseconds = 5000;
    static constexpr int kRecordTimeoutMilliseconds = 10000;
    // A season's table is read again after this long while it is shown.
    static constexpr std::uint32_t kBoardKeptMilliseconds = 60000;

    explicit RunLink(HttpClient& http);

    // The board's address, as BoardLink took it (no trailing slash); empty for none.
    void setUrl(const std::string& url);

    // Once a frame: the answers that came, and a read of the shown board's season when it
    // is on screen and its rows are older than kBoardKeptMilliseconds (or forgotten).
    void update(Mode mode, Difficulty difficulty, Season season, bool showing, std::uint32_t now);
    // The rows of a board's season as last read; empty before.
    const std::vector<BoardRow>& rows(Mode mode, Difficulty difficulty, Season season) const;
    bool read(Mode mode, Difficulty difficulty, Season season) const;
    // A run was accepted there: every season of that board is read again.
    void forget(Mode mode, Difficulty difficulty);

    // Fetches a run to be watched, its summary then its record; a fetch already on is
    // dropped. A run number that is no number is said at once.
    void fetchRun(const std::string& runId);
    bool fetching() const { return summaryRequest_ != 0 || recordRequest_ != 0; }
    // The fetched run, once both answers came: its record's bytes and summary.
    bool takeRun(std::string& bytes, RunSummary& summary);

    // Whether a fetched record is the run its summary describes: it re-plays under the
    // rules on this content to the end it claims and scores what the board says. False
    // with fault set otherwise ("state hash differs at second 3", "its re-play scores 450,
    // the board says 464").
    static bool verified(const std::string& bytes, const SimContent& content, const RunSummary& summary,
                         RunRecord& record, std::string& fault);

    // The query of a season on a board read.
    static const char* seasonQuery(Season season);

private:
    struct Table {
        bool read = false;
        std::uint32_t readAt = 0;
        std::vector<BoardRow> rows;
    };
    static int slot(Mode mode, Difficulty difficulty, Season season);
    void answered(const HttpAnswer& answer, std::uint32_t now);
    void say(const std::string& line) const;

    HttpClient& http_;
    std::string url_;
    static constexpr int kSeasons = 3;
    Table tables_[kPlayCount * kSeasons];
    int boardRequest_ = 0;
    int boardSlot_ = 0;
    // A board that did not answer is not asked again before this.
    std::uint32_t quietUntil_ = 0;
    bool quiet_ = false;

    std::string runId_;
    int summaryRequest_ = 0;
    int recordRequest_ = 0;
    RunSummary summary_;
    std::string bytes_;
    bool ready_ = false;
};
