#pragma once

#include <cstdint>

// Holds the loop to the display's pace when the swap does not: without vertical sync (no
// swap interval granted), or with one the driver grants but never waits for (a virtual
// display), a loop presenting as fast as it can burns every core for frames nobody sees.
// After each swap it says how long to sleep so that frames come no faster than one a
// period, counted from deadlines rather than from the last frame so that the rate holds
// without drifting; a late frame moves the deadlines on instead of hurrying the next ones.
class FramePacer {
public:
    // The display's refresh rate in hertz; an unknown one (0 or absurd) counts as 60.
    // vsync: a swap interval was granted, which then gets a little slack so that a swap
    // that did wait for the display is never held back on top of it.
    void init(int refreshHertz, bool vsync);
    // Microseconds to sleep after a swap that came back at now (microseconds, any start).
    std::int64_t waitAfterSwap(std::int64_t now);
    std::int64_t periodMicroseconds() const { return period_; }

private:
    std::int64_t period_ = 1000000 / 60;
    std::int64_t nextFrame_ = 0;
    bool started_ = false;
};
