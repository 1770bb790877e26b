#pragma once

#include "board/ConnectionPool.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

// A verified run on its way into the database.
struct NewRun {
    std::string tokenId;
    std::string keyHash;
    std::string name;
    std::string mode;
    std::string difficulty;
    double score = 0;
    double distance = 0;
    uint32_t ticks = 0;
    uint32_t seed = 0;
    uint64_t contentHash = 0;
    std::string record;
};

// What storing a run answers: its id, and its place on its board.
struct StoredRun {
    int64_t runId = 0;
    // The place the run's score takes among the players' bests (ties go to the earlier run).
    int64_t rank = 0;
    // It beat the player's earlier best on this board (or was the first), so it is on the board.
    bool personalBest = false;
};

struct BoardEntry {
    int64_t rank = 0;
    std::string name;
    double score = 0;
    double distance = 0;
    // ISO 8601 in UTC, to the second.
    std::string date;
    int64_t runId = 0;
};

// Where the board keeps its runs: PostgreSQL, every statement parameterised. Writes go
// to the primary; board reads go to the read server when one is configured (a streaming
// replica) and to the primary when it is not, or is down. A run, its player, its place
// among the bests and its spent token are stored in one transaction, so a crash at any
// point leaves all of it or none.
class BoardStore {
public:
    // The token was already spent by a stored run.
    struct TokenSpent : std::runtime_error {
        TokenSpent() : std::runtime_error("the token was already used") {}
    };

    void init(const std::string& primary, const std::string& read, std::size_t keepOpen);
    // Brings the primary's schema up to date; the version it is at.
    int migrate();

    // Whether a stored run spent the token (checked before the costly re-play; storing
    // checks again).
    bool tokenSpent(const std::string& tokenId);
    // TokenSpent when another submission spent the token first.
    StoredRun store(const NewRun& run);
    // Entries offset+1 to offset+limit of a board; readFromReplica tells who answered.
    std::vector<BoardEntry> top(const std::string& mode, const std::string& difficulty, int limit, int64_t offset,
                                bool& readFromReplica);
    // A stored run's record; nothing when no run has that id.
    std::optional<std::string> record(int64_t runId);

    // For the health call: each server answers a trivial query.
    bool primaryReachable();
    // Nothing when no read server is configured.
    std::optional<bool> replicaReachable();
    // Idle connections kept open to both servers, for the operators' metrics.
    std::size_t idleConnections() const { return primary_.idleCount() + replica_.idleCount(); }

private:
    // Runs query on a connection of pool; a lost server becomes DatabaseUnavailable.
    template <typename Result>
    Result with(ConnectionPool& pool, const std::function<Result(pqxx::connection&)>& query);
    // Runs a read on the read server, or on the primary when it has none or it is down.
    template <typename Result>
    Result read(const std::function<Result(pqxx::connection&)>& query, bool& fromReplica);

    ConnectionPool primary_;
    ConnectionPool replica_;
};
