#pragma once

#include "HttpClient.h"
#include "vocab/BoardRow.h"
#include "vocab/PlayModes.h"
#include "vocab/Season.h"

#include <cstdint>
#include <string>
#include <vector>

// The tables of each of the four boards as last read, all time, this week's and today's, one read at
// a time, each kept a minute: what the title and game-over screens list and browse, what
// tells whether a run is worth a name (the all-time table), and where a run to watch is found.
class BoardCache {
public:
    // A table read is kept this long before the shown one is read again.
    static constexpr std::uint32_t kKeptMilliseconds = 60000;
    // Rows read of a table: a run that beats the last of them would enter it.
    static constexpr int kDepth = BoardRow::kTableRows;
    static constexpr int kTopRows = 5;

    // Whether that board's table is missing or older than kept.
    bool due(int board, Season season, std::uint32_t now) const;
    static HttpRequest request(const std::string& url, int board, Season season, int timeoutMilliseconds);
    // The query of a season on a board read.
    static const char* seasonQuery(Season season);
    void asked(int request, int board, Season season);
    bool asking() const { return request_ != 0; }
    bool answers(int request) const { return request_ != 0 && request == request_; }
    // The request brought nothing; another may be asked.
    void unanswered() { request_ = 0; }
    // The answer to the read came: false, and the rows kept as they were, when it is no board.
    bool answered(const HttpAnswer& answer, std::uint32_t now);
    // A run was stored on that board: its tables are read again next time.
    void forget(int board);

    bool read(int board, Season season) const { return tables_[slot(board, season)].read; }
    // A table's rows as last read; empty before.
    const std::vector<BoardRow>& rows(int board, Season season) const { return tables_[slot(board, season)].rows; }
    // The first rows of all time as last read; empty before.
    std::vector<BoardRow> top(int board) const;
    // Whether a score would enter a board's all-time table read whole (false when it was
    // read and is full of better ones; a table not read cannot tell, and says true).
    bool wouldEnter(int board, int score) const;

private:
    struct Table {
        bool read = false;
        std::uint32_t readAt = 0;
        std::vector<BoardRow> rows;
    };
    static int slot(int board, Season season) { return board * kSeasonCount + static_cast<int>(season); }

    Table tables_[kPlayCount * kSeasonCount];
    int request_ = 0;
    int slot_ = 0;
};
