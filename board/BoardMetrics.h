#pragma once

#include <array>
#include <cstddef>
#include <map>
#include <mutex>
#include <string>
#include <utility>

// The service's counters for its operators, written in Prometheus' text format: requests
// by call and status, the time a re-play takes, database errors and connections refused at
// a cap. Values read at the moment of writing (queue depth, connections, log lines
// dropped) are passed in.
class BoardMetrics {
public:
    void request(const std::string& call, int status);
    void verified(double seconds);
    void databaseError();
    void refusedConnection(const std::string& cap);
    std::string text(std::size_t verifyQueueDepth, std::size_t databaseConnections, std::size_t httpConnections,
                     unsigned long long logDropped);

    // Upper bounds of the verification time's buckets, in seconds.
    static constexpr std::array<double, 10> kBuckets = {0.005, 0.01, 0.025, 0.05, 0.1, 0.25, 0.5, 1, 2.5, 5};

private:
    std::mutex mutex_;
    std::map<std::pair<std::string, int>, unsigned long long> requests_;
    std::array<unsigned long long, kBuckets.size()> verifyBuckets_{};
    unsigned long long verifyCount_ = 0;
    double verifySum_ = 0;
    unsigned long long databaseErrors_ = 0;
    std::map<std::string, unsigned long long> refusedConnections_;
};
