#!/usr/bin/env bash
# Starts a local board on this machine: installs what is missing (PostgreSQL 15 and the
# service's libraries), builds tamq-board, keeps a PostgreSQL cluster of its own in
# TAMQ_BOARD_HOME (by default ~/.local/share/tamq4pelrok/board, or /var/lib/tamq4pelrok/board
# for root, whose server runs as "postgres"; reached only through a Unix socket there), creates the database and a secret the first time, and serves on
# 127.0.0.1 until Ctrl+C or one TERM, which stops the cluster too, whenever it comes.
#   scripts/board.sh                    on 127.0.0.1:8080
#   TAMQ_BOARD_LISTEN=127.0.0.1:9000 scripts/board.sh --allow-origins http://localhost:8000
# Further options go to tamq-board (see build/board/tamq-board --help). The arrangement of
# a real server (nginx, two instances, a standby database) is scripts/board-stack.sh.
set -euo pipefail
source "$(dirname "$0")/env.sh"
source "$TAMQ_ROOT/scripts/lib/local-board.sh"
# A connection is an open file: the soft limit (often 1024) up to the hard one, so that the
# service's caps (4096 connections) fit; the service says so at start when they still do not.
ulimit -n "$(ulimit -Hn)" 2>/dev/null || true
# Every argument is the service's, which checks them itself once it is built.
tamq_arguments_checked
tamq_stop_on_signal

if [ "$(id -u)" -eq 0 ]; then
  home="${TAMQ_BOARD_HOME:-/var/lib/tamq4pelrok/board}"
else
  home="${TAMQ_BOARD_HOME:-${XDG_DATA_HOME:-$HOME/.local/share}/tamq4pelrok/board}"
fi
service=""
stop_all() {
  board_end "$service"
  tamq_pg_stop "$home/postgres" 2>/dev/null || true
}
# Set before anything starts, so that whatever had started when a stop came is stopped.
trap stop_all EXIT

tamq_install_play_deps
tamq_install_board_deps
board_build
tamq_stop_point

tamq_step "The board's PostgreSQL cluster in $home/postgres"
board_prepare "$home"
tamq_stop_point
board_database_up "$home"
tamq_stop_point

tamq_step "Serving the board on ${TAMQ_BOARD_LISTEN:-127.0.0.1:8080} (Ctrl+C stops it)"
cd "$TAMQ_ROOT"
board_serve "$home/board.log" "$board_exe" \
  --database "$(tamq_pg_conninfo "$home/postgres" board)" \
  --secret-file "$home/secret" \
  --data "$TAMQ_ROOT/data" \
  --listen "${TAMQ_BOARD_LISTEN:-127.0.0.1:8080}" "$@"
service="$board_pid"
echo "Serving on $board_url; its log is $home/board.log"
board_wait_for_stop "$service"
if [ -n "$tamq_stop_asked" ]; then exit 143; fi
# The service ended by itself: its status is the script's.
status=0
wait "$service" || status=$?
service=""
exit "$status"
