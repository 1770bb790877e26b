#pragma once

#include <cstdint>
#include <string>

// Records of runs played by a script for the board's tests: the rules driven tick by
// tick, as the golden records are made.
class TestRecords {
public:
    // A run of mode and difficulty on seed, played to its game over by a scripted player
    // steering by the pattern variant picks; a run that lasts longer than seconds throws.
    static std::string play(uint32_t seed, const std::string& mode, const std::string& difficulty, int seconds,
                            int variant = 0);
    // A well-formed record that claims seconds of play without having been played.
    static std::string claiming(uint32_t seed, const std::string& mode, const std::string& difficulty, int seconds);
    // The score a record claims.
    static float score(const std::string& record);
    // The hash of the content the tests' records are played on (the project's data/).
    static uint64_t contentHash();
    // The same record made on other content: its content hash changed.
    static std::string onOtherContent(const std::string& record);
};
