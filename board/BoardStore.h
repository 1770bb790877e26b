#pragma once

#include "board/ConnectionPool.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace pqxx {
class transaction_base;
class row;
}

// A verified run on its way into the database.
struct NewRun {
    std::string tokenId;
    std::string keyHash;
    // The player's public id (PlayerPages::idOf), written with the player's first run.
    std::string playerId;
    std::string name;
    std::string mode;
    std::string difficulty;
    double score = 0;
    double distance = 0;
    uint32_t ticks = 0;
    uint32_t seed = 0;
    uint64_t contentHash = 0;
    std::string record;
    // When the service took it, in milliseconds since 1970 on its clock: its date and week.
    int64_t submittedMs = 0;
    // A daily road's run: the day its token was given on, the only table it counts on.
    std::string day;
};

// What storing a run answers: its id, and its place on its board.
struct StoredRun {
    int64_t runId = 0;
    // The place the run's score takes among the players' bests (ties go to the earlier run).
    int64_t rank = 0;
    // It beat the player's earlier best on this board (or was the first), so it is on the board.
    bool personalBest = false;
    // The same on the table of the week it was submitted in.
    std::string week;
    int64_t weekRank = 0;
    bool weekBest = false;
    // A daily road's run: its day and place there (it is on no other table; rank and
    // weekRank are 0).
    std::string day;
    int64_t dayRank = 0;
    bool dayBest = false;
};

// A stored run as its own page shows it; the ranks are nothing when the run is not on
// that table (hidden, its player banned, or not the player's best there).
struct RunSummary {
    std::string mode;
    std::string difficulty;
    std::string name;
    double score = 0;
    double distance = 0;
    std::string date;
    std::string week;
    std::optional<int64_t> rank;
    std::optional<int64_t> weekRank;
    // The rows of its board's all-time and week's tables.
    int64_t total = 0;
    int64_t weekTotal = 0;
    // A daily road's run: its day, place and that table's rows.
    std::optional<std::string> day;
    std::optional<int64_t> dayRank;
    int64_t dayTotal = 0;
    // The player's public id; empty for a player the service has not given one yet.
    std::string playerId;
};

// Who changes the board through the admin command and why, for the change's audit row.
struct AuditNote {
    std::string by;
    std::string reason;
};

// One of a player's runs as the admin command lists them.
struct PlayerRun {
    int64_t runId = 0;
    std::string mode;
    std::string difficulty;
    double score = 0;
    std::string date;
    std::string name;
    bool hidden = false;
    // The run is the player's best on its board, shown there.
    bool onBoard = false;
};

struct PlayerRuns {
    // The hex of the player's key hash: how the admin command names the player.
    std::string keyHash;
    bool banned = false;
    std::vector<PlayerRun> runs;
};

struct AuditEntry {
    int64_t id = 0;
    std::string at;
    std::string by;
    std::string action;
    // The run changed (0 for a player's change) and its player's key hash in hex.
    int64_t runId = 0;
    std::string keyHash;
    std::string before;
    std::string after;
    std::string reason;
};

struct BoardEntry {
    int64_t rank = 0;
    std::string name;
    double score = 0;
    double distance = 0;
    // ISO 8601 in UTC, to the second.
    std::string date;
    int64_t runId = 0;
    // As RunSummary's.
    std::string playerId;
};

// A row of a table and the rows just above and below it.
struct AroundRow {
    int64_t runId = 0;
    int64_t rank = 0;
    int64_t total = 0;
    // Best first, the row itself among them.
    std::vector<BoardEntry> entries;
};

