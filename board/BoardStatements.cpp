#include "BoardStatements.h"

#include <pqxx/pqxx>

#include <string>

namespace {

// Dates are shown in UTC to the second, ISO 8601.
#define TAMQ_UTC_DATE(column) "to_char(" column " AT TIME ZONE 'UTC', 'YYYY-MM-DD\"T\"HH24:MI:SS\"Z\"')"

// The columns best_runs copies from a run.
#define TAMQ_BEST_COLUMNS "mode, difficulty, season, player_id, run_id, name, score, distance, created_at"

// A run's rows in best_runs come from runs r joined with this: the seasons it counts in,
// all time and the week it was submitted in, or a daily road's day alone.
#define TAMQ_RUN_SEASONS \
    " CROSS JOIN LATERAL unnest(CASE WHEN r.day IS NULL THEN ARRAY['all', r.week] ELSE ARRAY[r.day] END) " \
    "AS s(season) "

// The place a run's score takes on a season's table of its board (ties go to the earlier
// run), when the run is on that table; null when it is not. board_rank reads the kept
// counts (migration 004): its cost does not grow with the rank.
#define TAMQ_RANK_IN(season) \
    "CASE WHEN EXISTS (SELECT 1 FROM best_runs o WHERE o.run_id = r.id AND o.season = " season ") THEN " \
    "board_rank(r.mode, r.difficulty, " season ", r.score, r.id) END"

// A best_runs row's player's public id, for rows read from the ranking index alone.
#define TAMQ_PUBLIC_ID(player) "(SELECT public_id FROM players WHERE id = " player ")"

struct Statement {
    const char* name;
    const char* sql;
};

// A run counts on its board when it is not hidden and its player is not banned. A
// player's best on a board is the highest score; a tie keeps the older run.
const Statement kStatements[] = {
    // The health call.
    {"ping", "SELECT 1"},

    // Submissions.
    {"token_spent", "SELECT 1 FROM runs WHERE token_id = $1"},
    // The run a token was spent on, when the same player sent the same record: a resend
    // whose first answer was lost on the way.
    {"token_resent",
     "SELECT r.id, r.mode, r.difficulty, r.score, r.distance, r.ticks, r.week, "
     "EXISTS (SELECT 1 FROM best_runs b WHERE b.run_id = r.id AND b.season = 'all'), "
     "EXISTS (SELECT 1 FROM best_runs b WHERE b.run_id = r.id AND b.season = r.week), r.day, "
     "EXISTS (SELECT 1 FROM best_runs b WHERE b.run_id = r.id AND b.season = r.day) "
     "FROM runs r JOIN players p ON p.id = r.player_id "
     "WHERE r.token_id = $1 AND p.key_hash = $2 AND r.record = $3"},
    {"player_banned", "SELECT banned FROM players WHERE key_hash = $1"},
    // Also locks the player's row until the run is stored, as the admin command does
    // before it changes the player's bests.
    // The public id ($2) is written with the player's first run, and on a later one when
    // the player has none yet; an id some other key already has (a 64-bit collision) is left
    // unwritten rather than refusing the run.
    {"player_upsert",
     "INSERT INTO players AS p (key_hash, public_id) VALUES ($1, "
     "CASE WHEN EXISTS (SELECT 1 FROM players o WHERE o.public_id = $2) THEN NULL ELSE nullif($2, '') END) "
     "ON CONFLICT (key_hash) DO UPDATE SET public_id = coalesce(p.public_id, excluded.public_id) RETURNING id"},
    {"run_insert",
     "INSERT INTO runs (player_id, mode, difficulty, name, score, distance, ticks, seed, content_hash, token_id, "
     "record, created_at, week, day) VALUES ($1, $2, $3, $4, $5, $6, $7, $8, $9, $10, $11, "
     "to_timestamp($12::double precision / 1000), $13, $14) RETURNING id"},
    // Replaces the player's best of each season only when the run beats it; answers the
    // seasons where it did.
    {"best_offer",
     "INSERT INTO best_runs AS best (" TAMQ_BEST_COLUMNS ") "
     "SELECT r.mode, r.difficulty, s.season, r.player_id, r.id, r.name, r.score, r.distance, r.created_at "
     "FROM runs r JOIN players p ON p.id = r.player_id" TAMQ_RUN_SEASONS
     "WHERE r.id = $1 AND NOT r.hidden AND NOT p.banned "
     "ON CONFLICT (mode, difficulty, season, player_id) DO UPDATE SET "
     "run_id = excluded.run_id, name = excluded.name, score = excluded.score, "
     "distance = excluded.distance, created_at = excluded.created_at "
     "WHERE excluded.score > best.score RETURNING season"},
    {"rank_of", "SELECT board_rank($1, $2, $5, $3, $4)"},
    // Writers of a board's bests take its lock first, the admin command each board of the
    // player in one order: the kept counts' rows (migration 004) are then always taken by
    // one writer of a board at a time, never in two orders by two.
    {"board_lock", "SELECT pg_advisory_xact_lock(hashtext('board|' || $1 || '|' || $2))"},
    {"player_boards_lock",
     "SELECT pg_advisory_xact_lock(hashtext('board|' || b.mode || '|' || b.difficulty)) FROM "
     "(SELECT DISTINCT mode, difficulty FROM runs WHERE player_id = $1 ORDER BY 1, 2) b"},

    // Board reads.
    // The page's rows come from the ranking index alone; only they are joined to their players.
    {"board_page",
     "SELECT t.name, t.score, t.distance, " TAMQ_UTC_DATE("t.created_at") ", t.run_id, p.public_id FROM "
     "(SELECT name, score, distance, created_at, run_id FROM best_runs "
     "WHERE mode = $1 AND difficulty = $2 AND season = $5 ORDER BY score DESC, run_id LIMIT $3 OFFSET $4) t "
     "JOIN runs r ON r.id = t.run_id JOIN players p ON p.id = r.player_id ORDER BY t.score DESC, t.run_id"},
    // A run's summary with its places on all time, on its week and on its day, and those
    // tables' sizes; nothing for a hidden run or a banned player's.
    {"run_summary",
     "SELECT r.mode, r.difficulty, r.name, r.score, r.distance, " TAMQ_UTC_DATE("r.created_at") ", r.week, "
     TAMQ_RANK_IN("'all'") ", " TAMQ_RANK_IN("r.week") ", r.day, " TAMQ_RANK_IN("r.day") ", "
     "board_total(r.mode, r.difficulty, 'all'), board_total(r.mode, r.difficulty, r.week), "
     "board_total(r.mode, r.difficulty, r.day), p.public_id "
     "FROM runs r JOIN players p ON p.id = r.player_id WHERE r.id = $1 AND NOT r.hidden AND NOT p.banned"},

    // The rows around a row of a table, walking the ranking index either way from it.
    {"around_run",
     "SELECT score, run_id FROM best_runs WHERE run_id = $1::bigint AND mode = $2 AND difficulty = $3 AND season = $4"},
    {"around_player",
     "SELECT score, run_id FROM best_runs "
     "WHERE player_id = (SELECT id FROM players WHERE public_id = $1 AND NOT banned) "
     "AND mode = $2 AND difficulty = $3 AND season = $4"},
    {"around_above",
     "SELECT name, score, distance, " TAMQ_UTC_DATE("created_at") ", run_id, " TAMQ_PUBLIC_ID("player_id")
     " FROM best_runs "
     "WHERE mode = $1 AND difficulty = $2 AND season = $3 AND score >= $4 AND (score > $4 OR run_id < $5) "
     "ORDER BY score, run_id DESC LIMIT $6"},
    {"around_below",
     "SELECT name, score, distance, " TAMQ_UTC_DATE("created_at") ", run_id, " TAMQ_PUBLIC_ID("player_id")
     " FROM best_runs "
     "WHERE mode = $1 AND difficulty = $2 AND season = $3 AND score <= $4 AND (score < $4 OR run_id > $5) "
     "ORDER BY score DESC, run_id LIMIT $6"},
    {"board_total", "SELECT board_total($1, $2, $3)"},
    {"run_record",
     "SELECT r.record FROM runs r JOIN players p ON p.id = r.player_id "
     "WHERE r.id = $1 AND NOT r.hidden AND NOT p.banned"},

    // The admin command. A change locks the player's row first, then works out the
    // player's bests again from the runs that still count.
    {"player_of_run", "SELECT player_id FROM runs WHERE id = $1"},
    {"players_by_prefix",
     "SELECT id FROM players WHERE left(encode(key_hash, 'hex'), length($1)) = $1 ORDER BY id LIMIT 2"},
    {"player_lock", "SELECT encode(key_hash, 'hex'), banned FROM players WHERE id = $1 FOR UPDATE"},
    {"run_lock", "SELECT hidden, name FROM runs WHERE id = $1 FOR UPDATE"},
    {"run_set_hidden", "UPDATE runs SET hidden = $2 WHERE id = $1"},
    {"player_set_banned", "UPDATE players SET banned = $2 WHERE id = $1"},
    {"run_rename", "UPDATE runs SET name = $2 WHERE id = $1"},
    {"best_rename", "UPDATE best_runs SET name = $2 WHERE run_id = $1"},
    {"bests_clear", "DELETE FROM best_runs WHERE player_id = $1"},
    {"bests_refill",
     "INSERT INTO best_runs (" TAMQ_BEST_COLUMNS ") "
     "SELECT DISTINCT ON (r.mode, r.difficulty, s.season) r.mode, r.difficulty, s.season, r.player_id, r.id, "
     "r.name, r.score, r.distance, r.created_at FROM runs r JOIN players p ON p.id = r.player_id" TAMQ_RUN_SEASONS
     "WHERE r.player_id = $1 AND NOT r.hidden AND NOT p.banned "
     "ORDER BY r.mode, r.difficulty, s.season, r.score DESC, r.id"},
    {"player_runs",
     "SELECT r.id, r.mode, r.difficulty, r.score, " TAMQ_UTC_DATE("r.created_at") ", r.name, r.hidden, "
     "EXISTS (SELECT 1 FROM best_runs b WHERE b.run_id = r.id AND b.season = 'all') FROM runs r "
     "WHERE r.player_id = $1 ORDER BY r.id"},
    {"audit_add",
     "INSERT INTO audit (operator, action, run_id, player_id, before, after, reason) "
     "VALUES ($1, $2, $3, $4, $5, $6, $7)"},
    {"audit_recent",
     "SELECT a.id, " TAMQ_UTC_DATE("a.at") ", a.operator, a.action, a.run_id, encode(p.key_hash, 'hex'), "
     "a.before, a.after, a.reason FROM audit a LEFT JOIN players p ON p.id = a.player_id "
     "ORDER BY a.at DESC, a.id DESC LIMIT $1"},

    // Players' pages (PlayerPages). Players stored before public ids existed get theirs
    // when the service starts, a batch at a time in the order of their rows.
    {"player_ids_missing",
     "SELECT id, key_hash FROM players WHERE public_id IS NULL AND id > $1 ORDER BY id LIMIT $2"},
    {"player_id_set",
     "UPDATE players SET public_id = $2 WHERE id = $1 AND public_id IS NULL "
     "AND NOT EXISTS (SELECT 1 FROM players o WHERE o.public_id = $2)"},
    {"player_by_public", "SELECT id, banned FROM players WHERE public_id = $1"},
    // The player's rows on the seasons asked for ($2, $3 beside all time), by the player index.
    {"player_bests",
     "SELECT mode, difficulty, season, run_id, score, distance, " TAMQ_UTC_DATE("created_at") " FROM best_runs "
     "WHERE player_id = $1 AND season IN ('all', $2, $3) ORDER BY mode, difficulty, season"},
    // The newest runs that count, walking the player's end of runs_player_latest backwards;
    // the last column is the day a daily road's run counts on.
    {"player_latest",
     "SELECT r.id, r.mode, r.difficulty, r.score, r.distance, " TAMQ_UTC_DATE("r.created_at") ", r.name, "
     "r.day FROM runs r WHERE r.player_id = $1 AND NOT r.hidden ORDER BY r.id DESC LIMIT $2"},
};

#undef TAMQ_UTC_DATE
#undef TAMQ_BEST_COLUMNS
#undef TAMQ_RUN_SEASONS
#undef TAMQ_RANK_IN
#undef TAMQ_PUBLIC_ID

}  // namespace

void BoardStatements::prepare(pqxx::connection_base& connection) {
    for (const Statement& statement : kStatements) {
        connection.prepare(statement.name, statement.sql);
    }
}
