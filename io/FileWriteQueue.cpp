#include "FileWriteQueue.h"

#include "AtomicFile.h"

#include <algorithm>

// Emscripten builds without pthreads have no second thread to write on.
#if defined(__EMSCRIPTEN__) && !defined(__EMSCRIPTEN_PTHREADS__)
#define TAMQ_WRITES_IN_PLACE 1
#endif

FileWriteQueue::~FileWriteQueue() {
    if (!started_) {
        return;
    }
    drain();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void FileWriteQueue::start() {
#ifndef TAMQ_WRITES_IN_PLACE
    if (!started_) {
        started_ = true;
        thread_ = std::thread(&FileWriteQueue::run, this);
    }
#endif
}

void FileWriteQueue::perform(const Job& job) {
    std::string fault;
    const bool ok = AtomicFile::replace(job.path, job.content, fault);
    if (job.done) {
        job.done(ok, fault);
    }
}

void FileWriteQueue::write(const std::string& path, std::string content, Done done) {
    if (!started_) {
        perform(Job{path, std::move(content), std::move(done)});
        return;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const auto queued = std::find_if(jobs_.begin(), jobs_.end(), [&](const Job& job) { return job.path == path; });
        if (queued != jobs_.end()) {
            // Not yet begun: the newest content takes its place in the queue.
            queued->content = std::move(content);
            queued->done = std::move(done);
        } else {
            jobs_.push_back(Job{path, std::move(content), std::move(done)});
        }
    }
    wake_.notify_one();
}

void FileWriteQueue::drain() {
    std::unique_lock<std::mutex> lock(mutex_);
    idle_.wait(lock, [&] { return jobs_.empty() && !writing_; });
}

int FileWriteQueue::pending() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<int>(jobs_.size()) + (writing_ ? 1 : 0);
}

void FileWriteQueue::run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [&] { return stopping_ || !jobs_.empty(); });
        if (jobs_.empty()) {
            return;
        }
        const Job job = std::move(jobs_.front());
        jobs_.pop_front();
        writing_ = true;
        lock.unlock();
        perform(job);
        lock.lock();
        writing_ = false;
        if (jobs_.empty()) {
            idle_.notify_all();
        }
    }
}
