#!/usr/bin/env bash
# The board's figures for docs/board.md, on loopback: verified submissions a second from
# board_load, then board reads a second with median and 99th-percentile latency from wrk
# with 1 thousand, 100 thousand and 1 million runs seeded straight into the database.
#   bench/board-figures.sh [SECONDS_PER_READ_RUN]
# The arrangement of scripts/board-stack.sh (primary and synchronous standby, two
# instances, nginx) in one run: submissions a second and reads direct, through nginx to
# one instance and to two; /v1/health from 127.0.0.2 while 500 slow connections come from
# 127.0.0.1, direct and through nginx; the time from losing the primary database to the
# first run stored after it (the failover test's own figure).
#   bench/board-figures.sh arrangement [SECONDS_PER_READ_RUN]
# Or the board page's figures (bench/page_bench.py): its size gzipped, and the time to list
# 100 of 100 thousand runs seeded the same way, from the API and in headless Chromium.
#   bench/board-figures.sh page
set -euo pipefail
source "$(dirname "$0")/../scripts/env.sh"
source "$TAMQ_ROOT/scripts/lib/local-board.sh"
source "$TAMQ_ROOT/scripts/lib/edge.sh"
figures=tables
if [ "${1:-}" = arrangement ] || [ "${1:-}" = page ]; then
  figures="$1"
  shift
fi
duration="${1:-10}"

tamq_install_board_deps
tamq_install_tls_deps
tamq_install_packages wrk
build="$(tamq_build_dir default)"
targets=(tamq-board board_load)
if [ "$figures" = arrangement ]; then targets+=(board_tests); fi
tamq_build default "${targets[@]}"

work="$(mktemp -d)"
chmod 755 "$work"
mkdir "$work/pg"
service=""
instances=()
edges=()
cleanup() {
  local edge
  for edge in "${edges[@]}"; do tamq_edge_stop "$edge"; done
  board_end "$service" "${instances[@]}"
  tamq_pg_stop "$work/stack/standby" immediate 2>/dev/null || true
  tamq_pg_stop "$work/stack/postgres" immediate 2>/dev/null || true
  tamq_pg_stop "$work/pg" immediate 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | xargs)"

# wrk's figures as one line: LABEL: N a second, median M, p99 P [errors].
reads() {
  local label="$1" url="$2" result
  result="$(wrk -t2 -c16 -d"${duration}s" --latency "$url")"
  echo "$label: $(awk '/Requests\/sec/ {print $2}' <<<"$result") a second," \
    "median $(awk '$1 == "50%" {print $2}' <<<"$result"), p99 $(awk '$1 == "99%" {print $2}' <<<"$result")" \
    "$(grep -E "Non-2xx|Socket errors" <<<"$result" || true)"
}

# nginx of the edge in front of the given instances, in folder NAME; sets edge_port (its
# HTTPS, as players reach it; the certificate's authority is NAME/ca.pem). The limits per
# address stand aside unless LIMITS is "limits".
edge() {
  local name="$1" limits="$2"
  shift 2
  edges+=("$work/$name")
  edge_port="$(tamq_free_port)"
  if [ "$limits" = limits ]; then
    tamq_edge_start "$work/$name" "$edge_port" "$(tamq_free_port)" "$@"
  else
    TAMQ_EDGE_READ_RATE=1000000r/s TAMQ_EDGE_WRITE_RATE=1000000r/s TAMQ_EDGE_CONNECTIONS=60000 \
      tamq_edge_start "$work/$name" "$edge_port" "$(tamq_free_port)" "$@"
  fi
}

