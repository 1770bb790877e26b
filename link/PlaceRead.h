#pragma once

#include "HttpClient.h"
#include "game/BoardBrowser.h"
#include "game/BoardRow.h"
#include "online/PlayModes.h"

#include <cstdint>
#include <string>
#include <vector>

// The player's place among everyone on a board's table: the rank of their best and the
// table's total ("YOU 5432 OF 98113"), with the rows just above and below it, read with the
// board's around call by the player's public id. The id is learnt from a run of the
// player's (its summary carries it). Driven once a frame; nothing here waits.
class PlaceRead {
public:
    static constexpr int kReadTimeoutMilliseconds = 5000;
    // A place is read again after this long while it is shown.
    static constexpr std::uint32_t kKeptMilliseconds = 60000;
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
    };

    explicit PlaceRead(HttpClient& http);
    void setUrl(const std::string& url) { url_ = url; }

    // A run of the player's, whose summary tells the player's public id.
    void learnFrom(long long runId);
    const std::string& playerId() const { return playerId_; }

    // Once a frame: the answers that came, and a read of the shown table's place when it is
    // on screen, the player is known, and it is older than kept (or forgotten).
    void update(Mode mode, Difficulty difficulty, Season season, bool showing, std::uint32_t now);
    const Place& place(Mode mode, Difficulty difficulty, Season season) const;
    // A run of the player's was accepted there: every season of that board is read again.
    void forget(Mode mode, Difficulty difficulty);

    // The around call's request, and its answer read: false with fault set when it is no place.
    static HttpRequest request(const std::string& url, Mode mode, Difficulty difficulty, Season season,
                               const std::string& playerId, int timeoutMilliseconds);
    static bool parse(const std::string& body, Place& place, std::string& fault);
    // The line under the table: "YOU 5432 OF 98113"; empty when the player has no row.
    static std::string line(const Place& place);

private:
    static constexpr int kSeasons = 3;
    static int slot(Mode mode, Difficulty difficulty, Season season);
    void answered(const HttpAnswer& answer, std::uint32_t now);

    HttpClient& http_;
    std::string url_;
    std::string playerId_;
    int learnRequest_ = 0;
    int placeRequest_ = 0;
    int placeSlot_ = 0;
    Place places_[kPlayCount * kSeasons];
    std::uint32_t readAt_[kPlayCount * kSeasons] = {};
    // A board that did not answer is not asked again before this.
    std::uint32_t quietUntil_ = 0;
    bool quiet_ = false;
};
