#pragma once

#include <string>

// Where the loaders tell a player or a content author what is wrong with a file: one
// line on standard error, naming the file first. The game then carries on without it.
class FaultReporter {
public:
    // Writes "path: fault".
    static void report(const std::string& path, const std::string& fault);
    // Writes a line that already names its file (the text of a loader's exception).
    static void report(const std::string& line);
};
