#pragma once

#include <string>

// One entry of the online board as the game shows it: its place, the player's name and
// the run's score in whole points.
struct BoardRow {
    int rank = 0;
    std::string name;
    int score = 0;
};
