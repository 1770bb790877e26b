#!/usr/bin/env bash
# PostgreSQL clusters of our own in a folder: the board's tests and the local board run
# their database this way, never touching the machine's own clusters. The server runs as
# the calling user, or as "postgres" when that is root (PostgreSQL refuses root); it listens
# on a Unix socket in the folder and, when given a port, on 127.0.0.1 too, trusting local
# connections. Sourced.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

TAMQ_PG_BIN="${TAMQ_PG_BIN:-/usr/lib/postgresql/15/bin}"

# tamq_pg_user: the account the server runs as.
tamq_pg_user() {
  if [ "$(id -u)" -eq 0 ]; then echo postgres; else id -un; fi
}

# tamq_pg_as_server FOLDER COMMAND...: runs COMMAND as the server's account, from the
# cluster's FOLDER: PostgreSQL's tools warn on stderr when they cannot enter the folder they
# were started from (a caller's folder under /root, or made by mktemp), so they never start
# from the caller's.
tamq_pg_as_server() {
  local folder="$1"
  shift
  if [ "$(id -u)" -eq 0 ]; then
    runuser -u postgres -- env -C "$folder" "$@"
  else
    env -C "$folder" "$@"
  fi
}

# tamq_pg_reachable FOLDER: whether the server's account can write to FOLDER; says so in
# one line when it cannot.
tamq_pg_reachable() {
  if [ "$(id -u)" -eq 0 ] && ! runuser -u postgres -- test -w "$1" 2>/dev/null; then
    echo "$1: the postgres account cannot reach this folder (a folder above it is closed to it; chmod 755 them, or choose another)" >&2
    return 1
  fi
}

# tamq_pg_init FOLDER: a new cluster in FOLDER/data (FOLDER exists and is empty).
tamq_pg_init() {
  local folder="$1"
  if [ "$(id -u)" -eq 0 ]; then
    chown postgres: "$folder"
  fi
  chmod 700 "$folder"
  tamq_pg_reachable "$folder" || return 1
  tamq_pg_as_server "$folder" "$TAMQ_PG_BIN/initdb" -D "$folder/data" -A trust -U "$(tamq_pg_user)" -E UTF8 --no-locale \
    >"$folder/initdb.log" 2>&1 || { cat "$folder/initdb.log" >&2; return 1; }
}

# tamq_pg_start FOLDER [PORT]: starts the cluster; with PORT also on 127.0.0.1:PORT, else
# on the socket only (as port 5432 of the folder's socket).
tamq_pg_start() {
  local folder="$1" port="${2:-}"
  local listen="''"
  if [ -n "$port" ]; then listen=127.0.0.1; else port=5432; fi
  tamq_pg_reachable "$folder" || return 1
  tamq_pg_as_server "$folder" "$TAMQ_PG_BIN/pg_ctl" -D "$folder/data" -l "$folder/server.log" -w -t 60 \
    -o "-k $folder -p $port -c listen_addresses=$listen" start >/dev/null ||
    { tail -20 "$folder/server.log" >&2; return 1; }
  echo "$port" >"$folder/port"
}

# tamq_pg_stop FOLDER [MODE]: stops the cluster (fast, or immediate: as if it crashed).
tamq_pg_stop() {
  local folder="$1" mode="${2:-fast}"
  [ -f "$folder/data/postmaster.pid" ] || return 0
  tamq_pg_as_server "$folder" "$TAMQ_PG_BIN/pg_ctl" -D "$folder/data" -m "$mode" -w -t 60 stop >/dev/null
}

# tamq_pg_conninfo FOLDER [DATABASE]: the libpq connection string of the running cluster.
tamq_pg_conninfo() {
  echo "host=$1 port=$(cat "$1/port") user=$(tamq_pg_user) dbname=${2:-postgres}"
}

# tamq_pg_conninfo_any FOLDER... DATABASE: one conninfo naming every running cluster
# given, for the one that takes writes: a promoted standby is found by the next connection.
tamq_pg_conninfo_any() {
  local database="${*: -1}" hosts="" ports="" folder
  for folder in "${@:1:$#-1}"; do
    hosts+="${hosts:+,}$folder"
    ports+="${ports:+,}$(cat "$folder/port")"
  done
  echo "host=$hosts port=$ports user=$(tamq_pg_user) dbname=$database target_session_attrs=read-write"
}

