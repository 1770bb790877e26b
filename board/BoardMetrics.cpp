#include "BoardMetrics.h"

#include <sstream>

void BoardMetrics::request(const std::string& call, int status) {
    std::lock_guard lock(mutex_);
    ++requests_[{call, status}];
}

void BoardMetrics::verified(double seconds) {
    std::lock_guard lock(mutex_);
    for (std::size_t i = 0; i < kBuckets.size(); ++i) {
        if (seconds <= kBuckets[i]) {
            ++verifyBuckets_[i];
        }
    }
    ++verifyCount_;
    verifySum_ += seconds;
}

void BoardMetrics::databaseError() {
    std::lock_guard lock(mutex_);
    ++databaseErrors_;
}

void BoardMetrics::refusedConnection(const std::string& cap) {
    std::lock_guard lock(mutex_);
    ++refusedConnections_[cap];
}

std::string BoardMetrics::text(std::size_t verifyQueueDepth, std::size_t databaseConnections,
                               std::size_t httpConnections, unsigned long long logDropped) {
    std::lock_guard lock(mutex_);
    std::ostringstream out;
    auto family = [&out](const char* name, const char* type, const char* help) {
        out << "# HELP " << name << " " << help << "\n# TYPE " << name << " " << type << "\n";
    };
    family("tamq_board_requests_total", "counter", "Requests answered, by call and status.");
    for (const auto& [key, count] : requests_) {
        out << "tamq_board_requests_total{call=\"" << key.first << "\",status=\"" << key.second << "\"} " << count
            << "\n";
    }
    family("tamq_board_verify_seconds", "histogram", "Time to re-play a submitted record.");
    for (std::size_t i = 0; i < kBuckets.size(); ++i) {
        out << "tamq_board_verify_seconds_bucket{le=\"" << kBuckets[i] << "\"} " << verifyBuckets_[i] << "\n";
    }
    out << "tamq_board_verify_seconds_bucket{le=\"+Inf\"} " << verifyCount_ << "\n"
        << "tamq_board_verify_seconds_sum " << verifySum_ << "\n"
        << "tamq_board_verify_seconds_count " << verifyCount_ << "\n";
    family("tamq_board_verify_queue_depth", "gauge", "Records waiting for a verifier.");
    out << "tamq_board_verify_queue_depth " << verifyQueueDepth << "\n";
    family("tamq_board_database_errors_total", "counter", "Requests that found the database unreachable.");
    out << "tamq_board_database_errors_total " << databaseErrors_ << "\n";
    family("tamq_board_database_connections", "gauge", "Idle database connections kept open.");
    out << "tamq_board_database_connections " << databaseConnections << "\n";
    family("tamq_board_http_connections", "gauge", "Client connections open.");
    out << "tamq_board_http_connections " << httpConnections << "\n";
    family("tamq_board_refused_connections_total", "counter",
           "Connections turned away at a cap: a client's, a network's share, or all places taken.");
    for (const char* cap : {"client", "network", "total"}) {
        auto it = refusedConnections_.find(cap);
        out << "tamq_board_refused_connections_total{cap=\"" << cap << "\"} "
            << (it == refusedConnections_.end() ? 0 : it->second) << "\n";
    }
    family("tamq_board_log_dropped_total", "counter", "Log lines dropped because the log's reader fell behind.");
    out << "tamq_board_log_dropped_total " << logDropped << "\n";
    return out.str();
}
