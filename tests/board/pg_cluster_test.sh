#!/usr/bin/env bash
# tests/board/pg-cluster.sh as the board's tests use it: its standard output is the conninfo
# alone, also when started from a folder the server's account cannot enter (a clone under
# /root, a mktemp -d); a cluster folder that account cannot reach is refused in one line
# naming it; a standby made "standby" is synchronous.
set -euo pipefail
root="$1"
source "$root/scripts/lib/postgres.sh"
work="$(mktemp -d)"
chmod 755 "$work"
closed="$(mktemp -d)"
chmod 700 "$closed"
folders=()
cleanup() {
  local folder
  for folder in "${folders[@]}"; do tamq_pg_stop "$folder" immediate 2>/dev/null || true; done
  rm -rf "$work" "$closed"
}
trap cleanup EXIT
script="$root/tests/board/pg-cluster.sh"
failures=0

# row: name, the caller's folder, the command's arguments, the expected status, what
# standard output must match and what standard error, one line at most, must match
# (extended regular expressions of the whole text)
conninfo='^host=[^ ]+ port=[0-9]+ user=[a-z_]+ dbname=board$'
mkdir "$work/primary" "$work/standby"
rows=(
  "primary from a closed folder|$closed|start $work/primary $(tamq_free_port)|0|$conninfo|^$"
  "standby from a closed folder|$closed|standby $work/primary $work/standby $(tamq_free_port)|0|$conninfo|^$"
)
if [ "$(id -u)" -eq 0 ]; then
  mkdir "$closed/cluster"
  rows+=("cluster in a closed folder|$work|start $closed/cluster $(tamq_free_port)|1|^$|^$closed/cluster: the postgres account cannot reach this folder")
fi
for row in "${rows[@]}"; do
  IFS='|' read -r name cwd arguments expected out_pattern err_pattern <<<"$row"
  read -ra words <<<"$arguments"
  status=0
  (cd "$cwd" && bash "$script" "${words[@]}") >"$work/out" 2>"$work/err" || status=$?
  [ "${words[0]}" = start ] && folders+=("${words[1]}") || folders+=("${words[2]}")
  out="$(cat "$work/out")" err="$(cat "$work/err")"
  if [ "$status" -ne "$expected" ] || ! [[ "$out" =~ $out_pattern ]] || ! [[ "$err" =~ $err_pattern ]] ||
    [ "$(wc -l <"$work/err")" -gt 1 ]; then
    echo "FAIL $name: status $status (expected $expected)"
    echo "  stdout: $out"
    echo "  stderr: $err"
    failures=$((failures + 1))
  else
    echo "ok   $name"
  fi
done
# The standby row left the primary waiting for it on every commit.
sync="$("$TAMQ_PG_BIN/psql" "$(tamq_pg_conninfo "$work/primary")" -tAXc \
  "SELECT sync_state FROM pg_stat_replication WHERE application_name = 'standby'")"
if [ "$sync" != sync ]; then
  echo "FAIL the standby is \"$sync\", not synchronous"
  failures=$((failures + 1))
fi
[ "$failures" -eq 0 ]
