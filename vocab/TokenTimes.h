#pragma once

#include <cstdint>

// How long a ranked run may take from its token to its upload. The board takes a run until
// a while after it issued the token; a record claims at most the longest run; the game
// starts a run only on a token young enough that the longest run still arrives in time.
struct TokenTimes {
    // The longest play a record may claim. A real run this long is unheard of; a claim past
    // it is a damaged or forged file, and bounds what a reader ever allocates.
    static constexpr std::uint32_t kLongestRunSeconds = 2 * 60 * 60;
    // The board takes a run this long after it issued its token: the longest run and a
    // quarter of an hour more for the upload.
    static constexpr std::int64_t kBoardAcceptsMilliseconds = (2 * 60 + 15) * 60 * 1000;
    // The game starts a run on a token only while it is younger than this, counted from
    // when it was asked for (the board issues it later).
    static constexpr std::uint32_t kGameStartsMilliseconds = 10u * 60 * 1000;
    // And asks for a fresh one this long after the one it holds, which serves until it comes.
    static constexpr std::uint32_t kGameRenewsMilliseconds = 8u * 60 * 1000;
    // What is left for the name and the upload's retries after the longest run on the
    // oldest token the game starts with.
    static constexpr std::int64_t kLeftForUploadMilliseconds =
        kBoardAcceptsMilliseconds - kGameStartsMilliseconds - std::int64_t{kLongestRunSeconds} * 1000;
};

static_assert(TokenTimes::kLeftForUploadMilliseconds >= 60 * 1000,
              "the longest run on the oldest token the game uses must leave a minute to upload it");
static_assert(TokenTimes::kGameRenewsMilliseconds < TokenTimes::kGameStartsMilliseconds,
              "a fresh token must be asked for before the one held is too old");