# /v1/health from 127.0.0.2 while slow_clients.py holds 500 connections from 127.0.0.1;
# over HTTPS when given the authority CA (the slow ones then never finish their handshake).
slow_health() {
  local label="$1" port="$2" ca="${3:-}" slow times=() timeouts=0 line url="http://127.0.0.1:$2" trust=()
  if [ -n "$ca" ]; then url="https://127.0.0.1:$port" trust=(--cacert "$ca"); fi
  python3 "$TAMQ_ROOT/tests/board/slow_clients.py" 127.0.0.1 "$port" 500 40 3 >"$work/slow.out" &
  slow=$!
  # Once the connections are made (or refused).
  opened() { [ "$(ss -Htn state established "( dport = :$port )" | wc -l)" -ge 100 ] || ! kill -0 "$slow" 2>/dev/null; }
  tamq_poll 20 opened || true
  for _ in $(seq 1 10); do
    line="$(curl -s -o /dev/null --interface 127.0.0.2 --max-time 3 -w '%{http_code} %{time_total}' \
      "${trust[@]}" "$url/v1/health" || true)"
    if [ "${line%% *}" = 200 ]; then times+=("${line#* }"); else timeouts=$((timeouts + 1)); fi
  done
  kill -TERM "$slow" 2>/dev/null || true
  wait "$slow" 2>/dev/null || true
  if [ "${#times[@]}" -gt 0 ]; then
    echo "$label: health from another address with 500 slow connections from one: ${#times[@]} of 10 answered," \
      "median $(printf '%s\n' "${times[@]}" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)] * 1000}') ms," \
      "slowest $(printf '%s\n' "${times[@]}" | sort -n | tail -n1 | awk '{print $1 * 1000}') ms; $timeouts not within 3 s"
  else
    echo "$label: health from another address with 500 slow connections from one: none of 10 answered within 3 s"
  fi
}

arrangement() {
  board_exe="$build/board/tamq-board"
  board_prepare "$work/stack"
  board_database_up "$work/stack" tcp
  board_standby_up "$work/stack"
  board_edge_options
  local ports=() instance
  for instance in 1 2; do
    board_serve "$work/stack/board-$instance.log" "$board_exe" --listen 127.0.0.1:0 --database "$board_database" \
      --secret-file "$work/stack/secret" --data "$TAMQ_ROOT/data" --read-rate 1000000 --write-rate 1000000 \
      "${board_options[@]}"
    instances+=("$board_pid")
    ports+=("$board_port")
  done
  edge one open "127.0.0.1:${ports[0]}"
  local one="$edge_port"
  edge two open "127.0.0.1:${ports[0]}" "127.0.0.1:${ports[1]}"
  local two="$edge_port"
  echo "every commit waits for the synchronous standby; nginx is reached over HTTPS, as players reach it"
  local row label port scheme ca
  for row in "direct to one instance:${ports[0]}:" "nginx, one instance:$one:$work/one/ca.pem" \
    "nginx, two instances:$two:$work/two/ca.pem"; do
    IFS=: read -r label port ca <<<"$row"
    scheme=http
    if [ -n "$ca" ]; then scheme=https; fi
    # shellcheck disable=SC2086 # no authority, no argument
    echo "$label: $("$build/tests/board/board_load" "$port" "$work/stack/secret" 200 4 hard $ca)"
    reads "$label, reads of the top 10" "$scheme://127.0.0.1:$port/v1/boards/normal/hard?limit=10"
  done
  edge limited limits "127.0.0.1:${ports[0]}" "127.0.0.1:${ports[1]}"
  slow_health "direct to one instance" "${ports[0]}"
  slow_health "nginx with its limits, two instances" "$edge_port" "$work/limited/ca.pem"
  "$build/tests/board/board_tests" --gtest_filter='BoardFailover.ThePrimary*' | grep -E '^answers:' ||
    echo "the failover test did not pass"
}
if [ "$figures" = arrangement ]; then
  arrangement
  exit 0
fi
head -c 48 /dev/urandom | base64 -w0 >"$work/secret"
tamq_pg_init "$work/pg"
tamq_pg_start "$work/pg" "$(tamq_free_port)"
tamq_pg_createdb "$work/pg" board
database="$(tamq_pg_conninfo "$work/pg" board)"
port="$(tamq_free_port)"
"$build/board/tamq-board" --listen "127.0.0.1:$port" --database "$database" --secret-file "$work/secret" \
  --data "$TAMQ_ROOT/data" --read-rate 1000000 --write-rate 1000000 >"$work/service.log" 2>&1 &
service=$!
up() { curl -sf "http://127.0.0.1:$port/v1/health" >/dev/null; }
tamq_poll 60 up

psql() { "$TAMQ_PG_BIN/psql" "$database" -qtAX "$@"; }
# Runs straight into the tables as the service would store them (tests/lib/board-seed.sql).
seed_runs() {
  psql -c "TRUNCATE best_runs, runs, players"
  psql -v tag=P -v count="$1" -v top=100000 -v age='0 days' -f "$TAMQ_ROOT/tests/lib/board-seed.sql"
  psql -c "VACUUM ANALYZE"
}
if [ "$figures" = page ]; then
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
    reads "reads of ?$page with $runs runs" "http://127.0.0.1:$port/v1/boards/normal/hard?$page"
  done
done
