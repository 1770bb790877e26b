#pragma once

#include <cstdint>

// When a quiet board is asked again. An unreachable one is taken as offline and asked
// after 30 s, then twice as long after each failed try, up to 5 min; one that asks for
// calm (429) is left alone for its Retry-After, without being called offline. Times are
// on the game's millisecond clock, which wraps at 2^32.
class Backoff {
public:
    static constexpr std::uint32_t kFirstRetryMilliseconds = 30000;
    static constexpr std::uint32_t kLongestRetryMilliseconds = 300000;

    // A request had no answer (or a useless one). True when the board has just gone
    // offline: the one time it is said.
    bool unreachable(std::uint32_t now);
    // A useful answer came. True when the board was offline until now.
    bool reachable();
    // The board asked for calm: nothing until retryAfterSeconds (at least 1) have passed.
    void calm(int retryAfterSeconds, std::uint32_t now);

    bool offline() const { return offline_; }
    // Whether requests are held back to one try at a time (a wait is on).
    bool holding() const { return delay_ != 0; }
    // Whether the wait before the next try is still running.
    bool waiting(std::uint32_t now) const { return holding() && static_cast<std::int32_t>(now - retryAt_) < 0; }

private:
    bool offline_ = false;
    std::uint32_t retryAt_ = 0;
    std::uint32_t delay_ = 0;
};
