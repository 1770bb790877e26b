#!/usr/bin/env bash
# A board of the tests' own on loopback: a PostgreSQL cluster and tamq-board in a folder
# the caller gives, and the slow board (tests/support/slow_proxy.py) in front of it when
# asked. Used by the end-to-end tests of the game against a board and by the figures
# script. Sourced.
#
#   board_start FOLDER BOARD_EXE DATA [PORT]  the cluster (made the first time) and the
#                                  service on 127.0.0.1:PORT (any free port when absent);
#                                  returns once /v1/health answers; sets board_port,
#                                  board_url and board_pid; its output is FOLDER/board.log
#   board_stop                     stops the service (TERM) and waits for it; the cluster
#                                  runs on, so board_start FOLDER ... "$board_port" serves
#                                  the same runs again
#   board_psql FOLDER SQL          one query's answer against the board's database
#   board_proxy_start FOLDER UPSTREAM DELAY|hold
#                                  the slow proxy on a free port: each answer DELAY seconds
#                                  late, or never; sets proxy_port, proxy_url, proxy_pid;
#                                  a line a request in FOLDER/proxy.log
#   board_proxy_stop
#   board_cleanup                  all of them, and the cluster; for the caller's EXIT trap
#
# The steps of a board that scripts/board.sh and scripts/board-stack.sh share:
#   board_build                    builds tamq-board in the default tree (configured the
#                                  first time); sets board_exe
#   board_prepare FOLDER           the cluster FOLDER/postgres and the token secret
#                                  FOLDER/secret, made the first time
#   board_database_up FOLDER [tcp]  the cluster started unless it runs, and database "board";
#                                  with tcp also on a port of 127.0.0.1 (a standby's need)
#   board_standby_up FOLDER        FOLDER/standby, a synchronous standby of FOLDER/postgres
#                                  (started on a port), copied the first time; sets
#                                  board_database, the conninfo naming both
#   board_edge_options             sets board_options to what tells board_exe that nginx,
#                                  from 127.0.0.2 (tamq_edge_start), is its trusted proxy
#                                  (none, for a build that has no such option)
#   board_serve LOG EXE OPTION...  tamq-board in the background (its output appended to
#                                  LOG); returns once it listens and answers /v1/health;
#                                  sets board_pid, board_port, board_url
#   board_end PID...               TERM to each service and waits for them
#   tamq_stop_on_signal            first thing in a script: a TERM or Ctrl+C only asks for a
#                                  stop (tamq_stop_asked); the script then leaves at its
#                                  next tamq_stop_point, or board_wait_for_stop returns, and
#                                  its EXIT trap stops what it started. A signal that comes
#                                  during a step ends that step's wait, never the script
#                                  halfway with children left behind
#   board_wait_for_stop PID...     until a stop is asked or one of the services has ended
#
# The cluster runs as the calling user, or as "postgres" for root: FOLDER and the folders
# above it must let that account through (mktemp -d and chmod 755 do).
source "$(dirname "${BASH_SOURCE[0]}")/postgres.sh"

board_exe=""
board_database=""
board_options=()
board_port=""
board_host=""
board_url=""
board_pid=""
board_folder=""
board_log_start=1
proxy_port=""
proxy_url=""
proxy_pid=""

board_start() {
  local folder="$1" exe="$2" data="$3" port="${4:-0}"
  board_folder="$folder"
  board_prepare "$folder" || return 1
  board_database_up "$folder" || return 1
  # The tests come from one address: no limit of the service's stands in their way.
  board_serve "$folder/board.log" "$exe" --listen "127.0.0.1:$port" \
    --database "$(tamq_pg_conninfo "$folder/postgres" board)" \
    --secret-file "$folder/secret" --data "$data" --read-rate 100000 --write-rate 100000
}

board_build() {
  tamq_step "Building tamq-board"
  if [ ! -f "$(tamq_build_dir default)/CMakeCache.txt" ]; then
    tamq_configure default -DTAMQ_WERROR="$TAMQ_WERROR"
  fi
  tamq_build default tamq-board
  board_exe="$(tamq_build_dir default)/board/tamq-board"
}

board_prepare() {
  local folder="$1"
  mkdir -p "$folder"
  if [ ! -d "$folder/postgres/data" ]; then
    mkdir -p "$folder/postgres"
    tamq_pg_init "$folder/postgres" || return 1
  fi
  if [ ! -f "$folder/secret" ]; then
    (umask 077 && head -c 48 /dev/urandom | base64 -w0 >"$folder/secret")
  fi
}

board_database_up() {
  local folder="$1" port=""
  if [ "${2:-}" = tcp ]; then
    # A cluster keeps the port it was first given: a standby's copy names the primary's.
    port="$(cat "$folder/postgres/port" 2>/dev/null || tamq_free_port)"
  fi
  if [ ! -f "$folder/postgres/data/postmaster.pid" ]; then
    tamq_pg_start "$folder/postgres" ${port:+"$port"} || return 1
  fi
  tamq_pg_createdb "$folder/postgres" board
}

