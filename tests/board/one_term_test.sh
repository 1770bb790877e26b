#!/usr/bin/env bash
# The README's one commands: scripts/board.sh (PostgreSQL in a folder of its own and the
# service on 127.0.0.1) and scripts/board-stack.sh (primary and synchronous standby, two
# instances, nginx with a throwaway certificate) each serve a token at the address they
# say, and one TERM stops everything they started, whatever moment it comes at.
#   one_term_test.sh ROOT board|stack
set -euo pipefail
root="$1" which="$2"
source "$root/scripts/lib/common.sh"
work="$(mktemp -d)"
# The server's own account (when the test runs as root) must reach the clusters below it.
chmod 755 "$work"
running=""
cleanup() {
  [ -z "$running" ] || { kill -TERM "$running" 2>/dev/null || true; wait "$running" 2>/dev/null || true; }
  rm -rf "$work"
}
trap cleanup EXIT

gives_a_token() {
  curl -sf "$@/v1/health" | grep -q '"database":"up"' &&
    curl -sf -X POST -d '{"mode":"random","difficulty":"easy"}' "${@:1:$#-1}" "${*: -1}/v1/runs/start" | grep -q '"token"'
}
# Moments of either: its cluster made, its cluster started.
cluster_made() { [ -d "$home/postgres/data" ]; }
cluster_up() { [ -e "$home/postgres/data/postmaster.pid" ]; }
# Of scripts/board.sh.
serving_board() { gives_a_token "http://127.0.0.1:$port"; }
# Of scripts/board-stack.sh: the standby being copied, the instances starting, the game's
# address printed.
standby_copying() { [ -d "$home/standby" ]; }
instances_starting() { [ -e "$home/board-1.log" ]; }
serving_stack() {
  local address ca
  address="$(grep -o 'board https://127.0.0.1:[0-9]*' "$log" | cut -d' ' -f2)" || return 1
  ca="$(grep -o 'board-ca [^ ]*' "$log" | cut -d' ' -f2)"
  gives_a_token --cacert "$ca" "$address"
}

case "$which" in
  board) rows=(cluster_made cluster_up serving_board) ;;
  stack) rows=(cluster_up standby_copying instances_starting serving_stack) ;;
esac
ended() { ! kill -0 "$running" 2>/dev/null; }
# No process names the folder (the clusters' servers, the services with their secret
# there, nginx's master), and nginx's master, whose workers go with it, has gone.
nothing_left() {
  ! pgrep -f -- "$home" >/dev/null && ! cluster_up &&
    { [ ! -f "$home/edge/nginx.pid" ] || ! kill -0 "$(cat "$home/edge/nginx.pid")" 2>/dev/null; }
}

for moment in "${rows[@]}"; do
  home="$work/$moment"
  log="$work/$moment.log"
  port="$(tamq_free_port)"
  if [ "$which" = board ]; then
    TAMQ_BOARD_HOME="$home" TAMQ_BOARD_LISTEN="127.0.0.1:$port" "$root/scripts/board.sh" >"$log" 2>&1 &
  else
    TAMQ_BOARD_STACK_HOME="$home" "$root/scripts/board-stack.sh" >"$log" 2>&1 &
  fi
  running=$!
  if ! tamq_poll 300 "$moment"; then
    echo "$moment: never came"; cat "$log"; exit 1
  fi
  kill -TERM "$running"
  if ! tamq_poll 120 ended; then
    echo "$moment: one TERM did not stop scripts/$which.sh"; cat "$log"; exit 1
  fi
  running=""
  if ! tamq_poll 30 nothing_left; then
    echo "$moment: left running after one TERM:"; pgrep -af -- "$home"; cat "$log"; exit 1
  fi
  echo "$moment: one TERM stopped scripts/$which.sh and everything it started"
done
