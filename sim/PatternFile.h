#pragma once

#include "sim/CarSpawn.h"

#include <string>
#include <vector>

// Reads the enemy traffic file: "cars", the scripted list every run plays from its
// start, and "patterns", the pool the game draws from once the script is used up.
class PatternFile {
public:
    // Replaces queue with the scripted cars timed at or after startClock, and patterns
    // with the pool. A member missing from the file leaves its list as it was. A file
    // that cannot be read or parsed is reported in one line and changes nothing; a car
    // lacking "x", "speed" or "time", or holding a non-number, is reported and skipped.
    // A pool left without a single car (no "patterns", an empty list, or only empty
    // patterns) is reported too: the road stays empty once the scripted cars run out.
    static void load(const std::string& path, float startClock, std::vector<CarSpawn>& queue,
                     std::vector<CarPattern>& patterns);
    // The same from the file's text, already read; path names it in reports.
    static void loadText(const std::string& text, const std::string& path, float startClock,
                         std::vector<CarSpawn>& queue, std::vector<CarPattern>& patterns);
};
