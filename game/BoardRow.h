#pragma once

#include <string>

// One entry of the online board as the game shows it: its place, the player's name and
// the run's score in whole points; with the run's number on the board when it is known
// (0 otherwise), by which a row is watched and the player's own rows are told.
struct BoardRow {
    int rank = 0;
    std::string name;
    int score = 0;
    long long runId = 0;
};
