#include "vocab/PlayModes.h"

#include <cstring>
#include <initializer_list>

const char* modeName(Mode mode) { return mode == Mode::Random ? "random" : "normal"; }

const char* difficultyName(Difficulty difficulty) { return difficulty == Difficulty::Easy ? "easy" : "hard"; }

std::string playName(Mode mode, Difficulty difficulty) {
    return std::string(modeName(mode)) + "-" + difficultyName(difficulty);
}

bool modeNamed(const char* name, Mode& mode) {
    for (Mode candidate : {Mode::Normal, Mode::Random}) {
        if (std::strcmp(name, modeName(candidate)) == 0) {
            mode = candidate;
            return true;
        }
    }
    return false;
}

bool difficultyNamed(const char* name, Difficulty& difficulty) {
    for (Difficulty candidate : {Difficulty::Hard, Difficulty::Easy}) {
        if (std::strcmp(name, difficultyName(candidate)) == 0) {
            difficulty = candidate;
            return true;
        }
    }
    return false;
}
