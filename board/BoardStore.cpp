#include "BoardStore.h"

#include "board/Migrations.h"

#include <pqxx/pqxx>

void BoardStore::init(const std::string& primary, const std::string& read, std::size_t keepOpen) {
    primary_.init(primary, keepOpen);
    if (!read.empty()) {
        replica_.init(read, keepOpen);
    }
}

template <typename Result>
Result BoardStore::with(ConnectionPool& pool, const std::function<Result(pqxx::connection&)>& query) {
    ConnectionPool::Lease lease = pool.acquire();
    try {
        return query(*lease);
    } catch (const pqxx::broken_connection& error) {
        lease.broken();
        throw DatabaseUnavailable(error.what());
    } catch (const pqxx::in_doubt_error& error) {
        lease.broken();
        throw DatabaseUnavailable(error.what());
    } catch (const pqxx::sql_error& error) {
        if (ConnectionPool::serverFault(error.sqlstate()) || !lease->is_open()) {
            lease.broken();
            throw DatabaseUnavailable(error.what());
        }
        throw;
    }
}

template <typename Result>
Result BoardStore::read(const std::function<Result(pqxx::connection&)>& query, bool& fromReplica) {
    if (replica_.configured()) {
        try {
            Result result = with<Result>(replica_, query);
            fromReplica = true;
            return result;
        } catch (const DatabaseUnavailable&) {
        }
    }
    fromReplica = false;
    return with<Result>(primary_, query);
}

int BoardStore::migrate() {
    return with<int>(primary_, [](pqxx::connection& connection) { return Migrations::apply(connection); });
}

bool BoardStore::tokenSpent(const std::string& tokenId) {
    return with<bool>(primary_, [&](pqxx::connection& connection) {
        pqxx::read_transaction work(connection);
        return !work.exec_params("SELECT 1 FROM runs WHERE token_id = $1", tokenId).empty();
    });
}

StoredRun BoardStore::store(const NewRun& run) {
    return with<StoredRun>(primary_, [&](pqxx::connection& connection) {
        pqxx::work work(connection);
        int64_t playerId = work.exec_params1(
                                   "INSERT INTO players (key_hash) VALUES ($1) "
                                   "ON CONFLICT (key_hash) DO UPDATE SET key_hash = excluded.key_hash "
                                   "RETURNING id",
                                   pqxx::binarystring(run.keyHash))[0]
                               .as<int64_t>();
        StoredRun stored;
        try {
            stored.runId = work.exec_params1(
                                   "INSERT INTO runs (player_id, mode, difficulty, name, score, distance, ticks, seed, "
                                   "content_hash, token_id, record) "
                                   "VALUES ($1, $2, $3, $4, $5, $6, $7, $8, $9, $10, $11) RETURNING id",
                                   playerId, run.mode, run.difficulty, run.name, run.score, run.distance,
                                   static_cast<int64_t>(run.ticks), static_cast<int64_t>(run.seed),
                                   static_cast<int64_t>(run.contentHash), run.tokenId,
                                   pqxx::binarystring(run.record))[0]
                               .as<int64_t>();
        } catch (const pqxx::unique_violation&) {
            throw TokenSpent();
        }
        // Replaces the player's best only when this run beats it; a tie keeps the older.
        stored.personalBest = !work.exec_params(
                                       "INSERT INTO best_runs AS best (mode, difficulty, player_id, run_id, name, "
                                       "score, distance, created_at) "
                                       "SELECT mode, difficulty, player_id, id, name, score, distance, created_at "
                                       "FROM runs WHERE id = $1 "
                                       "ON CONFLICT (mode, difficulty, player_id) DO UPDATE SET "
                                       "run_id = excluded.run_id, name = excluded.name, score = excluded.score, "
                                       "distance = excluded.distance, created_at = excluded.created_at "
                                       "WHERE excluded.score > best.score RETURNING run_id",
                                       stored.runId)
                                       .empty();
        stored.rank = work.exec_params1(
                              "SELECT count(*) + 1 FROM best_runs WHERE mode = $1 AND difficulty = $2 "
                              "AND (score > $3 OR (score = $3 AND run_id < $4))",
                              run.mode, run.difficulty, run.score, stored.runId)[0]
                          .as<int64_t>();
        work.commit();
        return stored;
    });
}

std::vector<BoardEntry> BoardStore::top(const std::string& mode, const std::string& difficulty, int limit,
                                        int64_t offset, bool& readFromReplica) {
    return read<std::vector<BoardEntry>>(
        [&](pqxx::connection& connection) {
            pqxx::read_transaction work(connection);
            pqxx::result rows = work.exec_params(
                "SELECT name, score, distance, "
                "to_char(created_at AT TIME ZONE 'UTC', 'YYYY-MM-DD\"T\"HH24:MI:SS\"Z\"'), run_id "
                "FROM best_runs WHERE mode = $1 AND difficulty = $2 "
                "ORDER BY score DESC, run_id LIMIT $3 OFFSET $4",
                mode, difficulty, limit, offset);
            std::vector<BoardEntry> entries;
            for (const auto& row : rows) {
                BoardEntry entry;
                entry.rank = offset + static_cast<int64_t>(entries.size()) + 1;
                entry.name = row[0].as<std::string>();
                entry.score = row[1].as<double>();
                entry.distance = row[2].as<double>();
                entry.date = row[3].as<std::string>();
                entry.runId = row[4].as<int64_t>();
                entries.push_back(std::move(entry));
            }
            return entries;
        },
        readFromReplica);
}

std::optional<std::string> BoardStore::record(int64_t runId) {
    auto query = [&](pqxx::connection& connection) -> std::optional<std::string> {
        pqxx::read_transaction work(connection);
        pqxx::result rows = work.exec_params("SELECT record FROM runs WHERE id = $1", runId);
        if (rows.empty()) {
            return std::nullopt;
        }
        return pqxx::binarystring(rows[0][0]).str();
    };
    bool fromReplica = false;
    std::optional<std::string> found = read<std::optional<std::string>>(query, fromReplica);
    // A run stored a moment ago may not have reached the replica yet.
    if (!found && fromReplica) {
        found = with<std::optional<std::string>>(primary_, query);
    }
    return found;
}

bool BoardStore::primaryReachable() {
    try {
        return with<bool>(primary_, [](pqxx::connection& connection) {
            pqxx::nontransaction work(connection);
            work.exec("SELECT 1");
            return true;
        });
    } catch (const DatabaseUnavailable&) {
        return false;
    }
}

std::optional<bool> BoardStore::replicaReachable() {
    if (!replica_.configured()) {
        return std::nullopt;
    }
    try {
        return with<bool>(replica_, [](pqxx::connection& connection) {
            pqxx::nontransaction work(connection);
            work.exec("SELECT 1");
            return true;
        });
    } catch (const DatabaseUnavailable&) {
        return false;
    }
}
