#include "FramePacer.h"

void FramePacer::init(int refreshHertz, bool vsync) {
    const int hertz = refreshHertz >= 20 && refreshHertz <= 1000 ? refreshHertz : 60;
    period_ = 1000000 / hertz;
    // A working vertical sync lands its swaps a period apart give or take the display's
    // jitter: a twentieth short of it, those never wait.
    if (vsync) {
        period_ -= period_ / 20;
    }
    started_ = false;
}

std::int64_t FramePacer::waitAfterSwap(std::int64_t now) {
    if (!started_ || now - nextFrame_ > period_) {
        // The first frame, or one later than a whole period past its deadline: pacing
        // starts again from it, with no frames owed.
        started_ = true;
        nextFrame_ = now + period_;
        return 0;
    }
    const std::int64_t wait = nextFrame_ > now ? nextFrame_ - now : 0;
    nextFrame_ += period_;
    return wait;
}
