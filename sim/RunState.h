#pragma once

// Mode and Difficulty, their names and their codes in a record.
#include "vocab/PlayModes.h"

// Where a run stands: the two choices the player keeps across runs, the clocks, the road's
// scroll, the score and the lives. Plain numbers, so the rules read as arithmetic on them;
// what the rules draw with them lives elsewhere.
struct RunState {
    static constexpr float kKeyActionGap = 1.0f;
    static constexpr float kRecoveryWithoutHits = 2.0f;
    static constexpr float kRecoverySlowStart = 1.0f;
    static constexpr float kScrollWrapAbove = 600.0f;
    static constexpr float kScrollWrapBy = 400.0f;

    Mode mode = Mode::Normal;
    Difficulty difficulty = Difficulty::Hard;
    // False only on the title screen, before the first run.
    bool running = false;
    // The run has ended; the frame then handles only the keys.
    bool gameOver = false;
    int lives = 0;
    // Scaled seconds of the run: spawn times are compared with it, and it turns the bar.
    float runClock = 0.0f;
    // Seconds since the last start or hit; the bar only counts once it reaches 2.
    float recoveryTime = 0.0f;
    // Seconds since the last key action; the next needs more than one.
    float toggleTimer = 0.0f;
    float scroll = 0.0f;
    float distance = 0.0f;
    float score = 0.0f;
    float multiplier = 0.0f;

    float startClock() const { return static_cast<float>(mode); }
    int extraLives() const { return static_cast<int>(difficulty); }

    // A fresh run in the chosen mode and difficulty.
    void start();
    void toggleMode() { mode = mode == Mode::Random ? Mode::Normal : Mode::Random; }
    void toggleDifficulty() { difficulty = difficulty == Difficulty::Hard ? Difficulty::Easy : Difficulty::Hard; }

    bool keyActionAllowed() const { return toggleTimer > kKeyActionGap; }
    bool vulnerable() const { return recoveryTime >= kRecoveryWithoutHits; }
    // Takes the frame's real step into the recovery; returns the step the rest of the
    // frame runs on, slowed during the first second.
    float recover(float dt);
    // A touch that counts: a life, or with none left the run.
    void touch();
    // Moves the road on by h; true when the scroll wrapped back by kScrollWrapBy.
    bool advanceRoad(float h);
};
