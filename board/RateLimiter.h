#pragma once

#include <chrono>
#include <mutex>
#include <string>
#include <unordered_map>

// Requests a second allowed per client address, as a bucket of tokens that refills at a
// steady rate up to a burst. The table forgets addresses whose bucket is full again, so a
// flood of addresses costs memory only while they keep asking.
class RateLimiter {
public:
    using Clock = std::chrono::steady_clock;

    void init(double perSecond, double burst);

    // True when address may make one more request at now; false with the seconds until
    // it may.
    bool allow(const std::string& address, Clock::time_point now, double& retryAfterSeconds);

private:
    struct Bucket {
        double tokens;
        Clock::time_point updated;
    };

    void forgetFullBuckets(Clock::time_point now);

    double perSecond_ = 1.0;
    double burst_ = 1.0;
    std::mutex mutex_;
    std::unordered_map<std::string, Bucket> buckets_;
};
