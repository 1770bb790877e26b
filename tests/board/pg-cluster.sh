#!/usr/bin/env bash
# A throwaway PostgreSQL cluster for the board's tests (scripts/lib/postgres.sh):
#   pg-cluster.sh start FOLDER PORT        a new cluster with database "board"; prints its conninfo
#   pg-cluster.sh restart FOLDER           starts it again on its port
#   pg-cluster.sh stop FOLDER [MODE]       fast, or immediate
#   pg-cluster.sh replica PRIMARY FOLDER PORT   a streaming standby; prints its conninfo
#   pg-cluster.sh standby PRIMARY FOLDER PORT   the same, synchronous: the primary's commits
#                                          return once it has them; prints its conninfo
#   pg-cluster.sh promote FOLDER           the standby takes writes
#   pg-cluster.sh kill FOLDER              SIGKILL to the server, as a lost machine
#   pg-cluster.sh port                     a free port of 127.0.0.1 for a server to listen on
# Only the conninfo goes to standard output; every complaint to standard error.
set -euo pipefail
source "$(dirname "$0")/../../scripts/lib/postgres.sh"

command="$1"
shift
case "$command" in
  port)
    tamq_free_port
    ;;
  start)
    tamq_pg_init "$1"
    tamq_pg_start "$1" "$2"
    tamq_pg_createdb "$1" board
    tamq_pg_conninfo "$1" board
    ;;
  restart)
    tamq_pg_start "$1" "$(cat "$1/port")"
    ;;
  stop)
    tamq_pg_stop "$1" "${2:-fast}"
    ;;
  replica)
    tamq_pg_replica "$1" "$2" "$3"
    tamq_pg_conninfo "$2" board
    ;;
  standby)
    tamq_pg_replica "$1" "$2" "$3" synchronous
    tamq_pg_conninfo "$2" board
    ;;
  promote)
    tamq_pg_promote "$1"
    ;;
  kill)
    tamq_pg_kill "$1"
    ;;
  *)
    echo "pg-cluster.sh: unknown command $command" >&2
    exit 2
    ;;
esac
