#pragma once

#include "CommandLine.h"

#include <filesystem>
#include <string>
#include <vector>

// What happens before the window opens: the options are read, --help and --version
// answered, and the content folder found and made the working directory.
class Launch {
public:
    // True when the game should start with options; false when the process should end
    // now with exitCode: 0 after help or version, 2 for a bad option (after the usage),
    // 1 when the content cannot be found (after one line and showError's message box; for
    // --verify 2, without the box). Files given are made absolute first, and the board is
    // the build's default when --board was not given.
    bool prepare(const std::vector<std::string>& arguments, const std::filesystem::path& executableFolder,
                 void (*showError)(const char* text));

    // The game's version, as --version prints it and records carry it.
    static const char* version();

    CommandLine options;
    int exitCode = 0;
};
