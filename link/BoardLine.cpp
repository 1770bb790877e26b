#include "BoardLine.h"

#include <cstdio>

void sayBoardLine(const std::string& line) {
    std::string shown = line.substr(0, 300);
    for (char& c : shown) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
            c = '?';
        }
    }
    std::fprintf(stderr, "board: %s\n", shown.c_str());
}
