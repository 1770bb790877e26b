#!/usr/bin/env bash
# The README's local board: scripts/board.sh starts PostgreSQL in a folder of its own and
# the service on 127.0.0.1, hands out a token, and on TERM stops both.
set -euo pipefail
root="$1"
source "$root/scripts/lib/common.sh"
home="$(mktemp -d)"
# The server's own account (when the test runs as root) must reach the cluster below it.
chmod 755 "$home"
port="$(( 20000 + RANDOM % 20000 ))"
log="$home/board.log"
TAMQ_BOARD_HOME="$home/board" TAMQ_BOARD_LISTEN="127.0.0.1:$port" "$root/scripts/board.sh" >"$log" 2>&1 &
board=$!
cleanup() {
  kill -TERM "$board" 2>/dev/null || true
  wait "$board" 2>/dev/null || true
  rm -rf "$home"
}
trap cleanup EXIT
healthy() {
  kill -0 "$board" || { cat "$log"; exit 1; }
  curl -sf "http://127.0.0.1:$port/v1/health" | grep -q '"status":"ok"'; }
tamq_poll 300 healthy || { cat "$log"; exit 1; }
curl -sf -X POST -d '{"mode":"random","difficulty":"easy"}' "http://127.0.0.1:$port/v1/runs/start" | grep -q '"token"'
[ -S "$home/board/postgres/.s.PGSQL.5432" ]
kill -TERM "$board"
wait "$board" || true
stopped() { [ ! -e "$home/board/postgres/data/postmaster.pid" ]; }
tamq_poll 60 stopped || { echo "the cluster is still running"; cat "$log"; exit 1; }
echo "local board started, served a token and stopped"
