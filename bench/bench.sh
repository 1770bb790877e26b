#!/usr/bin/env bash
# Builds the benchmarks in Release, runs them headless with repetitions, and prints a table
# of medians and spreads followed by the performance targets.
#   bench/bench.sh                             every benchmark, 8 repetitions
#   TAMQ_BENCH_REPETITIONS=3 bench/bench.sh    fewer repetitions
# For one benchmark alone, run build-bench/bench/tamq_bench --benchmark_filter=REGEX from
# the project root.
# Figures depend on the machine and on its load: compare them only within one run.
set -euo pipefail
source "$(dirname "$0")/../scripts/env.sh"
[ $# = 0 ] || tamq_usage "usage: [TAMQ_BENCH_REPETITIONS=N] bench/bench.sh"
tamq_arguments_checked
tamq_install_deps

build="$(tamq_build_dir bench)"
repetitions="${TAMQ_BENCH_REPETITIONS:-8}"
tamq_configure bench
tamq_build bench tamq_bench tamq_first_frame_probe tamq tamq_motion_figures
if [ ! -x "$build/bench/tamq_bench" ]; then
  echo "bench.sh: no benchmark program was built (is libbenchmark-dev installed?)" >&2
  exit 1
fi

out="$(mktemp -d /tmp/tamq-bench-run-XXXXXX)"
cd "$TAMQ_ROOT"   # data/ is read from the working directory, as the game does
echo "Running the benchmarks ($repetitions repetitions; load average $(cut -d' ' -f1-3 /proc/loadavg))..."
# One process per group: a CSV report needs the same counters in every row.
groups=("Frame/game_vs_reference" "Frame/layers" "tamq/start_to_first_frame"
        "^(Game::|segmentHitsCollider|Text::|Road/|PatternFile::)")
index=0
for group in "${groups[@]}"; do
  index=$((index + 1))
  "$build/bench/tamq_bench" \
    --benchmark_filter="$group" \
    --benchmark_repetitions="$repetitions" \
    --benchmark_report_aggregates_only=true \
    --benchmark_out="$out/bench$index.csv" --benchmark_out_format=csv \
    >> "$out/console.txt" 2>> "$out/stderr.txt" || {
      cat "$out/stderr.txt" >&2
      exit 1
    }
done
grep -m1 "renderer" "$out/stderr.txt" || true

# The CSV holds one row per statistic (mean, median, stddev, cv, min, max) of each benchmark,
# with the counters as extra columns.
awk -F, '
function unquote(s) { gsub(/"/, "", s); return s }
function fmt(v) { return v >= 100 ? sprintf("%.0f", v) : v >= 10 ? sprintf("%.1f", v) : v >= 1 ? sprintf("%.2f", v) : sprintf("%.3g", v) }
/^name,/ {
  delete column
  for (i = 1; i <= NF; i++) column[unquote($i)] = i
  header = 1; next
}
!header { next }
{
  name = unquote($1)
  if (!match(name, /_(mean|median|stddev|cv|min|max)$/)) next
  stat = substr(name, RSTART + 1); base = substr(name, 1, RSTART - 1)
  sub(/\/iterations:[0-9]+/, "", base); sub(/\/manual_time/, "", base); sub(/\/real_time/, "", base)
  if (!(base in seen)) { seen[base] = 1; order[++count] = base }
  unit[base] = unquote($column["time_unit"])
  value[base, stat] = $column["real_time"]
  for (c in column) if (column[c] > column["error_message"]) {
    counter[c] = 1
    if ($column[c] != "") cvalue[base, c, stat] = $column[c]
  }
}
END {
  printf "\n%-36s %12s %24s %8s\n", "benchmark", "median", "min .. max", "cv"
  for (i = 1; i <= count; i++) {
    b = order[i]
    cv = value[b, "mean"] > 0 ? 100 * value[b, "stddev"] / value[b, "mean"] : 0
    printf "%-36s %9s %-2s %11s .. %-10s %7.1f%%\n", b, fmt(value[b, "median"]), unit[b], \
      fmt(value[b, "min"]), fmt(value[b, "max"]), cv
  }
  for (i = 1; i <= count; i++) {
    b = order[i]; any = 0
    for (c in counter) if ((b, c, "median") in cvalue) any = 1
    if (!any) continue
    printf "\n%s, per frame (median of repetitions, min .. max):\n", b
    n = 0
    for (c in counter) if ((b, c, "median") in cvalue) names[++n] = c
    for (j = 2; j <= n; j++) { k = names[j]; for (m = j - 1; m >= 1 && names[m] > k; m--) names[m + 1] = names[m]; names[m + 1] = k }
    for (j = 1; j <= n; j++) {
      c = names[j]
      printf "  %-28s %10s   %10s .. %-10s\n", c, fmt(cvalue[b, c, "median"]), fmt(cvalue[b, c, "min"]), fmt(cvalue[b, c, "max"])
      med[c] = cvalue[b, c, "median"]
    }
    delete names
  }
  if ("frame_ms" in med) {
    printf "\nTargets, from the medians of the same run:\n"
    printf "  game work share of a frame   %6.2f %%  (target < 5 %%)         %s\n", med["work_share_pct"], (med["work_share_pct"] < 5 ? "met" : "MISSED")
    printf "  frame / reference frame      %6.2f    (target <= 1.25)        %s\n", med["frame_over_ref_quads"], (med["frame_over_ref_quads"] <= 1.25 ? "met" : "MISSED")
    printf "    same, by processor time    %6.2f\n", med["frame_over_ref_quads_cpu"]
    printf "  frame / reference drawing the game'"'"'s car meshes %6.2f (processor time %.2f)\n", med["frame_over_ref_cars"], med["frame_over_ref_cars_cpu"]
    printf "  restart / frame              %6.3f    (target < 1)            %s\n", med["restart_over_frame"], (med["restart_over_frame"] < 1 ? "met" : "MISSED")
    printf "  heap allocations in a steady frame: the perf_tests program (ctest -R SteadyFrameAllocations)\n"
  }
}' "$out"/bench*.csv
echo
# How evenly the scene moves from frame to frame: simulated frame times, no machine figures.
"$build/bench/tamq_motion_figures"
echo
echo "Raw results: $out"
