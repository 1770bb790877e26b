#include "RequestLog.h"

void RequestLog::start(std::FILE* out) {
    out_ = out;
    stopping_ = false;
    writer_ = std::thread([this] { drain(); });
}

void RequestLog::write(std::string line) {
    line.push_back('\n');
    {
        std::lock_guard lock(mutex_);
        if (!writer_.joinable() || lines_.size() >= kQueueLines || bytes_ + line.size() > kQueueBytes) {
            ++dropped_;
            return;
        }
        bytes_ += line.size();
        lines_.push_back(std::move(line));
    }
    queued_.notify_one();
}

bool RequestLog::sample(const std::string& client, Clock::time_point now, unsigned long long& skipped) {
    std::lock_guard lock(sampleMutex_);
    auto it = sampled_.find(client);
    if (it != sampled_.end() && now - it->second.logged < kSampleInterval) {
        ++it->second.skipped;
        return false;
    }
    if (it == sampled_.end()) {
        if (sampled_.size() >= kSampledClients) {
            sampled_.clear();
        }
        it = sampled_.emplace(client, Sampled{now, 0}).first;
    }
    skipped = it->second.skipped;
    it->second = Sampled{now, 0};
    return true;
}

unsigned long long RequestLog::dropped() {
    std::lock_guard lock(mutex_);
    return dropped_;
}

void RequestLog::stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    queued_.notify_one();
    if (writer_.joinable()) {
        writer_.join();
    }
}

void RequestLog::drain() {
    std::unique_lock lock(mutex_);
    for (;;) {
        queued_.wait(lock, [this] { return stopping_ || !lines_.empty(); });
        if (lines_.empty()) {
            return;
        }
        std::deque<std::string> batch;
        batch.swap(lines_);
        bytes_ = 0;
        lock.unlock();
        for (const std::string& line : batch) {
            std::fwrite(line.data(), 1, line.size(), out_);
        }
        std::fflush(out_);
        lock.lock();
    }
}
