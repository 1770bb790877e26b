#include "BoardStore.h"

#include "board/BoardStatements.h"
#include "board/Migrations.h"
#include "board/Season.h"

#include <pqxx/pqxx>

#include <algorithm>

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
        BoardStatements::prepare(*lease);
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
        return !work.exec_prepared("token_spent", tokenId).empty();
    });
}

bool BoardStore::banned(const std::string& keyHash) {
    return with<bool>(primary_, [&](pqxx::connection& connection) {
        pqxx::read_transaction work(connection);
        pqxx::result rows = work.exec_prepared("player_banned", pqxx::binarystring(keyHash));
        return !rows.empty() && rows[0][0].as<bool>();
    });
}

StoredRun BoardStore::store(const NewRun& run) {
    return with<StoredRun>(primary_, [&](pqxx::connection& connection) {
        pqxx::work work(connection);
        int64_t playerId =
            work.exec_prepared1("player_upsert", pqxx::binarystring(run.keyHash), run.playerId)[0].as<int64_t>();
        StoredRun stored;
        stored.week = Season::weekOf(run.submittedMs / 1000).name();
        stored.day = run.day;
        std::optional<std::string> day;
        if (!run.day.empty()) {
            day = run.day;
        }
        try {
            stored.runId = work.exec_prepared1("run_insert", playerId, run.mode, run.difficulty, run.name, run.score,
                                               run.distance, static_cast<int64_t>(run.ticks),
                                               static_cast<int64_t>(run.seed), static_cast<int64_t>(run.contentHash),
                                               run.tokenId, pqxx::binarystring(run.record), run.submittedMs,
                                               stored.week, day)[0]
                               .as<int64_t>();
        } catch (const pqxx::unique_violation&) {
            throw TokenSpent();
        }
        work.exec_prepared("board_lock", run.mode, run.difficulty);
        for (const auto& row : work.exec_prepared("best_offer", stored.runId)) {
            const std::string season = row[0].as<std::string>();
            (season == stored.day ? stored.dayBest : season == stored.week ? stored.weekBest : stored.personalBest) =
                true;
        }
        placeOn(work, run, stored);
        work.commit();
        return stored;
    });
}

std::optional<StoredRun> BoardStore::resent(NewRun& run) {
    return with<std::optional<StoredRun>>(primary_, [&](pqxx::connection& connection) -> std::optional<StoredRun> {
        pqxx::read_transaction work(connection);
        pqxx::result rows = work.exec_prepared("token_resent", run.tokenId, pqxx::binarystring(run.keyHash),
                                               pqxx::binarystring(run.record));
        if (rows.empty()) {
            return std::nullopt;
        }
        const auto& row = rows[0];
        StoredRun stored;
        stored.runId = row[0].as<int64_t>();
        run.mode = row[1].as<std::string>();
        run.difficulty = row[2].as<std::string>();
        run.score = row[3].as<double>();
        run.distance = row[4].as<double>();
        run.ticks = row[5].as<uint32_t>();
        stored.week = row[6].as<std::string>();
        stored.personalBest = row[7].as<bool>();
        stored.weekBest = row[8].as<bool>();
        stored.day = row[9].is_null() ? "" : row[9].as<std::string>();
        stored.dayBest = row[10].as<bool>();
        run.day = stored.day;
        placeOn(work, run, stored);
        return stored;
    });
}

void BoardStore::placeOn(pqxx::transaction_base& work, const NewRun& run, StoredRun& stored) {
    auto rankIn = [&](const std::string& season) {
        return rankOn(work, run.mode, run.difficulty, season, run.score, stored.runId);
    };
    if (!stored.day.empty()) {
        stored.dayRank = rankIn(stored.day);
        return;
    }
    stored.rank = rankIn(Season::allTime().name());
    stored.weekRank = rankIn(stored.week);
}

