#pragma once

#include <string>

// Reads a whole file into memory, the one way every loader of the game does: a missing
// file, a folder given as a file and a read error each give their own short fault, so
// every loader reports the same path the same way ("path: fault").
class FileReader {
public:
    // True with the whole file in bytes; false with fault set to "cannot open the file",
    // "is a folder, not a file" or "cannot read the file", and bytes emptied.
    static bool read(const std::string& path, std::string& bytes, std::string& fault);
    // The whole file, or a std::runtime_error carrying "path: fault".
    static std::string readOrThrow(const std::string& path);
};
