#pragma once

#include "sim/RunState.h"

#include <cstdint>

// What a run is made from besides its content and its ticks' inputs: the seed of its
// generator, the two choices, and the four arrow flags as the start tick's key handling
// left them (the rest of that tick moves the truck by them).
struct RunStart {
    std::uint32_t seed = 0;
    Mode mode = Mode::Normal;
    Difficulty difficulty = Difficulty::Hard;
    bool left = false;
    bool right = false;
    bool up = false;
    bool down = false;

    bool operator==(const RunStart&) const = default;
};
