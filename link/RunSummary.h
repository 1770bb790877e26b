#pragma once

#include <string>

// A run on the online board as its own call describes it (GET /v1/runs/{id}): what the
// caption of a watched run shows and the score its re-play must reach.
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
    // board gives none or none that is an id.
    std::string playerId;

    // From the call's answer; false with fault set when it is not such a run.
    static bool parse(const std::string& body, RunSummary& summary, std::string& fault);
    // The line under REPLAY: "3 ACE 464" with the all-time place, else the week's, else
    // the name and score alone; the name cleaned to what the font draws.
    std::string caption() const;
};
