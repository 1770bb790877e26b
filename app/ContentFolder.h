#pragma once

#include <filesystem>
#include <string>
#include <vector>

// Where the game's content lives: the folder that holds data/. Start-up makes it the
// working directory, so every file the game reads stays "data/...", whether it runs from
// its source tree, from an installed copy or from a folder the player named with --data.
class ContentFolder {
public:
    // The folders to look in, in order. A --data folder is the only one when given: it
    // may be the folder holding data/ or data/ itself. Otherwise the working directory
    // comes first, then the installed content at installedRelative from the executable's
    // folder ("../share/tamq4pelrok" on Linux, "." on Windows).
    static std::vector<std::filesystem::path> candidates(const std::string& dataOption,
                                                         const std::filesystem::path& workingDirectory,
                                                         const std::filesystem::path& executableFolder,
                                                         const std::string& installedRelative);

    // Looks in each candidate and enters the first that holds data/. False when none does
    // or it cannot be entered, with one line in error naming the places looked at.
    bool enter(const std::vector<std::filesystem::path>& candidates);

    std::filesystem::path folder;
    std::string error;
};
