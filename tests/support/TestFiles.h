#pragma once

#include <string>
#include <vector>

// Scratch files for loader tests, written under the system's temporary folder and
// removed when the test program ends.
class TestFiles {
public:
    // Writes bytes to a fresh file named after name; returns its path.
    static std::string write(const std::string& name, const std::string& bytes);
    static std::string write(const std::string& name, const std::vector<unsigned char>& bytes);
    // A path in the scratch folder where nothing exists.
    static std::string missing(const std::string& name);
    static std::string folder();
    static std::string readAll(const std::string& path);
};
