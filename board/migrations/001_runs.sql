-- A player is known only by the hash of the secret key the game makes once per install.
CREATE TABLE players (
    id bigserial PRIMARY KEY,
    key_hash bytea NOT NULL UNIQUE,
    created_at timestamptz NOT NULL DEFAULT now()
);

-- Every verified run with its record; a token is spent by the run that used it, so a
-- second submission with the same token fails on the unique index.
CREATE TABLE runs (
    id bigserial PRIMARY KEY,
    player_id bigint NOT NULL REFERENCES players (id),
    mode text NOT NULL,
    difficulty text NOT NULL,
    name text NOT NULL,
    score double precision NOT NULL,
    distance double precision NOT NULL,
    ticks integer NOT NULL,
    seed bigint NOT NULL,
    content_hash bigint NOT NULL,
    token_id text NOT NULL UNIQUE,
    record bytea NOT NULL,
    created_at timestamptz NOT NULL DEFAULT now()
);
CREATE INDEX runs_player ON runs (player_id);

-- The board itself: one row per player and board, the best run so far. Its index gives
-- a board's top N by walking the first N entries, and a score's rank by counting those
-- above it without touching the runs.
CREATE TABLE best_runs (
    mode text NOT NULL,
    difficulty text NOT NULL,
    player_id bigint NOT NULL REFERENCES players (id),
    run_id bigint NOT NULL REFERENCES runs (id),
    name text NOT NULL,
    score double precision NOT NULL,
    distance double precision NOT NULL,
    created_at timestamptz NOT NULL,
    PRIMARY KEY (mode, difficulty, player_id)
);
CREATE INDEX best_runs_ranking ON best_runs (mode, difficulty, score DESC, run_id)
    INCLUDE (name, distance, created_at);
