#pragma once

#include <chrono>
#include <list>
#include <mutex>
#include <string>
#include <unordered_map>

// Requests a second allowed per client address, as a bucket of tokens that refills at a
// steady rate up to a burst. The addresses are kept in the order they last asked: each
// request forgets a few of the longest quiet whose bucket is full again, and past the
// table's size the longest quiet goes whatever its bucket holds. No request walks the
// whole table, however many addresses a flood brings.
class RateLimiter {
public:
    using Clock = std::chrono::steady_clock;

    void init(double perSecond, double burst, std::size_t capacity = 100000);

    // True when address may make one more request at now; false with the seconds until
    // it may.
    bool allow(const std::string& address, Clock::time_point now, double& retryAfterSeconds);
    std::size_t size();

private:
    struct Bucket {
        double tokens;
        Clock::time_point updated;
        std::list<std::string>::iterator place;
    };

    void forgetQuiet(Clock::time_point now);

    double perSecond_ = 1.0;
    double burst_ = 1.0;
    std::size_t capacity_ = 1;
    std::mutex mutex_;
    std::unordered_map<std::string, Bucket> buckets_;
    // Most recently asking first.
    std::list<std::string> order_;
};
