#pragma once

#include <pqxx/connection>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

// The database cannot be reached now: the service answers 503 and tries again later.
struct DatabaseUnavailable : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Open connections to one PostgreSQL database, shared by the request threads: a request
// borrows one, and gives it back unless it broke. A server that went away (restarted,
// failed over) costs the requests of that moment a DatabaseUnavailable; the next ones
// connect afresh, no sooner than a short pause after a failed attempt so that a down
// server is not hammered. The conninfo may name several servers
// ("host=a,b port=p,q target_session_attrs=read-write"): each new connection goes to the
// one taking writes then, so a promoted standby is found without a restart.
// The pool never holds more than its bound, leased and idle together: a request that finds
// every connection busy waits a moment for one, then gets DatabaseUnavailable (503 with
// Retry-After), so instances times bound is all the database ever sees of the board.
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

    // conninfo as libpq takes it ("host=/tmp/x port=5432 dbname=board", or a URI); bound
    // connections at most, and how long a request waits for one when all are busy.
    void init(std::string conninfo, std::size_t bound,
              std::chrono::milliseconds wait = std::chrono::milliseconds(1000));
    bool configured() const { return !conninfo_.empty(); }

    // A connection, idle or new; DatabaseUnavailable when none can be made, or none comes
    // free within the wait.
    Lease acquire();
    // Connections open and idle now, and open in all, for the operators' metrics.
    std::size_t idleCount() const {
        std::lock_guard lock(mutex_);
        return idle_.size();
    }
    std::size_t openCount() const {
        std::lock_guard lock(mutex_);
        return open_;
    }

    // Whether a statement failed for its server rather than for itself: the connection
    // is lost or shut down (SQLSTATE classes 08, 57), or it is alive but its server takes
    // no writes (25006: a standby, or a primary an operator set read-only). Such a
    // connection is of no further use; a fresh one may reach the server that now writes.
    static bool serverFault(const std::string& sqlstate);

private:
    void dropIdle(bool withOne);
    void giveBack(std::unique_ptr<pqxx::connection> connection);

    std::string conninfo_;
    std::size_t bound_ = 1;
    std::chrono::milliseconds wait_{1000};
    mutable std::mutex mutex_;
    std::condition_variable freed_;
    // Leased and idle together.
    std::size_t open_ = 0;
    std::vector<std::unique_ptr<pqxx::connection>> idle_;
    std::chrono::steady_clock::time_point lastFailure_{};
};
