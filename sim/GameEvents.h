#pragma once

#include <cstdint>

// What happened in one tick of the rules (or, gathered by the game, in one frame), for the
// shell to turn into sound (or anything else that follows the game without taking part
// in it). Plain data: the rules only record.
enum class GameEvent : uint8_t {
    Started,             // a run started (SPACE, or a switch during a run)
    Hit,                 // the bar struck a car and it counted
    LifeLost,            // that hit took a heart
    GameOver,            // that hit ended the run
    SwitchedMode,        // F2: NORMAL and RANDOM
    SwitchedDifficulty,  // F1: HARD and EASY
    NewBest,             // the run just ended beat the best score of its way to play
};

class GameEvents {
public:
    void clear() { bits_ = 0; }
    void add(GameEvent event) { bits_ |= bit(event); }
    bool has(GameEvent event) const { return (bits_ & bit(event)) != 0; }
    bool empty() const { return bits_ == 0; }

private:
    static uint32_t bit(GameEvent event) { return 1u << static_cast<unsigned>(event); }

    uint32_t bits_ = 0;
};
