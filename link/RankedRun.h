#pragma once

#include "BoardLink.h"
#include "HttpClient.h"
#include "PlayerFile.h"
#include "io/RunRecord.h"
#include "sim/RunState.h"

#include <cstdint>
#include <string>

// A ranked run's life, from the token that seeds it to its place on the board, told by the
// game's session frame by frame: the screen's board and the clock in, the run's events
// (started with a seed, ended worth a name or not, the name entered, the best run asked
// for) as they happen; out come the seed the next run starts with, the status line and
// the board's rows, through the link. It decides; the session only forwards.
class RankedRun {
public:
    RankedRun(HttpClient& http, PlayerFile& player);

    // The board's address, as BoardLink takes it; false when there is no board to rank on.
    bool setUrl(const std::string& url);
    BoardLink& link() { return link_; }
    const BoardLink& link() const { return link_; }

    // Once a frame before the ticks: the answers that came and the requests due.
    // onTitle: the title or game-over screen is shown, not a run, with that season's table.
    void frame(Mode mode, Difficulty difficulty, Season season, bool onTitle, std::uint32_t now);
    // The seed a run started now must have to be ranked; false when no token is held.
    bool nextSeed(Mode mode, Difficulty difficulty, std::uint32_t now, std::uint32_t& seed) const;

    // A run of the player's started with that seed: ranked when a token was held for it.
    // The status line of the last run is cleared.
    void started(Mode mode, Difficulty difficulty, std::uint32_t seed, std::uint32_t now);
    bool ranked() const { return !runToken_.empty(); }
    // The run ended with its record (complete: a record the board can re-play). True when
    // it was ranked and is worth a name: the name is then to be asked.
    bool ended(Mode mode, Difficulty difficulty, int score, bool complete, const RunRecord& record);
    // Whether a name is awaited for a run that ended.
    bool awaitingName() const { return !namedToken_.empty(); }
    // The name was entered (empty: none yet): the player's name is kept and the run sent.
    void named(const std::string& name, std::uint32_t now);

    // The status line, when it changed since the last call; false otherwise.
    bool statusChanged(std::string& status);

private:
    BoardLink link_;
    PlayerFile& player_;
    // The token of the ranked run being played; empty for a local one.
    std::string runToken_;
    // A ranked run that ended worth a name, and its token, until the name is entered.
    std::string namedToken_;
    RunRecord namedRecord_;
    std::string shownStatus_;
};
