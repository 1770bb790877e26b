#!/usr/bin/env bash
# Starts a local board on this machine: installs what is missing (PostgreSQL 15 and the
# service's libraries), builds tamq-board, keeps a PostgreSQL cluster of its own in
# TAMQ_BOARD_HOME (by default ~/.local/share/tamq4pelrok/board, or /var/lib/tamq4pelrok/board
# for root, whose server runs as "postgres"; reached only through a Unix socket there), creates the database and a secret the first time, and serves on
# 127.0.0.1 until Ctrl+C, which stops the cluster too.
#   scripts/board.sh                    on 127.0.0.1:8080
#   TAMQ_BOARD_LISTEN=127.0.0.1:9000 scripts/board.sh --allow-origins http://localhost:8000
# Further options go to tamq-board (see build/board/tamq-board --help).
set -euo pipefail
source "$(dirname "$0")/env.sh"
source "$TAMQ_ROOT/scripts/lib/postgres.sh"
# Every argument is the service's, which checks them itself once it is built.
tamq_arguments_checked

if [ "$(id -u)" -eq 0 ]; then
  home="${TAMQ_BOARD_HOME:-/var/lib/tamq4pelrok/board}"
else
  home="${TAMQ_BOARD_HOME:-${XDG_DATA_HOME:-$HOME/.local/share}/tamq4pelrok/board}"
fi

tamq_install_play_deps
tamq_install_board_deps
tamq_step "Building tamq-board"
if [ ! -f "$(tamq_build_dir default)/CMakeCache.txt" ]; then
  tamq_configure default -DTAMQ_WERROR="$TAMQ_WERROR"
fi
tamq_build default tamq-board

mkdir -p "$home"
cluster="$home/postgres"
if [ ! -d "$cluster/data" ]; then
  tamq_step "Creating the board's PostgreSQL cluster in $cluster"
  mkdir -p "$cluster"
  tamq_pg_init "$cluster"
fi
if [ ! -f "$home/secret" ]; then
  (umask 077 && head -c 48 /dev/urandom | base64 -w0 >"$home/secret")
fi
tamq_step "Starting PostgreSQL"
tamq_pg_start "$cluster"
trap 'tamq_pg_stop "$cluster"' EXIT
tamq_pg_createdb "$cluster" board

tamq_step "Serving the board on ${TAMQ_BOARD_LISTEN:-127.0.0.1:8080} (Ctrl+C stops it)"
cd "$TAMQ_ROOT"
# In the background, so that a TERM to this script reaches the service too.
"$(tamq_build_dir default)/board/tamq-board" \
  --database "$(tamq_pg_conninfo "$cluster" board)" \
  --secret-file "$home/secret" \
  --data "$TAMQ_ROOT/data" \
  --listen "${TAMQ_BOARD_LISTEN:-127.0.0.1:8080}" "$@" &
service=$!
trap 'kill -TERM "$service" 2>/dev/null || true' INT TERM
status=0
wait "$service" || status=$?
# A signal interrupts the first wait; the second waits for the service to finish.
wait "$service" 2>/dev/null || true
exit "$status"
