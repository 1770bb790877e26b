#!/usr/bin/env bash
# A throwaway board for the tests that drive a game against one: a PostgreSQL cluster of
# its own (scripts/lib/postgres.sh) and the real tamq-board on a free port of 127.0.0.1,
# everything in one folder the caller gives. Sourced.
#
#   test_board_start FOLDER BOARD_EXE [OPTION...]   the cluster in FOLDER/postgres and the
#                      service, with the game's data/ and a secret of its own; returns once
#                      it answers /v1/health, and sets test_board_url (http://127.0.0.1:PORT)
#                      and test_board_pid. Options go to tamq-board.
#   test_board_stop    stops the service and its cluster; callers put it in their EXIT trap
#
# The packages come from tamq_install_board_deps (scripts/lib/deps.sh).
source "$(dirname "${BASH_SOURCE[0]}")/postgres.sh"

test_board_url=""
test_board_pid=""
test_board_folder=""

test_board_healthy() {
  kill -0 "$test_board_pid" 2>/dev/null || return 0
  curl -sf --max-time 2 "$test_board_url/v1/health" 2>/dev/null | grep -q '"status":"ok"'
}

test_board_named_port() { grep -q "listening on 127.0.0.1:" "$test_board_folder/board.log" 2>/dev/null; }

test_board_start() {
  local folder="$1" exe="$2"
  shift 2
  mkdir -p "$folder/postgres"
  folder="$(cd "$folder" && pwd)"
  test_board_folder="$folder"
  # The server's own account (when the test runs as root) must reach the cluster below it.
  chmod 755 "$folder"
  tamq_pg_init "$folder/postgres" || return 1
  tamq_pg_start "$folder/postgres" || return 1
  tamq_pg_createdb "$folder/postgres" board || return 1
  (umask 077 && head -c 48 /dev/urandom | base64 -w0 >"$folder/secret")
  # Port 0: the service takes a free one and names it on its first line.
  (cd "$TAMQ_ROOT" && exec "$exe" --listen 127.0.0.1:0 --database "$(tamq_pg_conninfo "$folder/postgres" board)" \
    --secret-file "$folder/secret" --data "$TAMQ_ROOT/data" "$@") >"$folder/board.log" 2>&1 &
  test_board_pid=$!
  if ! tamq_poll 60 test_board_named_port; then
    echo "tamq-board named no port:" >&2
    cat "$folder/board.log" >&2
    return 1
  fi
  test_board_url="http://$(grep -o -m1 '127\.0\.0\.1:[0-9]*' "$folder/board.log")"
  tamq_poll 60 test_board_healthy
  if ! kill -0 "$test_board_pid" 2>/dev/null || ! test_board_healthy; then
    echo "tamq-board did not answer at $test_board_url:" >&2
    cat "$folder/board.log" >&2
    return 1
  fi
}

test_board_stop() {
  if [ -n "$test_board_pid" ]; then
    kill -TERM "$test_board_pid" 2>/dev/null || true
    wait "$test_board_pid" 2>/dev/null || true
    test_board_pid=""
  fi
  if [ -n "$test_board_folder" ]; then
    tamq_pg_stop "$test_board_folder/postgres" || true
    test_board_folder=""
  fi
}
