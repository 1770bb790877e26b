#include "ConnectionPool.h"

#include <pqxx/except>

namespace {

// After a failed connection attempt, requests in this window fail at once.
constexpr std::chrono::milliseconds kRetryPause{200};

}  // namespace

ConnectionPool::Lease::~Lease() {
    if (connection_) {
        pool_->giveBack(std::move(connection_));
    }
}

void ConnectionPool::Lease::broken() {
    connection_.reset();
    pool_->dropIdle();
}

void ConnectionPool::dropIdle() {
    std::lock_guard lock(mutex_);
    idle_.clear();
}

void ConnectionPool::init(std::string conninfo, std::size_t keepOpen) {
    conninfo_ = std::move(conninfo);
    keepOpen_ = keepOpen;
}

ConnectionPool::Lease ConnectionPool::acquire() {
    {
        std::lock_guard lock(mutex_);
        if (!idle_.empty()) {
            auto connection = std::move(idle_.back());
            idle_.pop_back();
            return Lease(*this, std::move(connection));
        }
        if (std::chrono::steady_clock::now() - lastFailure_ < kRetryPause) {
            throw DatabaseUnavailable("the database was unreachable a moment ago");
        }
    }
    try {
        return Lease(*this, std::make_unique<pqxx::connection>(conninfo_));
    } catch (const std::exception& error) {
        std::lock_guard lock(mutex_);
        lastFailure_ = std::chrono::steady_clock::now();
        throw DatabaseUnavailable(error.what());
    }
}

bool ConnectionPool::serverFault(const std::string& sqlstate) {
    return sqlstate.rfind("08", 0) == 0 || sqlstate.rfind("57", 0) == 0 || sqlstate == "25006";
}

void ConnectionPool::giveBack(std::unique_ptr<pqxx::connection> connection) {
    std::lock_guard lock(mutex_);
    if (connection->is_open() && idle_.size() < keepOpen_) {
        idle_.push_back(std::move(connection));
    }
}