BoardEntry BoardStore::entryOf(const pqxx::row& row, int64_t rank) {
    BoardEntry entry;
    entry.rank = rank;
    entry.name = row[0].as<std::string>();
    entry.score = row[1].as<double>();
    entry.distance = row[2].as<double>();
    entry.date = row[3].as<std::string>();
    entry.runId = row[4].as<int64_t>();
    entry.playerId = row[5].is_null() ? "" : row[5].as<std::string>();
    return entry;
}

std::vector<BoardEntry> BoardStore::top(const std::string& mode, const std::string& difficulty,
                                        const std::string& season, int limit, int64_t offset, bool& readFromReplica) {
    return read<std::vector<BoardEntry>>(
        [&](pqxx::connection& connection) {
            pqxx::read_transaction work(connection);
            pqxx::result rows = work.exec_prepared("board_page", mode, difficulty, limit, offset, season);
            std::vector<BoardEntry> entries;
            for (const auto& row : rows) {
                entries.push_back(entryOf(row, offset + static_cast<int64_t>(entries.size()) + 1));
            }
            return entries;
        },
        readFromReplica);
}

std::optional<RunSummary> BoardStore::summary(int64_t runId) {
    // Read on the primary: a run's page is opened right after its submission.
    return with<std::optional<RunSummary>>(primary_, [&](pqxx::connection& connection) -> std::optional<RunSummary> {
        pqxx::read_transaction work(connection);
        pqxx::result rows = work.exec_prepared("run_summary", runId);
        if (rows.empty()) {
            return std::nullopt;
        }
        const pqxx::row row = rows[0];
        RunSummary run;
        run.mode = row[0].as<std::string>();
        run.difficulty = row[1].as<std::string>();
        run.name = row[2].as<std::string>();
        run.score = row[3].as<double>();
        run.distance = row[4].as<double>();
        run.date = row[5].as<std::string>();
        run.week = row[6].as<std::string>();
        if (!row[7].is_null()) {
            run.rank = row[7].as<int64_t>();
        }
        if (!row[8].is_null()) {
            run.weekRank = row[8].as<int64_t>();
        }
        if (!row[9].is_null()) {
            run.day = row[9].as<std::string>();
        }
        if (!row[10].is_null()) {
            run.dayRank = row[10].as<int64_t>();
        }
        run.total = row[11].as<int64_t>();
        run.weekTotal = row[12].as<int64_t>();
        run.dayTotal = row[13].is_null() ? 0 : row[13].as<int64_t>();
        run.playerId = row[14].is_null() ? "" : row[14].as<std::string>();
        return run;
    });
}

std::optional<AroundRow> BoardStore::around(const std::string& mode, const std::string& difficulty,
                                            const std::string& season, const std::string& key, bool byPlayer, int rows) {
    return with<std::optional<AroundRow>>(primary_, [&](pqxx::connection& connection) -> std::optional<AroundRow> {
        pqxx::read_transaction work(connection);
        pqxx::result found = work.exec_prepared(byPlayer ? "around_player" : "around_run", key, mode, difficulty, season);
        if (found.empty()) {
            return std::nullopt;
        }
        const double score = found[0][0].as<double>();
        AroundRow around;
        around.runId = found[0][1].as<int64_t>();
        around.rank = rankOn(work, mode, difficulty, season, score, around.runId);
        around.total = totalOn(work, mode, difficulty, season);
        // The rows above come nearest first: read upward, then turned round.
        int64_t rank = around.rank;
        for (const auto& row : work.exec_prepared("around_above", mode, difficulty, season, score, around.runId, rows)) {
            around.entries.push_back(entryOf(row, --rank));
        }
        std::reverse(around.entries.begin(), around.entries.end());
        // From the row itself down: the rows after the one before it in the index.
        rank = around.rank;
        for (const auto& row :
             work.exec_prepared("around_below", mode, difficulty, season, score, around.runId - 1, rows + 1)) {
            around.entries.push_back(entryOf(row, rank++));
        }
        return around;
    });
}

