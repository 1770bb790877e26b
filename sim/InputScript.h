#pragma once

#include "sim/GameInput.h"

#include <cstddef>
#include <initializer_list>
#include <vector>

// Scripted play for tests, the soak and the benchmarks: a list of (frame, keys) steps,
// played one frame at a time into a GameInput. A step's keys are held from its frame
// until the next step's; no key is held before the first step. The last step ends the
// script, and its keys stay held after it.
class InputScript {
public:
    struct Step {
        long frame;
        GameInput keys;
    };

    InputScript() = default;
    InputScript(std::initializer_list<Step> steps);

    // Appends a step; its frame must come after the last step's.
    void add(long frame, GameInput keys);
    // Sets input to this frame's keys and moves on to the next frame. False once the
    // last step has been reached: the script has ended and no frame is due for it.
    bool play(GameInput& input);

    // The number of frames played so far.
    long frame() const { return frame_; }

private:
    std::vector<Step> steps_;
    std::size_t next_ = 0;
    long frame_ = 0;
    GameInput current_;
};
