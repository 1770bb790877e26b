-- Daily roads. A run played on a day's road keeps the UTC date its token was given on
-- ("2026-12-08") and counts on that day's table alone, never on the week's or all time's:
-- the day's road is its own competition. Other runs keep null.
ALTER TABLE runs ADD COLUMN day text;

-- Kept counts of the rows of every table (board and season) in best_runs, so that a
-- score's rank costs the same at the top and the bottom of ten million: the whole score
-- (floor) is counted at five levels, bucket floor(score) >> 6 * level, so the rows above
-- a score are the counts of at most 63 sibling buckets a level (any number at the top
-- level, each 2^24 points wide), plus the rows of its own whole score. Statement
-- triggers keep them in the transaction that changes best_runs, whatever changes it: a
-- submission, an operator's hide, ban or their undoing, a seeded table. Rows that fall
-- to zero stay; they are bounded by the buckets ever used.
CREATE TABLE rank_counts (
    mode text NOT NULL,
    difficulty text NOT NULL,
    season text NOT NULL,
    level smallint NOT NULL,
    bucket bigint NOT NULL,
    runs bigint NOT NULL,
    PRIMARY KEY (mode, difficulty, season, level, bucket)
);

INSERT INTO rank_counts (mode, difficulty, season, level, bucket, runs)
SELECT b.mode, b.difficulty, b.season, l.level, floor(b.score)::bigint >> (6 * l.level), count(*)
FROM best_runs b CROSS JOIN generate_series(0, 4) AS l (level)
GROUP BY 1, 2, 3, 4, 5;

-- One statement a change, its buckets in one order: two transactions changing the same
-- buckets lock them in the same order, and wait for each other rather than deadlock.
CREATE FUNCTION rank_counts_follow() RETURNS trigger LANGUAGE plpgsql AS $follow$
DECLARE
    added text := 'SELECT mode, difficulty, season, score, 1 AS delta FROM new_rows';
    removed text := 'SELECT mode, difficulty, season, score, -1 AS delta FROM old_rows';
    changes text;
BEGIN
    changes := CASE TG_OP WHEN 'INSERT' THEN added WHEN 'DELETE' THEN removed
                          ELSE added || ' UNION ALL ' || removed END;
    EXECUTE 'INSERT INTO rank_counts AS c (mode, difficulty, season, level, bucket, runs) '
        || 'SELECT d.mode, d.difficulty, d.season, l.level, floor(d.score)::bigint >> (6 * l.level), sum(d.delta) '
        || 'FROM (' || changes || ') d CROSS JOIN generate_series(0, 4) AS l (level) '
        || 'GROUP BY 1, 2, 3, 4, 5 HAVING sum(d.delta) <> 0 ORDER BY 1, 2, 3, 4, 5 '
        || 'ON CONFLICT (mode, difficulty, season, level, bucket) DO UPDATE SET runs = c.runs + excluded.runs';
    RETURN NULL;
END
$follow$;

CREATE TRIGGER best_runs_added AFTER INSERT ON best_runs REFERENCING NEW TABLE AS new_rows
    FOR EACH STATEMENT EXECUTE FUNCTION rank_counts_follow();
CREATE TRIGGER best_runs_changed AFTER UPDATE ON best_runs REFERENCING OLD TABLE AS old_rows NEW TABLE AS new_rows
    FOR EACH STATEMENT EXECUTE FUNCTION rank_counts_follow();
CREATE TRIGGER best_runs_removed AFTER DELETE ON best_runs REFERENCING OLD TABLE AS old_rows
    FOR EACH STATEMENT EXECUTE FUNCTION rank_counts_follow();

-- An emptied board (the figures' seeding) leaves no counts behind.
CREATE FUNCTION rank_counts_clear() RETURNS trigger LANGUAGE plpgsql AS $clear$
BEGIN
    TRUNCATE rank_counts;
    RETURN NULL;
END
$clear$;
CREATE TRIGGER best_runs_emptied AFTER TRUNCATE ON best_runs
    FOR EACH STATEMENT EXECUTE FUNCTION rank_counts_clear();

-- The place a score takes on a table (ties go to the earlier run): five reads of at most
-- 63 kept counts each, and the rows sharing its whole score.
CREATE FUNCTION board_rank(p_mode text, p_difficulty text, p_season text, p_score double precision, p_run bigint)
RETURNS bigint LANGUAGE plpgsql STABLE AS $rank$
-- Both ends of each level's range are plain bounds: a plan made once for any level
-- (PL/pgSQL's generic plan) still reads only the range, never every bucket above.
DECLARE
    whole bigint := floor(p_score)::bigint;
    place bigint := 1;
    bucket_of bigint;
    last_sibling bigint;
BEGIN
    FOR lvl IN 0..4 LOOP
        bucket_of := whole >> (6 * lvl);
        last_sibling := CASE WHEN lvl = 4 THEN 9223372036854775807 ELSE bucket_of | 63 END;
        place := place + coalesce((SELECT sum(c.runs) FROM rank_counts c
            WHERE c.mode = p_mode AND c.difficulty = p_difficulty AND c.season = p_season AND c.level = lvl
              AND c.bucket > bucket_of AND c.bucket <= last_sibling), 0);
    END LOOP;
    RETURN place + (SELECT count(*) FROM best_runs b
        WHERE b.mode = p_mode AND b.difficulty = p_difficulty AND b.season = p_season
          AND b.score >= whole AND b.score < whole + 1
          AND (b.score > p_score OR (b.score = p_score AND b.run_id < p_run)));
END
$rank$;

-- The rows of a table: the counts of its top level, a handful.
CREATE FUNCTION board_total(p_mode text, p_difficulty text, p_season text)
RETURNS bigint LANGUAGE sql STABLE AS $total$
    SELECT coalesce(sum(runs), 0)::bigint FROM rank_counts
    WHERE mode = p_mode AND difficulty = p_difficulty AND season = p_season AND level = 4
$total$;
