#pragma once

#include "HttpClient.h"
#include "vocab/BoardRow.h"
#include "vocab/PlayModes.h"
#include "vocab/Season.h"

#include <cstdint>
#include <string>
#include <vector>

// The player's place among everyone on each board's tables: the rank of their best and the
// table's total ("YOU 5432 OF 98113"), with the rows just above and below it, read with the
// board's around call by the player's public id, one read at a time, each kept as long as a
// table. The id is learnt once from a run of the player's (its summary carries it). A piece
// of BoardLink, which sends its requests and routes their answers.
class PlaceRead {
public:
    // Rows asked above and below the player's own.
    static constexpr int kRowsAround = 5;

    struct Place {
        bool read = false;
        // 0 when the player has no row on that table.
        int rank = 0;
        long long total = 0;
        std::vector<BoardRow> rows;
        // The player's row among rows; -1 when there is none.
        int own = -1;
        std::uint32_t readAt = 0;
    };

    // Whether that table's place is missing or older than keptMilliseconds.
    bool due(int board, Season season, std::uint32_t now, std::uint32_t keptMilliseconds) const;
    static HttpRequest request(const std::string& url, int board, Season season, const std::string& playerId,
                               int timeoutMilliseconds);
    void asked(int request, int board, Season season);
    bool asking() const { return request_ != 0 || learnRequest_ != 0; }
    bool answers(int request) const { return request != 0 && request == request_; }
    // The answer came (or none will): another may be asked.
    void unanswered() { request_ = learnRequest_ = 0; }
    // The place came, after unanswered: false when the answer is neither a place nor "no row" (404).
    bool answered(const HttpAnswer& answer, std::uint32_t now);

    // Whether the player's id may be learnt from that run: the board did not answer about it
    // before (one that could not be reached is asked again).
    bool learnable(long long runId) const { return runId > 0 && runId != triedRun_; }
    void askedLearn(int request, long long runId);
    bool answersLearn(int request) const { return request != 0 && request == learnRequest_; }
    // The run's summary came, after unanswered: playerId set when it names one. False when it is no run at all.
    bool answeredLearn(const HttpAnswer& answer, std::string& playerId);

    const Place& place(int board, Season season) const { return places_[slot(board, season)]; }
    // A run of the player's was stored on that board: its places are read again.
    void forget(int board);

    // The around call's answer read: false with fault set when it is no place.
    static bool parse(const std::string& body, Place& place, std::string& fault);
    // The line under the table: "YOU 5432 OF 98113"; empty when the player has no row.
    static std::string line(const Place& place);

private:
    static int slot(int board, Season season) { return board * kSeasonCount + static_cast<int>(season); }

    Place places_[kPlayCount * kSeasonCount];
    int request_ = 0;
    int slot_ = 0;
    int learnRequest_ = 0;
    long long learnRun_ = 0;
    long long triedRun_ = 0;
};
