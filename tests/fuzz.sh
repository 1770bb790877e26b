#!/usr/bin/env bash
# Builds the file-reader fuzzers with clang (the "fuzz" preset, in build-fuzz) and runs
# each for a given time.
#   tests/fuzz.sh [seconds per target, default 60] [parallel runs, default 2] [target...]
# New inputs go to build-fuzz/corpus/<target> (the stored seeds in fuzz/corpus stay as they
# are); a crash leaves its input in build-fuzz/artifacts/<target>/ and fails the script.
# Per-target executions and findings are written to build-fuzz/summary.txt.
set -uo pipefail
source "$(dirname "$0")/../scripts/env.sh"
tamq_whole_numbers "${@:1:2}" || tamq_usage "usage: tests/fuzz.sh [SECONDS [PARALLEL [TARGET...]]]"
tamq_arguments_checked
seconds="${1:-60}"
parallel="${2:-2}"
shift $(( $# > 2 ? 2 : $# ))
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(bmp fontbmp png meshjson bloc collider patterns campath shader wav best record)
build="$(tamq_build_dir fuzz)"
root="$TAMQ_ROOT"

mkdir -p "$build"
tamq_configure fuzz || exit 1
tamq_build fuzz > "$build/build.log" 2>&1 || { tail -40 "$build/build.log"; exit 1; }

export ASAN_OPTIONS="detect_leaks=1:allocator_may_return_null=1"

run_one() {
  local target="$1"
  local dict=()
  case "$target" in
    meshjson|collider|patterns|best) dict=(-dict="$root/fuzz/json.dict") ;;
    # Mesa's compiler keeps allocations between inputs and SDL unloads the driver before
    # LeakSanitizer's final check, so those leaks come without a usable stack and no
    # suppression can name them. Leaks stay off for this target; ShaderProgram's own
    # allocations are leak-checked by the sanitizer build of the test suite.
    shader) dict=(-detect_leaks=0) ;;
  esac
  local asan="$ASAN_OPTIONS"
  [ "$target" = shader ] && asan="$ASAN_OPTIONS:detect_leaks=0"
  mkdir -p "$build/corpus/$target" "$build/artifacts/$target"
  ASAN_OPTIONS="$asan" nice -n 19 "$build/fuzz/fuzz_$target" "${dict[@]}" -max_total_time="$seconds" -timeout=10 \
    -rss_limit_mb=2048 -max_len=65536 -print_final_stats=1 -close_fd_mask=3 \
    -artifact_prefix="$build/artifacts/$target/" \
    "$build/corpus/$target" "$root/fuzz/corpus/$target" > "$build/fuzz_$target.log" 2>&1
  local status=$?
  local runs
  runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$build/fuzz_$target.log" | grep -o '[0-9]*$')
  local findings
  findings=$(find "$build/artifacts/$target" -type f | wc -l)
  echo "$target seconds=$seconds executions=${runs:-?} findings=$findings exit=$status" |
    tee -a "$build/summary.txt"
  return $status
}

failed=0
running=0
for target in "${targets[@]}"; do
  run_one "$target" &
  running=$((running + 1))
  if [ "$running" -ge "$parallel" ]; then
    wait -n || failed=1
    running=$((running - 1))
  fi
done
while [ "$running" -gt 0 ]; do
  wait -n || failed=1
  running=$((running - 1))
done
exit $failed
