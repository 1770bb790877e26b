-- Weekly seasons. A run keeps the ISO week (UTC, from Monday 00:00) it was submitted in,
-- named as the API names it ("2026-W50"); runs stored before this take the week of their
-- submission time.
ALTER TABLE runs ADD COLUMN week text;
UPDATE runs SET week = to_char(created_at AT TIME ZONE 'UTC', 'IYYY-"W"IW');
ALTER TABLE runs ALTER COLUMN week SET NOT NULL;

-- best_runs holds a player's best per board and season: the season 'all' (every row it
-- held so far) and one per week the player ran in. The ranking index serves each
-- season's top N and a score's rank in it alone.
ALTER TABLE best_runs ADD COLUMN season text NOT NULL DEFAULT 'all';
ALTER TABLE best_runs ALTER COLUMN season DROP DEFAULT;
ALTER TABLE best_runs DROP CONSTRAINT best_runs_pkey;
ALTER TABLE best_runs ADD PRIMARY KEY (mode, difficulty, season, player_id);
DROP INDEX best_runs_ranking;
CREATE INDEX best_runs_ranking ON best_runs (mode, difficulty, season, score DESC, run_id)
    INCLUDE (name, distance, created_at);
-- A player's rows, for the rebuild after an operator's change, and a run's, for its summary.
CREATE INDEX best_runs_player ON best_runs (player_id);
CREATE INDEX best_runs_run ON best_runs (run_id);

INSERT INTO best_runs (mode, difficulty, season, player_id, run_id, name, score, distance, created_at)
SELECT DISTINCT ON (r.mode, r.difficulty, r.week, r.player_id)
    r.mode, r.difficulty, r.week, r.player_id, r.id, r.name, r.score, r.distance, r.created_at
FROM runs r JOIN players p ON p.id = r.player_id
WHERE NOT r.hidden AND NOT p.banned
ORDER BY r.mode, r.difficulty, r.week, r.player_id, r.score DESC, r.id;
