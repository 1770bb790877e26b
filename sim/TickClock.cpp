#include "sim/TickClock.h"

#include <algorithm>
#include <cmath>

int TickClock::advance(float seconds) {
    if (!(seconds > 0.0f)) {
        return 0;
    }
    pending_ += static_cast<double>(seconds) * ticksPerSecond_;
    // A frame time that is a whole number of ticks as a float (1/60 s is 4 ticks) must
    // give them all, not one fewer and a crumb.
    const double due = std::floor(pending_ + 1e-6);
    pending_ = std::max(0.0, pending_ - due);
    return static_cast<int>(due);
}
