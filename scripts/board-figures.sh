#!/usr/bin/env bash
# The board's figures for docs/board.md, on loopback: verified submissions a second from
# board_load, then board reads a second with median and 99th-percentile latency from wrk
# with 1 thousand, 100 thousand and 1 million runs seeded straight into the database.
#   scripts/board-figures.sh [SECONDS_PER_READ_RUN]
# Or the board page's figures (bench/page_bench.py): its size gzipped, and the time to list
# 100 of 100 thousand runs seeded the same way, from the API and in headless Chromium.
#   scripts/board-figures.sh page
set -euo pipefail
source "$(dirname "$0")/env.sh"
source "$TAMQ_ROOT/scripts/lib/postgres.sh"
mode=reads
if [ "${1:-}" = page ]; then
  mode=page
  shift
fi
duration="${1:-10}"

tamq_install_board_deps
tamq_install_packages wrk
build="$(tamq_build_dir default)"
tamq_build default tamq-board board_load

work="$(mktemp -d)"
chmod 755 "$work"
mkdir "$work/pg"
service=""
cleanup() {
  [ -n "$service" ] && kill -TERM "$service" 2>/dev/null && wait "$service" 2>/dev/null
  tamq_pg_stop "$work/pg" immediate || true
  rm -rf "$work"
}
trap cleanup EXIT
head -c 48 /dev/urandom | base64 -w0 >"$work/secret"
tamq_pg_init "$work/pg"
tamq_pg_start "$work/pg" "$(( 30000 + RANDOM % 20000 ))"
tamq_pg_createdb "$work/pg" board
database="$(tamq_pg_conninfo "$work/pg" board)"
port="$(( 30000 + RANDOM % 20000 ))"
"$build/board/tamq-board" --listen "127.0.0.1:$port" --database "$database" --secret-file "$work/secret" \
  --data "$TAMQ_ROOT/data" --read-rate 1000000 --write-rate 1000000 >"$work/service.log" 2>&1 &
service=$!
up() { curl -sf "http://127.0.0.1:$port/v1/health" >/dev/null; }
tamq_poll 60 up

echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | xargs)"
psql() { "$TAMQ_PG_BIN/psql" "$database" -qtAX "$@"; }
# Runs straight into the tables as the service would store them (scripts/lib/board-seed.sql).
seed_runs() {
  psql -c "TRUNCATE best_runs, runs, players"
  psql -v tag=P -v count="$1" -v top=100000 -v age='0 days' -f "$TAMQ_ROOT/scripts/lib/board-seed.sql"
  psql -c "VACUUM ANALYZE"
}
if [ "$mode" = page ]; then
  tamq_install_tls_deps
  tamq_install_packages chromium python3-websocket
  seed_runs 100000
  /usr/bin/python3 "$TAMQ_ROOT/bench/page_bench.py" "$TAMQ_ROOT" "$port"
  exit 0
fi
for difficulty in hard easy; do
  "$build/tests/board/board_load" "$port" "$work/secret" 200 4 "$difficulty"
done

for runs in 1000 100000 1000000; do
  seed_runs "$runs"
  for page in "limit=10" "limit=100" "limit=10&offset=10000"; do
    result="$(wrk -t2 -c16 -d"${duration}s" --latency "http://127.0.0.1:$port/v1/boards/normal/hard?$page")"
    rate="$(echo "$result" | awk '/Requests\/sec/ {print $2}')"
    median="$(echo "$result" | awk '$1 == "50%" {print $2}')"
    p99="$(echo "$result" | awk '$1 == "99%" {print $2}')"
    errors="$(echo "$result" | grep -E "Non-2xx|Socket errors" || true)"
    echo "reads of ?$page with $runs runs: $rate a second, median $median, p99 $p99 $errors"
  done
done