# tamq_pg_createdb FOLDER NAME: creates database NAME unless it exists.
tamq_pg_createdb() {
  local folder="$1" name="$2"
  if ! "$TAMQ_PG_BIN/psql" "$(tamq_pg_conninfo "$folder")" -tAc "SELECT 1 FROM pg_database WHERE datname = '$name'" |
    grep -q 1; then
    "$TAMQ_PG_BIN/createdb" -h "$folder" -p "$(cat "$folder/port")" -U "$(tamq_pg_user)" "$name"
  fi
}

# tamq_pg_replica PRIMARY REPLICA PORT [synchronous]: a streaming standby of the running
# cluster in PRIMARY, copied with pg_basebackup over 127.0.0.1 into REPLICA (an empty
# folder) and started on PORT. "synchronous" gives both the settings of deploy/postgresql/
# and returns once the primary's commits wait for this standby.
tamq_pg_replica() {
  local primary="$1" replica="$2" port="$3" mode="${4:-}"
  if [ "$(id -u)" -eq 0 ]; then
    chown postgres: "$replica"
  fi
  chmod 700 "$replica"
  tamq_pg_reachable "$replica" || return 1
  tamq_pg_as_server "$replica" "$TAMQ_PG_BIN/pg_basebackup" -h 127.0.0.1 -p "$(cat "$primary/port")" -U "$(tamq_pg_user)" \
    -D "$replica/data" -R -X stream -c fast >"$replica/basebackup.log" 2>&1 ||
    { cat "$replica/basebackup.log" >&2; return 1; }
  if [ "$mode" = synchronous ]; then
    tamq_pg_include "$replica" standby
  fi
  tamq_pg_start "$replica" "$port" || return 1
  if [ "$mode" = synchronous ]; then
    # The primary waits for the standby from its next commit on: the standby streams first.
    tamq_pg_include "$primary" primary
    tamq_pg_as_server "$primary" "$TAMQ_PG_BIN/pg_ctl" -D "$primary/data" reload >/dev/null
    if ! tamq_poll 60 tamq_pg_standby_is_sync "$primary"; then
      echo "$replica: the standby did not become synchronous (see $replica/server.log)" >&2
      return 1
    fi
  fi
}

# tamq_pg_include FOLDER primary|standby: the cluster reads deploy/postgresql/NAME.conf
# (copied into its data folder, which the server's account can always read), after what
# its configuration said before.
tamq_pg_include() {
  local folder="$1" role="$2"
  cp "$TAMQ_ROOT/deploy/postgresql/$role.conf" "$folder/data/tamq-$role.conf"
  if [ "$(id -u)" -eq 0 ]; then chown postgres: "$folder/data/tamq-$role.conf"; fi
  echo "include 'tamq-$role.conf'" >>"$folder/data/postgresql.conf"
}

tamq_pg_standby_is_sync() {
  "$TAMQ_PG_BIN/psql" "$(tamq_pg_conninfo "$1")" -tAXc \
    "SELECT 1 FROM pg_stat_replication WHERE application_name = 'standby' AND sync_state = 'sync'" 2>/dev/null |
    grep -q 1
}

# tamq_pg_promote FOLDER: the standby in FOLDER becomes a primary taking writes.
tamq_pg_promote() {
  tamq_pg_as_server "$1" "$TAMQ_PG_BIN/pg_ctl" -D "$1/data" -w -t 60 promote >/dev/null
}

# tamq_pg_kill FOLDER: SIGKILL to the cluster's postmaster, as if its machine were lost.
tamq_pg_kill() {
  local pid
  pid="$(head -n1 "$1/data/postmaster.pid" 2>/dev/null)" || return 0
  kill -KILL "$pid" 2>/dev/null || true
  tamq_poll 10 tamq_pg_gone "$pid"
}

tamq_pg_gone() { ! kill -0 "$1" 2>/dev/null; }