board_standby_up() {
  local folder="$1"
  if [ ! -d "$folder/standby/data" ]; then
    mkdir -p "$folder/standby"
    tamq_pg_replica "$folder/postgres" "$folder/standby" "$(tamq_free_port)" synchronous || return 1
  elif [ ! -f "$folder/standby/data/postmaster.pid" ]; then
    tamq_pg_start "$folder/standby" "$(cat "$folder/standby/port")" || return 1
  fi
  board_database="$(tamq_pg_conninfo_any "$folder/postgres" "$folder/standby" board)"
}

board_edge_options() {
  board_options=()
  if "$board_exe" --help 2>&1 | grep -q -- '--trusted-proxies'; then
    board_options=(--trusted-proxies 127.0.0.2)
  fi
}

board_serve() {
  local log="$1"
  shift
  touch "$log"
  board_log_start=$(($(wc -l <"$log") + 1))
  "$@" >>"$log" 2>&1 &
  board_pid=$!
  board_port=""
  tamq_poll 60 board_listening_or_ended "$log" || true
  if [ -z "$board_port" ] || ! kill -0 "$board_pid" 2>/dev/null; then
    echo "tamq-board did not start:" >&2
    tail -n "+$board_log_start" "$log" >&2
    board_stop
    return 1
  fi
  board_url="http://$board_host:$board_port"
  tamq_poll 60 board_healthy || { echo "tamq-board is not healthy:" >&2; tail -n "+$board_log_start" "$log" >&2; return 1; }
}

board_end() {
  local pid
  for pid in "$@"; do
    [ -n "$pid" ] && kill -TERM "$pid" 2>/dev/null || true
  done
  for pid in "$@"; do
    [ -n "$pid" ] && wait "$pid" 2>/dev/null || true
  done
}

tamq_stop_asked=""
tamq_stop_on_signal() { trap 'tamq_stop_asked=1' INT TERM; }
tamq_stop_point() { if [ -n "$tamq_stop_asked" ]; then exit 143; fi; }

# The wait polls rather than resting in bash's "wait": a trapped signal ends a sleep of a
# tenth of a second at the latest, whatever moment it comes at.
board_wait_for_stop() {
  local pid
  while [ -z "$tamq_stop_asked" ]; do
    for pid in "$@"; do
      kill -0 "$pid" 2>/dev/null || return 0
    done
    sleep 0.1
  done
}

# This start's "tamq-board: listening on HOST:PORT" line (an IPv6 host in brackets), or the
# service's end.
board_listening_or_ended() {
  local listening
  listening="$(tail -n "+$board_log_start" "$1" | grep -o 'listening on [^ ]*:[0-9]*' | head -n1)"
  board_port="${listening##*:}"
  listening="${listening#listening on }"
  board_host="${listening%:*}"
  [ -n "$board_port" ] || ! kill -0 "$board_pid" 2>/dev/null
}

board_healthy() { curl -sf --max-time 5 "$board_url/v1/health" | grep -q '"status":"ok"'; }

board_stop() {
  board_end "$board_pid"
  board_pid=""
}

board_psql() {
  "$TAMQ_PG_BIN/psql" "$(tamq_pg_conninfo "$1/postgres" board)" -qtAX -c "$2"
}

board_proxy_start() {
  local folder="$1" upstream="$2" delay="$3" mode
  if [ "$delay" = hold ]; then mode=(--hold); else mode=(--delay "$delay"); fi
  rm -f "$folder/proxy.port"
  python3 "$TAMQ_ROOT/tests/support/slow_proxy.py" --upstream "$upstream" "${mode[@]}" \
    --port-file "$folder/proxy.port" --log "$folder/proxy.log" 2>>"$folder/proxy.err" &
  proxy_pid=$!
  tamq_poll 30 board_proxy_ready_or_ended "$folder/proxy.port" || true
  if ! kill -0 "$proxy_pid" 2>/dev/null || [ ! -s "$folder/proxy.port" ]; then
    echo "the slow proxy did not start:" >&2
    cat "$folder/proxy.err" >&2
    return 1
  fi
  proxy_port="$(cat "$folder/proxy.port")"
  proxy_url="http://127.0.0.1:$proxy_port"
}

board_proxy_ready_or_ended() { [ -s "$1" ] || ! kill -0 "$proxy_pid" 2>/dev/null; }

board_proxy_stop() {
  if [ -n "$proxy_pid" ] && kill -0 "$proxy_pid" 2>/dev/null; then
    kill -TERM "$proxy_pid" 2>/dev/null || true
    wait "$proxy_pid" 2>/dev/null || true
  fi
  proxy_pid=""
}

board_cleanup() {
  board_proxy_stop
  board_stop
  if [ -n "$board_folder" ]; then
    tamq_pg_stop "$board_folder/postgres" immediate 2>/dev/null || true
  fi
}
