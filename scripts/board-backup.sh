#!/usr/bin/env bash
# Backups of the board's database (docs/board-operations.md):
#   board-backup.sh backup CONNINFO FILE    a pg_dump custom-format archive of the database
#   board-backup.sh restore FILE CONNINFO   the archive into an empty database
# CONNINFO is libpq's, as the service's --database ("host=db1 dbname=board user=board").
set -euo pipefail
source "$(dirname "$0")/lib/postgres.sh"

usage="usage: board-backup.sh backup CONNINFO FILE | restore FILE CONNINFO"
[ "$#" -eq 3 ] || tamq_usage "$usage"
command="$1"
tamq_one_of "$command" backup restore || tamq_usage "$usage"
tamq_arguments_checked

case "$command" in
  backup)
    conninfo="$2" file="$3"
    # Written beside its place and moved there whole: an interrupted dump never passes for
    # a backup, nor spoils the one it would have replaced.
    partial="$file.partial"
    trap 'rm -f "$partial"' EXIT
    "$TAMQ_PG_BIN/pg_dump" --format=custom --dbname="$conninfo" --file="$partial"
    sync "$partial"
    mv "$partial" "$file"
    trap - EXIT
    ;;
  restore)
    file="$2" conninfo="$3"
    [ -r "$file" ] || { echo "board-backup.sh: $file: cannot read the archive" >&2; exit 1; }
    tables="$("$TAMQ_PG_BIN/psql" "$conninfo" -tAqc \
      "SELECT count(*) FROM pg_tables WHERE schemaname NOT IN ('pg_catalog', 'information_schema')")"
    if [ "$tables" != 0 ]; then
      echo "board-backup.sh: the database of \"$conninfo\" holds $tables tables; restore into an empty one" >&2
      exit 1
    fi
    # One transaction: a restore that fails leaves the database empty, to try again.
    "$TAMQ_PG_BIN/pg_restore" --clean --if-exists --no-owner --single-transaction --exit-on-error \
      --dbname="$conninfo" "$file"
    ;;
esac
