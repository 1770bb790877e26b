#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One generated data file: its path under the data folder and its exact bytes.
struct ContentFile {
    std::string path;
    std::vector<uint8_t> bytes;
};

// Every image, mesh, font, collider and sound file of the game, made in memory.
class ContentFiles {
public:
    // All files, in a fixed order. Throws std::runtime_error when a font is missing.
    static std::vector<ContentFile> generate();
    // Writes the files under dataFolder, making sub-folders as needed. Throws
    // std::runtime_error naming the file that could not be written.
    static void writeAll(const std::vector<ContentFile>& files, const std::string& dataFolder);
};
