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
#   # Or the ranks' figures: a run's summary and the rows around it for the top, the middle
# and the lowest run of 1 and of 10 million seeded in batches of a million, median and p99
# of REQUESTS requests one after another. With TAMQ_BOARD_BEFORE naming another tamq-board
# (an older build), its summaries are measured first on the same tables, and this one's
# migration of the 10 million is timed.
#   bench/board-figures.sh ranks [REQUESTS]
set -euo pipefail
source "$(dirname "$0")/../scripts/env.sh"
source "$TAMQ_ROOT/scripts/lib/local-board.sh"
source "$TAMQ_ROOT/scripts/lib/edge.sh"
figures=tables
if [ "${1:-}" = arrangement ] || [ "${1:-}" = page ] || [ "${1:-}" = ranks ]; then
  figures="$1"
  shift
fi
duration="${1:-10}"
requests="${1:-200}"

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

# timed LABEL URL COUNT: COUNT requests one after another; median and p99 (nearest rank).
timed() {
  local label="$1" url="$2" count="$3" line times=()
  for _ in $(seq 1 "$count"); do
    line="$(curl -s -o /dev/null --max-time 120 -w '%{http_code} %{time_total}' "$url")"
    [ "${line%% *}" = 200 ] || { echo "$label: answered ${line%% *}"; return; }
    times+=("${line#* }")
  done
  printf '%s\n' "${times[@]}" | sort -n | awk -v label="$label" '{a[NR] = $1 * 1000}
    END {m = int((NR + 1) / 2); p = int(NR * 0.99 + 0.999); printf "%s: median %.2f ms, p99 %.2f ms (%d requests)\n",
         label, a[m], a[p], NR}'
}
# Batches of a million runs (board-seed.sql) until the board holds $1; the kept counts
# follow through their triggers where the schema has them.
grow_to() {
  local batch
  for batch in $(seq $(($(psql -c "SELECT count(*) FROM runs") / 1000000 + 1)) $(($1 / 1000000))); do
    psql -v tag="P$batch-" -v count=1000000 -v top=1000000 -v age='0 days' -f "$TAMQ_ROOT/tests/lib/board-seed.sql"
  done
  psql -c "VACUUM ANALYZE"
}
# rank_reads LABEL REQUESTS [around]: the summary (and the rows around) of the top, middle
# and lowest run of the all-time table.
rank_reads() {
  local label="$1" count="$2" total place offset id
  total="$(psql -c "SELECT count(*) FROM best_runs WHERE season = 'all'")"
  for place in top middle lowest; do
    case "$place" in top) offset=0 ;; middle) offset=$((total / 2)) ;; lowest) offset=$((total - 1)) ;; esac
    id="$(psql -c "SELECT run_id FROM best_runs WHERE mode = 'normal' AND difficulty = 'hard' AND season = 'all'
      ORDER BY score DESC, run_id OFFSET $offset LIMIT 1")"
    timed "$label, summary of the $place of $total" "http://127.0.0.1:$port/v1/runs/$id" "$count"
    if [ "${3:-}" = around ]; then
      timed "$label, 5 rows around the $place of $total" \
        "http://127.0.0.1:$port/v1/boards/normal/hard/around?run=$id&rows=5" "$count"
    fi
  done
}
ranks() {
  local count="$requests" began
  if [ -n "${TAMQ_BOARD_BEFORE:-}" ]; then
    serve "$TAMQ_BOARD_BEFORE"
    for runs in 1000000 10000000; do
      grow_to "$runs"
      rank_reads "before" "$((count / 20 + 1))"
    done
    kill -TERM "$service"
    wait "$service" || true
    began="$SECONDS"
    serve
    echo "the kept counts of 10 million runs built by the migration at start: $((SECONDS - began)) s"
    rank_reads "after" "$count" around
    psql -c "TRUNCATE best_runs, runs, players"
    grow_to 1000000
    rank_reads "after" "$count" around
    return
  fi
  serve
  for runs in 1000000 10000000; do
    grow_to "$runs"
    rank_reads "kept counts" "$count" around
  done
}
head -c 48 /dev/urandom | base64 -w0 >"$work/secret"
tamq_pg_init "$work/pg"
tamq_pg_start "$work/pg" "$(tamq_free_port)"
tamq_pg_createdb "$work/pg" board
database="$(tamq_pg_conninfo "$work/pg" board)"
port="$(tamq_free_port)"
# serve [EXE]: the board (this build's unless EXE) on $port; sets service.
serve() {
  "${1:-$build/board/tamq-board}" --listen "127.0.0.1:$port" --database "$database" --secret-file "$work/secret" \
    --data "$TAMQ_ROOT/data" --read-rate 1000000 --write-rate 1000000 >>"$work/service.log" 2>&1 &
  service=$!
  up() { curl -sf "http://127.0.0.1:$port/v1/health" >/dev/null; }
  tamq_poll 3600 up
}
psql() { "$TAMQ_PG_BIN/psql" "$database" -qtAX "$@"; }
# Runs straight into the tables as the service would store them (tests/lib/board-seed.sql).
seed_runs() {
  psql -c "TRUNCATE best_runs, runs, players"
  psql -v tag=P -v count="$1" -v top=100000 -v age='0 days' -f "$TAMQ_ROOT/tests/lib/board-seed.sql"
  psql -c "VACUUM ANALYZE"
}
if [ "$figures" = ranks ]; then
  ranks
  exit 0
fi
serve
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
