-- A player's public id: 16 hex digits of an HMAC of the key hash under the board's secret,
-- which names the player on the board's pages and reveals nothing of the key. Only the
-- service holds the secret, so it writes the id: with the player's first run, and at its
-- start for every player stored before (PlayerPages).
ALTER TABLE players ADD COLUMN public_id text UNIQUE;

-- A player's latest runs, newest first, are the last entries of this index; the admin
-- command's list and the rebuild of a player's bests read it as they read the one it
-- replaces.
CREATE INDEX runs_player_latest ON runs (player_id, id);
DROP INDEX runs_player;