std::optional<std::string> BoardStore::record(int64_t runId) {
    auto query = [&](pqxx::connection& connection) -> std::optional<std::string> {
        pqxx::read_transaction work(connection);
        pqxx::result rows = work.exec_prepared("run_record", runId);
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

std::optional<std::pair<std::string, bool>> BoardStore::lockPlayer(pqxx::transaction_base& work, int64_t playerId) {
    pqxx::result rows = work.exec_prepared("player_lock", playerId);
    if (rows.empty()) {
        return std::nullopt;
    }
    return std::make_pair(rows[0][0].as<std::string>(), rows[0][1].as<bool>());
}

std::optional<BoardStore::LockedRun> BoardStore::lockRun(pqxx::transaction_base& work, int64_t runId) {
    pqxx::result owner = work.exec_prepared("player_of_run", runId);
    if (owner.empty()) {
        return std::nullopt;
    }
    LockedRun run;
    run.playerId = owner[0][0].as<int64_t>();
    lockPlayer(work, run.playerId);
    pqxx::row row = work.exec_prepared1("run_lock", runId);
    run.hidden = row[0].as<bool>();
    run.name = row[1].as<std::string>();
    return run;
}

void BoardStore::rebuildBests(pqxx::transaction_base& work, int64_t playerId) {
    work.exec_prepared("player_boards_lock", playerId);
    work.exec_prepared("bests_clear", playerId);
    work.exec_prepared("bests_refill", playerId);
}

void BoardStore::audit(pqxx::transaction_base& work, const AuditNote& note, const char* action,
                       std::optional<int64_t> runId, int64_t playerId, const std::string& before,
                       const std::string& after) {
    work.exec_prepared("audit_add", note.by, std::string(action), runId, playerId, before, after, note.reason);
}

BoardStore::Change BoardStore::setHidden(int64_t runId, bool hidden, const AuditNote& note) {
    return with<Change>(primary_, [&](pqxx::connection& connection) {
        pqxx::work work(connection);
        std::optional<LockedRun> run = lockRun(work, runId);
        if (!run) {
            return Change::NotFound;
        }
        if (run->hidden == hidden) {
            return Change::Unchanged;
        }
        work.exec_prepared("run_set_hidden", runId, hidden);
        rebuildBests(work, run->playerId);
        audit(work, note, hidden ? "hide" : "restore", runId, run->playerId, hidden ? "shown" : "hidden",
              hidden ? "hidden" : "shown");
        work.commit();
        return Change::Done;
    });
}

BoardStore::Change BoardStore::setBanned(int64_t playerId, bool banned, const AuditNote& note) {
    return with<Change>(primary_, [&](pqxx::connection& connection) {
        pqxx::work work(connection);
        auto player = lockPlayer(work, playerId);
        if (!player) {
            return Change::NotFound;
        }
        if (player->second == banned) {
            return Change::Unchanged;
        }
        work.exec_prepared("player_set_banned", playerId, banned);
        rebuildBests(work, playerId);
        audit(work, note, banned ? "ban" : "unban", std::nullopt, playerId, banned ? "allowed" : "banned",
              banned ? "banned" : "allowed");
        work.commit();
        return Change::Done;
    });
}

BoardStore::Change BoardStore::rename(int64_t runId, const std::string& name, const AuditNote& note,
                                      std::string& before) {
    return with<Change>(primary_, [&](pqxx::connection& connection) {
        pqxx::work work(connection);
        std::optional<LockedRun> run = lockRun(work, runId);
        if (!run) {
            return Change::NotFound;
        }
        before = run->name;
        if (before == name) {
            return Change::Unchanged;
        }
        work.exec_prepared("run_rename", runId, name);
        work.exec_prepared("best_rename", runId, name);
        audit(work, note, "rename", runId, run->playerId, before, name);
        work.commit();
        return Change::Done;
    });
}

std::optional<int64_t> BoardStore::playerOfRun(int64_t runId) {
    return with<std::optional<int64_t>>(primary_, [&](pqxx::connection& connection) -> std::optional<int64_t> {
        pqxx::read_transaction work(connection);
        pqxx::result rows = work.exec_prepared("player_of_run", runId);
        if (rows.empty()) {
            return std::nullopt;
        }
        return rows[0][0].as<int64_t>();
    });
}

std::vector<int64_t> BoardStore::playersByPrefix(const std::string& prefix) {
    return with<std::vector<int64_t>>(primary_, [&](pqxx::connection& connection) {
        pqxx::read_transaction work(connection);
        std::vector<int64_t> players;
        for (const auto& row : work.exec_prepared("players_by_prefix", prefix)) {
            players.push_back(row[0].as<int64_t>());
        }
        return players;
    });
}

std::optional<PlayerRuns> BoardStore::playerRuns(int64_t playerId) {
    return with<std::optional<PlayerRuns>>(primary_, [&](pqxx::connection& connection) -> std::optional<PlayerRuns> {
        pqxx::work work(connection);
        auto player = lockPlayer(work, playerId);
        if (!player) {
            return std::nullopt;
        }
        PlayerRuns list;
        list.keyHash = player->first;
        list.banned = player->second;
        for (const auto& row : work.exec_prepared("player_runs", playerId)) {
            PlayerRun run;
            run.runId = row[0].as<int64_t>();
            run.mode = row[1].as<std::string>();
            run.difficulty = row[2].as<std::string>();
            run.score = row[3].as<double>();
            run.date = row[4].as<std::string>();
            run.name = row[5].as<std::string>();
            run.hidden = row[6].as<bool>();
            run.onBoard = row[7].as<bool>();
            list.runs.push_back(std::move(run));
        }
        work.commit();
        return list;
    });
}

std::vector<AuditEntry> BoardStore::recentAudit(int limit) {
    return with<std::vector<AuditEntry>>(primary_, [&](pqxx::connection& connection) {
        pqxx::read_transaction work(connection);
        std::vector<AuditEntry> entries;
        for (const auto& row : work.exec_prepared("audit_recent", limit)) {
            AuditEntry entry;
            entry.id = row[0].as<int64_t>();
            entry.at = row[1].as<std::string>();
            entry.by = row[2].as<std::string>();
            entry.action = row[3].as<std::string>();
            entry.runId = row[4].is_null() ? 0 : row[4].as<int64_t>();
            entry.keyHash = row[5].is_null() ? "" : row[5].as<std::string>();
            entry.before = row[6].as<std::string>();
            entry.after = row[7].as<std::string>();
            entry.reason = row[8].as<std::string>();
            entries.push_back(std::move(entry));
        }
        return entries;
    });
}

void BoardStore::onPrimary(const std::function<void(pqxx::connection&)>& query) {
    with<bool>(primary_, [&](pqxx::connection& connection) {
        query(connection);
        return true;
    });
}

void BoardStore::onReader(const std::function<void(pqxx::connection&)>& query, bool& fromReplica) {
    read<bool>(
        [&](pqxx::connection& connection) {
            query(connection);
            return true;
        },
        fromReplica);
}

int64_t BoardStore::rankOn(pqxx::transaction_base& work, const std::string& mode, const std::string& difficulty,
                           const std::string& season, double score, int64_t runId) {
    return work.exec_prepared1("rank_of", mode, difficulty, score, runId, season)[0].as<int64_t>();
}

int64_t BoardStore::totalOn(pqxx::transaction_base& work, const std::string& mode, const std::string& difficulty,
                            const std::string& season) {
    return work.exec_prepared1("board_total", mode, difficulty, season)[0].as<int64_t>();
}

bool BoardStore::primaryReachable() {
    try {
        return with<bool>(primary_, [](pqxx::connection& connection) {
            pqxx::nontransaction work(connection);
            work.exec_prepared("ping");
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
            work.exec_prepared("ping");
            return true;
        });
    } catch (const DatabaseUnavailable&) {
        return false;
    }
}
