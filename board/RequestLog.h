#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>

// The service's log, one line a request, written by a thread of its own from a bounded
// queue. Whoever logs never waits on the output: a reader that stops reading (a full pipe,
// a stalled disk) costs lines, which are dropped and counted, never the service. Refusals
// come from whoever chooses to send them, so they are sampled: one line per client per
// interval, which says how many it stands for.
class RequestLog {
public:
    using Clock = std::chrono::steady_clock;

    // Lines and bytes the queue holds before it drops.
    static constexpr std::size_t kQueueLines = 4096;
    static constexpr std::size_t kQueueBytes = 4 << 20;
    static constexpr Clock::duration kSampleInterval = std::chrono::seconds(10);
    // Clients remembered for sampling; past this the memory starts afresh.
    static constexpr std::size_t kSampledClients = 10000;

    RequestLog() = default;
    RequestLog(const RequestLog&) = delete;
    RequestLog& operator=(const RequestLog&) = delete;
    ~RequestLog() { stop(); }

    void start(std::FILE* out);
    // Queues a line (its newline added), or drops it when the queue is full.
    void write(std::string line);
    // Whether a refusal of client at now is to be logged; when it is, skipped holds the
    // refusals of that client left out since its last line.
    bool sample(const std::string& client, Clock::time_point now, unsigned long long& skipped);
    unsigned long long dropped();
    // Writes what is queued and ends the writer.
    void stop();

private:
    struct Sampled {
        Clock::time_point logged;
        unsigned long long skipped;
    };

    void drain();

    std::FILE* out_ = nullptr;
    std::mutex mutex_;
    std::condition_variable queued_;
    std::deque<std::string> lines_;
    std::size_t bytes_ = 0;
    unsigned long long dropped_ = 0;
    bool stopping_ = false;
    std::thread writer_;
    std::mutex sampleMutex_;
    std::unordered_map<std::string, Sampled> sampled_;
};