// Where the board keeps its runs: PostgreSQL, every statement a named one of
// BoardStatements. Writes go
// to the primary; board reads go to the read server when one is configured (a streaming
// replica) and to the primary when it is not, or is down. A run, its player, its place
// among the bests and its spent token are stored in one transaction, so a crash at any
// point leaves all of it or none. Operators hide runs and ban players: those runs stay
// stored, off every board read; each such change and its audit row are one transaction.
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
    // The run already stored under run's token when it was the same player's same record
    // (a resend after a lost answer, by the game or a proxy), with its mode, difficulty,
    // score, distance and ticks filled into run; nothing when the token went to another.
    std::optional<StoredRun> resent(NewRun& run);
    // Entries offset+1 to offset+limit of a board's season (Season::name()); readFromReplica
    // tells who answered.
    std::vector<BoardEntry> top(const std::string& mode, const std::string& difficulty, const std::string& season,
                                int limit, int64_t offset, bool& readFromReplica);
    // Nothing when no run has that id, or it is hidden or its player banned.
    std::optional<RunSummary> summary(int64_t runId);
    // The row of a run (byPlayer false, key its number) or of a player's best (byPlayer true,
    // key their public id) on a season's table and up to rows entries either side of it; nothing
    // when it has no row there. Reads the primary: a player looks right after a submission.
    std::optional<AroundRow> around(const std::string& mode, const std::string& difficulty, const std::string& season,
                                    const std::string& key, bool byPlayer, int rows);
    // A stored run's record; nothing when no run has that id.
    std::optional<std::string> record(int64_t runId);

    // The player of the key hash was banned.
    bool banned(const std::string& keyHash);

    // What an operator's change did.
    enum class Change { Done, Unchanged, NotFound };
    // Hides or shows a run again; the player's best on its board is worked out again.
    Change setHidden(int64_t runId, bool hidden, const AuditNote& note);
    // Bans a player or lifts the ban; the player's bests are worked out again.
    Change setBanned(int64_t playerId, bool banned, const AuditNote& note);
    // The name a run shows; before is set to the one it had.
    Change rename(int64_t runId, const std::string& name, const AuditNote& note, std::string& before);
    // The player who sent the run.
    std::optional<int64_t> playerOfRun(int64_t runId);
    // The players whose key hash's hex starts with prefix (lower-case hex): none, one, or
    // two when it names more than one.
    std::vector<int64_t> playersByPrefix(const std::string& prefix);
    std::optional<PlayerRuns> playerRuns(int64_t playerId);
    // The latest changes, newest first.
    std::vector<AuditEntry> recentAudit(int limit);

    // For the reads of PlayerPages: query runs on a connection whose statements are
    // prepared, on the primary or, as board reads do, on the read server when there is one
    // and it is up. A lost server becomes DatabaseUnavailable.
    void onPrimary(const std::function<void(pqxx::connection&)>& query);
    void onReader(const std::function<void(pqxx::connection&)>& query, bool& fromReplica);
    // The place a score takes on a board's season (ties go to the earlier run) and the
    // number of rows there, both from the kept counts: how every rank and total is read.
    static int64_t rankOn(pqxx::transaction_base& work, const std::string& mode, const std::string& difficulty,
                          const std::string& season, double score, int64_t runId);
    static int64_t totalOn(pqxx::transaction_base& work, const std::string& mode, const std::string& difficulty,
                           const std::string& season);

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

    // Locks the player's row; its key hash's hex and banned, nothing when there is none.
    static std::optional<std::pair<std::string, bool>> lockPlayer(pqxx::transaction_base& work, int64_t playerId);
    struct LockedRun {
        int64_t playerId = 0;
        bool hidden = false;
        std::string name;
    };
    // Locks the run and its player, the player first as a submission does.
    static std::optional<LockedRun> lockRun(pqxx::transaction_base& work, int64_t runId);
    // A stored run's places on the tables it counts on.
    static void placeOn(pqxx::transaction_base& work, const NewRun& run, StoredRun& stored);
    // A board read's row (name, score, distance, date, run id) at its place.
    static BoardEntry entryOf(const pqxx::row& row, int64_t rank);
    // The player's bests worked out again from the runs that count.
    static void rebuildBests(pqxx::transaction_base& work, int64_t playerId);
    // The change's audit row, in the change's transaction.
    static void audit(pqxx::transaction_base& work, const AuditNote& note, const char* action,
                      std::optional<int64_t> runId, int64_t playerId, const std::string& before,
                      const std::string& after);

    ConnectionPool primary_;
    ConnectionPool replica_;
};
