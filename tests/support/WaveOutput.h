#pragma once

#include <string>

// OpenAL Soft's wave-file writer in place of the sound card, so sound tests run the same on
// a machine without one, under Wine too. OpenAL Soft reads its configuration once per
// process, at its first call: use must come before any audio is opened.
class WaveOutput {
public:
    // Writes a configuration naming the writer, with the [general] settings given (lines
    // ending in newlines), points ALSOFT_CONF at it and returns the recording's path.
    static std::string use(const std::string& recordingName, const std::string& generalSettings = "");
};
