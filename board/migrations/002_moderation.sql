-- Operators' moderation (tamq-board admin). A hidden run keeps its row, record and score
-- as evidence but leaves the board; a banned player's runs leave it too, and the player
-- may submit no more. best_runs holds only runs that are neither.
ALTER TABLE runs ADD COLUMN hidden boolean NOT NULL DEFAULT false;
ALTER TABLE players ADD COLUMN banned boolean NOT NULL DEFAULT false;

-- Every operator's change, written in the transaction of the change itself: who, when,
-- what, to which run or player, the value before and after, and why. The ids bind to no
-- key on purpose: the audit outlasts whatever it names.
CREATE TABLE audit (
    id bigserial PRIMARY KEY,
    at timestamptz NOT NULL DEFAULT now(),
    operator text NOT NULL,
    action text NOT NULL,
    run_id bigint,
    player_id bigint,
    before text NOT NULL,
    after text NOT NULL,
    reason text NOT NULL
);
CREATE INDEX audit_at ON audit (at DESC, id DESC);
