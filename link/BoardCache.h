#pragma once

#include "vocab/PlayModes.h"
#include "HttpClient.h"
#include "game/BoardRow.h"

#include <cstdint>
#include <string>
#include <vector>

// The top of each of the four boards as last read, one read at a time, kept a minute: what
// the title screen lists, what tells whether a run is worth a name, and where the best
// run to watch is found.
class BoardCache {
public:
    // A board read is kept this long before the shown board is read again.
    static constexpr std::uint32_t kKeptMilliseconds = 60000;
    // Entries read of a board: a run that beats the last of them would enter it.
    static constexpr int kDepth = 100;
    static constexpr int kTopRows = 5;

    struct Entry {
        BoardRow row;
        long long runId = 0;
    };

    // Whether that board's rows are missing or older than kept.
    bool due(int slot, std::uint32_t now) const;
    static HttpRequest request(const std::string& url, int slot, int timeoutMilliseconds);
    void asked(int request, int slot);
    bool asking() const { return request_ != 0; }
    bool answers(int request) const { return request_ != 0 && request == request_; }
    // The request brought nothing; another may be asked.
    void unanswered() { request_ = 0; }
    // The answer to the read came: false, and the rows kept as they were, when it is no board.
    bool answered(const HttpAnswer& answer, std::uint32_t now);
    // A run was stored on that board: it is read again next time.
    void forget(int slot) { boards_[slot].read = false; }

    bool read(int slot) const { return boards_[slot].read; }
    const std::vector<Entry>& entries(int slot) const { return boards_[slot].entries; }
    // The first rows as last read; empty before.
    std::vector<BoardRow> top(int slot) const;
    // Whether a score would enter a board read whole (false when it was read and is full
    // of better ones; a board not read cannot tell, and says true).
    bool wouldEnter(int slot, int score) const;

private:
    struct Board {
        bool read = false;
        std::uint32_t readAt = 0;
        std::vector<Entry> entries;
    };

    Board boards_[kPlayCount];
    int request_ = 0;
    int slot_ = 0;
};
