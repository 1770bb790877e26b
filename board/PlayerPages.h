#pragma once

#include "board/BoardStore.h"
#include "board/HttpMessage.h"

#include <cstdint>
#include <string>

// A page for each player: the public id that names a player on the board's pages without
// revealing anything of their key, and the call that answers a player's bests and latest
// runs (GET /v1/players/{id}). The id is an HMAC of the key's hash under the board's
// secret, so every instance sharing the secret gives a player the same one; it is stored
// with the player, which is how a read finds them.
class PlayerPages {
public:
    // A player's latest runs shown, at most.
    static constexpr int kLatestRuns = 20;

    // Gives every stored player who has no public id theirs (players stored before ids
    // existed), a batch at a time; the players given one.
    long long init(std::string secret, BoardStore& store);
    // 16 hex digits naming the player of the key hash (its 32 raw bytes).
    std::string idOf(const std::string& keyHash) const;
    // The player's page at nowMs on the service's clock: bests of all time, of this week and
    // of today on each board they have a row on, with rank and total, and their latest runs
    // that count, newest first. 404 for an id that names no player, a banned player, or one
    // with no run that counts.
    void answer(const std::string& playerId, int64_t nowMs, HttpResponse& response);

private:
    std::string secret_;
    BoardStore* store_ = nullptr;
};
