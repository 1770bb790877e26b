#include "RateLimiter.h"

#include <algorithm>

namespace {

// Past this many addresses the table is swept of those that would be full anyway.
constexpr std::size_t kSweepAbove = 10000;

}  // namespace

void RateLimiter::init(double perSecond, double burst) {
    perSecond_ = perSecond;
    burst_ = std::max(1.0, burst);
}

bool RateLimiter::allow(const std::string& address, Clock::time_point now, double& retryAfterSeconds) {
    std::lock_guard lock(mutex_);
    if (buckets_.size() > kSweepAbove) {
        forgetFullBuckets(now);
    }
    auto [it, fresh] = buckets_.try_emplace(address, Bucket{burst_, now});
    Bucket& bucket = it->second;
    if (!fresh) {
        double elapsed = std::chrono::duration<double>(now - bucket.updated).count();
        bucket.tokens = std::min(burst_, bucket.tokens + std::max(0.0, elapsed) * perSecond_);
        bucket.updated = now;
    }
    if (bucket.tokens >= 1.0) {
        bucket.tokens -= 1.0;
        return true;
    }
    retryAfterSeconds = (1.0 - bucket.tokens) / perSecond_;
    return false;
}

void RateLimiter::forgetFullBuckets(Clock::time_point now) {
    for (auto it = buckets_.begin(); it != buckets_.end();) {
        double elapsed = std::chrono::duration<double>(now - it->second.updated).count();
        if (it->second.tokens + elapsed * perSecond_ >= burst_) {
            it = buckets_.erase(it);
        } else {
            ++it;
        }
    }
}
