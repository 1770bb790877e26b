#include "sim/RunState.h"

#include <cstring>
#include <initializer_list>

const char* modeName(Mode mode) { return mode == Mode::Random ? "random" : "normal"; }

const char* difficultyName(Difficulty difficulty) { return difficulty == Difficulty::Easy ? "easy" : "hard"; }

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

void RunState::start() {
    gameOver = false;
    runClock = startClock();
    scroll = 200;
    distance = 0;
    multiplier = 3;
    score = 0;
    toggleTimer = 0;
    lives = extraLives();
    recoveryTime = 0;
    running = true;
}

float RunState::recover(float dt) {
    recoveryTime += dt;
    if (recoveryTime < kRecoverySlowStart) {
        return dt * recoveryTime;
    }
    return dt;
}

void RunState::touch() {
    if (lives > 0) {
        recoveryTime = 0;
        --lives;
    } else {
        gameOver = true;
    }
}

bool RunState::advanceRoad(float h) {
    scroll += h;
    distance += h;
    if (scroll > kScrollWrapAbove) {
        scroll -= kScrollWrapBy;
        return true;
    }
    return false;
}
