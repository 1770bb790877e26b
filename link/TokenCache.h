#pragma once

#include "HttpClient.h"
#include "vocab/PlayModes.h"
#include "vocab/TokenTimes.h"

#include <cstdint>
#include <string>

// The tokens held for the four boards, each of which lets one run be ranked there: asked
// for one at a time, kept while fresh enough to start a run, renewed before they age out,
// and used up by the run they seed. Each board has a second slot for the day's road, whose
// tokens carry the day's seed, the day and when the next road begins.
class TokenCache {
public:
    // Slots 0 to kPlayCount - 1 are the boards' own tokens, the next kPlayCount their daily ones.
    static constexpr int kSlots = kPlayCount * 2;
    static int dailySlot(int board) { return board + kPlayCount; }

    // A token starts a run only this long after it was asked for (the board issues it
    // later), and a fresh one is asked this long after: vocab/TokenTimes.h says why.
    static constexpr std::uint32_t kLifeMilliseconds = TokenTimes::kGameStartsMilliseconds;
    static constexpr std::uint32_t kRenewMilliseconds = TokenTimes::kGameRenewsMilliseconds;

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
    // A daily slot's last token: its day ("2026-12-08") and when the next road begins (ms
    // since 1970); empty and 0 before one came.
    const std::string& day(int slot) const { return tokens_[slot].day; }
    long long dayEndsAt(int slot) const { return tokens_[slot].dayEndsAt; }

private:
    struct Token {
        bool held = false;
        std::uint32_t seed = 0;
        std::string text;
        // When it was asked for.
        std::uint32_t askedAt = 0;
        std::string day;
        long long dayEndsAt = 0;
    };

    // A token used up or aged out: nothing held.
    static Token spent(const Token& token);

    Token tokens_[kSlots];
    int request_ = 0;
    int slot_ = 0;
    std::uint32_t askedAt_ = 0;
};
