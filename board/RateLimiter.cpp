#include "RateLimiter.h"

#include <algorithm>

namespace {

// Quiet addresses forgotten per request at most: enough to keep up with any flood, which
// adds one address a request.
constexpr int kForgetPerRequest = 4;

}  // namespace

void RateLimiter::init(double perSecond, double burst, std::size_t capacity) {
    perSecond_ = perSecond;
    burst_ = std::max(1.0, burst);
    capacity_ = std::max<std::size_t>(1, capacity);
}

bool RateLimiter::allow(const std::string& address, Clock::time_point now, double& retryAfterSeconds) {
    std::lock_guard lock(mutex_);
    forgetQuiet(now);
    auto it = buckets_.find(address);
    if (it == buckets_.end()) {
        if (buckets_.size() >= capacity_) {
            buckets_.erase(order_.back());
            order_.pop_back();
        }
        order_.push_front(address);
        it = buckets_.emplace(address, Bucket{burst_, now, order_.begin()}).first;
    } else {
        double elapsed = std::chrono::duration<double>(now - it->second.updated).count();
        it->second.tokens = std::min(burst_, it->second.tokens + std::max(0.0, elapsed) * perSecond_);
        it->second.updated = now;
        order_.splice(order_.begin(), order_, it->second.place);
    }
    Bucket& bucket = it->second;
    if (bucket.tokens >= 1.0) {
        bucket.tokens -= 1.0;
        return true;
    }
    retryAfterSeconds = (1.0 - bucket.tokens) / perSecond_;
    return false;
}

std::size_t RateLimiter::size() {
    std::lock_guard lock(mutex_);
    return buckets_.size();
}

void RateLimiter::forgetQuiet(Clock::time_point now) {
    for (int i = 0; i < kForgetPerRequest && !order_.empty(); ++i) {
        auto it = buckets_.find(order_.back());
        double elapsed = std::chrono::duration<double>(now - it->second.updated).count();
        if (it->second.tokens + elapsed * perSecond_ < burst_) {
            return;
        }
        buckets_.erase(it);
        order_.pop_back();
    }
}
