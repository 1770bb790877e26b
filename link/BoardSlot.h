#pragma once

#include "sim/RunState.h"

// The four boards (mode by difficulty) as the link's caches number them.
struct BoardSlot {
    static constexpr int kCount = 4;

    static int of(Mode mode, Difficulty difficulty) {
        return (mode == Mode::Random ? 2 : 0) + (difficulty == Difficulty::Easy ? 1 : 0);
    }
    static Mode mode(int slot) { return slot >= 2 ? Mode::Random : Mode::Normal; }
    static Difficulty difficulty(int slot) { return slot % 2 == 1 ? Difficulty::Easy : Difficulty::Hard; }
};
