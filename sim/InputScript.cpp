#include "sim/InputScript.h"

#include <stdexcept>
#include <string>

InputScript::InputScript(std::initializer_list<Step> steps) {
    for (const Step& step : steps) {
        add(step.frame, step.keys);
    }
}

void InputScript::add(long frame, GameInput keys) {
    // A step out of order would never be reached and silently change the scenario.
    if (!steps_.empty() && frame <= steps_.back().frame) {
        throw std::invalid_argument("input script: frame " + std::to_string(frame) +
                                    " does not follow frame " + std::to_string(steps_.back().frame));
    }
    steps_.push_back({frame, keys});
}

bool InputScript::play(GameInput& input) {
    while (next_ < steps_.size() && steps_[next_].frame <= frame_) {
        current_ = steps_[next_].keys;
        ++next_;
    }
    input = current_;
    ++frame_;
    return next_ < steps_.size();
}
