#include "Backoff.h"

#include <algorithm>

bool Backoff::unreachable(std::uint32_t now) {
    const bool wentOffline = !offline_;
    if (wentOffline) {
        offline_ = true;
        delay_ = kFirstRetryMilliseconds;
    } else if (static_cast<std::int32_t>(now - retryAt_) >= 0) {
        // The try after the wait failed too; a request sent before it was known is no try.
        delay_ = std::min(delay_ * 2, kLongestRetryMilliseconds);
    } else {
        return false;
    }
    retryAt_ = now + delay_;
    return wentOffline;
}

bool Backoff::reachable() {
    const bool back = offline_;
    offline_ = false;
    delay_ = 0;
    return back;
}

void Backoff::calm(int retryAfterSeconds, std::uint32_t now) {
    offline_ = false;
    delay_ = static_cast<std::uint32_t>(std::max(retryAfterSeconds, 1)) * 1000;
    retryAt_ = now + delay_;
}
