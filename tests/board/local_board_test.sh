#!/usr/bin/env bash
# The README's local board: scripts/board.sh starts PostgreSQL in a folder of its own and
# the service on 127.0.0.1, hands out a token, and one TERM stops both, whatever moment it
# comes at: while the cluster is made, once it runs, and with the service idle.
set -euo pipefail
root="$1"
source "$root/scripts/lib/common.sh"
home="$(mktemp -d)"
# The server's own account (when the test runs as root) must reach the cluster below it.
chmod 755 "$home"
board=""
cleanup() {
  [ -z "$board" ] || { kill -TERM "$board" 2>/dev/null || true; wait "$board" 2>/dev/null || true; }
  rm -rf "$home"
}
trap cleanup EXIT

cluster_made() { [ -d "$home/board/postgres/data" ]; }
cluster_up() { [ -e "$home/board/postgres/data/postmaster.pid" ]; }
serving() {
  curl -sf "http://127.0.0.1:$port/v1/health" | grep -q '"status":"ok"' &&
    curl -sf -X POST -d '{"mode":"random","difficulty":"easy"}' "http://127.0.0.1:$port/v1/runs/start" | grep -q '"token"'
}
script_ended() { ! kill -0 "$board" 2>/dev/null; }
# Nothing it started runs on: no process names the board's folder (the cluster's server,
# the service with its secret there).
nothing_left() { ! pgrep -f -- "$home/board" >/dev/null && ! cluster_up; }

# moment: the condition to wait for before the one TERM
rows=(cluster_made cluster_up serving)
for moment in "${rows[@]}"; do
  port="$(tamq_free_port)"
  log="$home/$moment.log"
  TAMQ_BOARD_HOME="$home/board" TAMQ_BOARD_LISTEN="127.0.0.1:$port" "$root/scripts/board.sh" >"$log" 2>&1 &
  board=$!
  if ! tamq_poll 300 "$moment"; then
    echo "$moment: never came"; cat "$log"; exit 1
  fi
  kill -TERM "$board"
  if ! tamq_poll 120 script_ended; then
    echo "$moment: one TERM did not stop scripts/board.sh"; cat "$log"; exit 1
  fi
  board=""
  if ! tamq_poll 30 nothing_left; then
    echo "$moment: left running after one TERM:"; pgrep -af -- "$home/board"; cat "$log"; exit 1
  fi
  echo "$moment: one TERM stopped the board and its cluster"
done
# Each start after the first found its cluster and secret and served the same database.
[ -S "$home/board/postgres/.s.PGSQL.5432" ] || [ -f "$home/board/secret" ]
