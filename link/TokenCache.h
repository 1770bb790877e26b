#pragma once

#include "BoardSlot.h"
#include "HttpClient.h"

#include <cstdint>
#include <string>

// The tokens held for the four boards, each of which lets one run be ranked there: asked
// for one at a time, kept while fresh enough to start a run, renewed before they age out,
// and used up by the run they seed.
class TokenCache {
public:
    // The board takes a run until 2 h 15 min after its token was issued, counted when the
    // run arrives, and a run may last 2 h (RunRecord::kMaxPlaySeconds): a token starts a
    // run only while it is younger than this, leaving 5 min for the name and the retries.
    // From when it was asked for, as the board issues it later.
    static constexpr std::uint32_t kLifeMilliseconds = 10u * 60 * 1000;
    // A fresh one is asked this long after the one held, which serves until it comes.
    static constexpr std::uint32_t kRenewMilliseconds = 8u * 60 * 1000;

    // Whether a token should be asked for that board now; drops its token once too old.
    bool due(int slot, std::uint32_t now);
    // The request for a token of a board.
    static HttpRequest request(const std::string& url, int slot, int timeoutMilliseconds);
    // The request was sent under that number, now.
    void asked(int request, int slot, std::uint32_t now);
    bool asking() const { return request_ != 0; }
    bool answers(int request) const { return request_ != 0 && request == request_; }
    // The request brought nothing; another may be asked.
    void unanswered() { request_ = 0; }
    // The answer to the request came: the token it brings, or false when it is no token
    // for the board asked (an answer that is no 200 included).
    bool answered(const HttpAnswer& answer);

    // The seed of the token held for a board, when it is fresh enough.
    bool seed(int slot, std::uint32_t now, std::uint32_t& seed) const;
    // The token of a board, used up, when the run started with its seed; empty otherwise.
    std::string take(int slot, std::uint32_t seed, std::uint32_t now);

private:
    struct Token {
        bool held = false;
        std::uint32_t seed = 0;
        std::string text;
        // When it was asked for.
        std::uint32_t askedAt = 0;
    };

    Token tokens_[BoardSlot::kCount];
    int request_ = 0;
    int slot_ = 0;
    std::uint32_t askedAt_ = 0;
};
