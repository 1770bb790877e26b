#include "sim/RunState.h"

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
