#include "ConnectionPool.h"

#include <pqxx/except>

#include <algorithm>

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
    pool_->dropIdle(true);
}

void ConnectionPool::dropIdle(bool withOne) {
    {
        std::lock_guard lock(mutex_);
        open_ -= idle_.size() + (withOne ? 1 : 0);
        idle_.clear();
    }
    freed_.notify_all();
}

void ConnectionPool::init(std::string conninfo, std::size_t bound, std::chrono::milliseconds wait) {
    conninfo_ = std::move(conninfo);
    bound_ = std::max<std::size_t>(1, bound);
    wait_ = wait;
}

ConnectionPool::Lease ConnectionPool::acquire() {
    {
        std::unique_lock lock(mutex_);
        const auto deadline = std::chrono::steady_clock::now() + wait_;
        while (idle_.empty() && open_ >= bound_) {
            if (freed_.wait_until(lock, deadline) == std::cv_status::timeout && idle_.empty() && open_ >= bound_) {
                throw DatabaseUnavailable("all " + std::to_string(bound_) + " database connections are busy");
            }
        }
        if (!idle_.empty()) {
            auto connection = std::move(idle_.back());
            idle_.pop_back();
            return Lease(*this, std::move(connection));
        }
        if (std::chrono::steady_clock::now() - lastFailure_ < kRetryPause) {
            throw DatabaseUnavailable("the database was unreachable a moment ago");
        }
        // The place is taken before the slow connect, outside the lock.
        ++open_;
    }
    try {
        return Lease(*this, std::make_unique<pqxx::connection>(conninfo_));
    } catch (const std::exception& error) {
        {
            std::lock_guard lock(mutex_);
            --open_;
            lastFailure_ = std::chrono::steady_clock::now();
        }
        freed_.notify_one();
        throw DatabaseUnavailable(error.what());
    }
}

bool ConnectionPool::serverFault(const std::string& sqlstate) {
    return sqlstate.rfind("08", 0) == 0 || sqlstate.rfind("57", 0) == 0 || sqlstate == "25006";
}

void ConnectionPool::giveBack(std::unique_ptr<pqxx::connection> connection) {
    {
        std::lock_guard lock(mutex_);
        if (connection->is_open()) {
            idle_.push_back(std::move(connection));
        } else {
            --open_;
        }
    }
    freed_.notify_one();
}
