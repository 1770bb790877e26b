#pragma once

#include <pqxx/connection>

#include <chrono>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

// The database cannot be reached now: the service answers 503 and tries again later.
struct DatabaseUnavailable : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Open connections to one PostgreSQL server, shared by the request threads: a request
// borrows one, and gives it back unless it broke. A server that went away (restarted,
// failed over) costs the requests of that moment a DatabaseUnavailable; the next ones
// connect afresh, no sooner than a short pause after a failed attempt so that a down
// server is not hammered.
class ConnectionPool {
public:
    class Lease {
    public:
        Lease(ConnectionPool& pool, std::unique_ptr<pqxx::connection> connection)
            : pool_(&pool), connection_(std::move(connection)) {}
        Lease(Lease&& other) noexcept = default;
        Lease& operator=(Lease&&) = delete;
        ~Lease();
        pqxx::connection& operator*() { return *connection_; }
        pqxx::connection* operator->() { return connection_.get(); }
        // The connection failed under its user: it is closed rather than given back, and
        // so are the idle ones, which most likely lost the same server.
        void broken();

    private:
        ConnectionPool* pool_;
        std::unique_ptr<pqxx::connection> connection_;
    };

    // conninfo as libpq takes it ("host=/tmp/x port=5432 dbname=board", or a URI).
    void init(std::string conninfo, std::size_t keepOpen);
    bool configured() const { return !conninfo_.empty(); }

    // A connection, idle or new; DatabaseUnavailable when none can be made.
    Lease acquire();
    // Connections open and idle now, for the operators' metrics.
    std::size_t idleCount() const {
        std::lock_guard lock(mutex_);
        return idle_.size();
    }

private:
    void dropIdle();
    void giveBack(std::unique_ptr<pqxx::connection> connection);

    std::string conninfo_;
    std::size_t keepOpen_ = 0;
    mutable std::mutex mutex_;
    std::vector<std::unique_ptr<pqxx::connection>> idle_;
    std::chrono::steady_clock::time_point lastFailure_{};
};
