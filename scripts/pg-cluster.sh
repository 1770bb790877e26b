#!/usr/bin/env bash
# A throwaway PostgreSQL cluster for the board's tests (scripts/lib/postgres.sh):
#   pg-cluster.sh start FOLDER PORT        a new cluster with database "board"; prints its conninfo
#   pg-cluster.sh restart FOLDER           starts it again on its port
#   pg-cluster.sh stop FOLDER [MODE]       fast, or immediate
#   pg-cluster.sh replica PRIMARY FOLDER PORT   a streaming standby; prints its conninfo
set -euo pipefail
source "$(dirname "$0")/lib/postgres.sh"

command="$1"
shift
case "$command" in
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
  *)
    echo "pg-cluster.sh: unknown command $command" >&2
    exit 2
    ;;
esac
