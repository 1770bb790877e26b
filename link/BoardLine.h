#pragma once

#include <string>

// One line about the online board on standard error, "board: " and the line: words from a
// server or a link go on the player's terminal, so it is cut to one line of at most 300
// characters with no control characters.
void sayBoardLine(const std::string& line);
