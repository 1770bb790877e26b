#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// The threads that re-play submitted records. Re-playing is the service's CPU work, so
// there are about as many threads as cores and a short queue in front of them: a job
// that finds the queue full is refused at once (the caller answers 503) rather than
// waiting behind minutes of work.
class VerifyPool {
public:
    VerifyPool() = default;
    VerifyPool(const VerifyPool&) = delete;
    VerifyPool& operator=(const VerifyPool&) = delete;
    ~VerifyPool() { stop(); }

    void start(std::size_t threads, std::size_t queueCapacity);
    // Lets the running jobs and the queued ones finish, then joins the threads.
    void stop();

    // Queues job; false when the queue already holds queueCapacity jobs.
    bool trySubmit(std::function<void()> job);

    std::size_t threads() const { return workers_.size(); }
    std::size_t capacity() const { return capacity_; }
    std::size_t waiting();

private:
    void work();

    std::size_t capacity_ = 0;
    std::vector<std::thread> workers_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> queue_;
    bool stopping_ = false;
};
