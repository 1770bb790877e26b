#pragma once

#include "game/BoardRow.h"

#include <string>
#include <vector>

// A run on the online board as its own call describes it (GET /v1/runs/{id}): what the
// caption of a watched run shows and the score its re-play must reach. Also reads a board's
// entries with their run numbers (GET /v1/boards/...), which the in-game browsing lists.
struct RunSummary {
    long long runId = 0;
    std::string name;
    // Whole points, as the HUD and the board's page show them.
    int score = 0;
    // The run's place on the all-time table and on its week's; 0 when it is on neither
    // (hidden, banned, or not the player's best).
    int rank = 0;
    int weekRank = 0;
    // The player's public id on the board (it reveals nothing of the key); empty when the
    // board gives none.
    std::string playerId;

    // From the call's answer; false with fault set when it is not such a run.
    static bool parse(const std::string& body, RunSummary& summary, std::string& fault);
    // The line under REPLAY: "3 ACE 464" with the all-time place, else the week's, else
    // the name and score alone; the name cleaned to what the font draws.
    std::string caption() const;

    // A board's entries, rank order kept; false with fault set when the answer is no board.
    static bool parseBoard(const std::string& body, std::vector<BoardRow>& rows, std::string& fault);
    // A run's number as the page links to it: 1 to 18 digits; anything else is no run.
    static bool isRunId(const std::string& text);
    // A player's public id as the board gives it: 1 to 64 letters and digits.
    static bool isPlayerId(const std::string& text);
};
