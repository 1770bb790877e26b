-- Runs written straight into the board's tables as the service stores them, for figures
-- and tests that need more runs than can be played: :count new players, each with one
-- normal/hard run named :'tag' and its number, scoring :top minus its number, submitted
-- :'age' ago (an interval), with a small record; each run is its player's best of all
-- time and of its week.
--   psql -v tag=P -v count=1000 -v top=100000 -v age='0 days' -f board-seed.sql
WITH new_players AS (
    INSERT INTO players (key_hash)
    SELECT sha256(convert_to(:'tag' || g || '-' || clock_timestamp(), 'UTF8')) FROM generate_series(1, :count) AS g
    RETURNING id
), numbered AS (
    SELECT id, row_number() OVER (ORDER BY id) AS n, now() - :'age'::interval AS at FROM new_players
), new_runs AS (
    INSERT INTO runs (player_id, mode, difficulty, name, score, distance, ticks, seed, content_hash, token_id, record,
                      created_at, week)
    SELECT id, 'normal', 'hard', :'tag' || n, :top - n, n * 3, 43200, n, 0, md5(:'tag' || id::text),
           decode(repeat('ab', 200), 'hex'), at, to_char(at AT TIME ZONE 'UTC', 'IYYY-"W"IW')
    FROM numbered
    RETURNING *
)
INSERT INTO best_runs (mode, difficulty, season, player_id, run_id, name, score, distance, created_at)
SELECT mode, difficulty, s.season, player_id, id, name, score, distance, created_at
FROM new_runs CROSS JOIN LATERAL (VALUES ('all'), (week)) AS s (season);
