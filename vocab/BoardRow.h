#pragma once

#include <string>

// One entry of the online board as the game shows it: its place, the player's name and
// the run's score in whole points; with the run's number on the board when it is known
// (0 otherwise), by which a row is watched and the player's own rows are told. The name is
// kept as the board sent it; nameLine cleans it wherever it is drawn.
struct BoardRow {
    // The rows the game reads of a board's table: the browser moves through them, and a run
    // that beats the last of a full table would enter it.
    static constexpr int kTableRows = 100;

    int rank = 0;
    std::string name;
    int score = 0;
    long long runId = 0;

    // "1 ACE": the place and the name as a screen draws a name from the network (cut to
    // twelve characters, anything but the characters of a name turned into '?').
    std::string nameLine() const;
};
