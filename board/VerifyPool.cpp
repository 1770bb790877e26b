#include "VerifyPool.h"

void VerifyPool::start(std::size_t threads, std::size_t queueCapacity) {
    capacity_ = queueCapacity;
    stopping_ = false;
    for (std::size_t i = 0; i < threads; ++i) {
        workers_.emplace_back([this] { work(); });
    }
}

void VerifyPool::stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    for (std::thread& worker : workers_) {
        worker.join();
    }
    workers_.clear();
}

bool VerifyPool::trySubmit(std::function<void()> job) {
    {
        std::lock_guard lock(mutex_);
        if (stopping_ || queue_.size() >= capacity_) {
            return false;
        }
        queue_.push_back(std::move(job));
    }
    wake_.notify_one();
    return true;
}

std::size_t VerifyPool::waiting() {
    std::lock_guard lock(mutex_);
    return queue_.size();
}

void VerifyPool::work() {
    for (;;) {
        std::function<void()> job;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
            if (queue_.empty()) {
                return;
            }
            job = std::move(queue_.front());
            queue_.pop_front();
        }
        job();
    }
}
