#!/usr/bin/env bash
# The stages of a long check (./test.sh --full, CI): each one timed, its output kept in a
# log of its own, some run side by side; at the end one table of every stage's time and
# result, and a failure names its stage and shows the end of its log. Sourced.
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/lib/common.sh"

tamq_stage_dir=""
tamq_stage_pids=()

# tamq_stages_begin DIR: the stages' logs and their table go to DIR, emptied first.
tamq_stages_begin() {
  tamq_stage_dir="$1"
  rm -rf "$tamq_stage_dir"
  mkdir -p "$tamq_stage_dir"
  : >"$tamq_stage_dir/table"
  tamq_stage_pids=()
}

# tamq_stage_run NAME COMMAND...: runs the stage in this shell's place, its output on the
# terminal and in NAME.log; returns its status. A stage that is a shell function must
# chain its steps with &&: errexit does not hold inside it.
tamq_stage_run() {
  local name="$1"
  shift
  tamq_step "stage $name"
  local start="$SECONDS" status=0
  "$@" 2>&1 | tee "$tamq_stage_dir/$name.log" || status=$?
  tamq_stage_record "$name" "$((SECONDS - start))" "$status"
  return "$status"
}

# tamq_stage_start NAME COMMAND...: the same in the background, its output in NAME.log
# alone; tamq_stages_wait waits for it.
tamq_stage_start() {
  local name="$1"
  shift
  tamq_step "stage $name (beside the others; log: $tamq_stage_dir/$name.log)"
  (
    start="$SECONDS"
    status=0
    "$@" >"$tamq_stage_dir/$name.log" 2>&1 </dev/null || status=$?
    tamq_stage_record "$name" "$((SECONDS - start))" "$status"
  ) &
  tamq_stage_pids+=("$!")
}

# tamq_stages_wait: every stage started in the background has ended.
tamq_stages_wait() {
  local pid
  for pid in "${tamq_stage_pids[@]}"; do
    wait "$pid" || true
  done
  tamq_stage_pids=()
}

tamq_stage_record() {
  local name="$1" seconds="$2" status="$3"
  if [ "$status" != 0 ]; then
    echo "== stage $name FAILED (exit $status); the end of $tamq_stage_dir/$name.log:" >&2
    tail -n 40 "$tamq_stage_dir/$name.log" >&2
  fi
  printf '%s %s %s\n' "$name" "$seconds" "$status" >>"$tamq_stage_dir/table"
}

# tamq_stages_end SECONDS: waits for the stages still running, prints the table (seconds a
# stage took, those run side by side overlapping, and SECONDS for the whole) and fails
# naming every stage that failed.
tamq_stages_end() {
  tamq_stages_wait
  local name seconds status failed=()
  echo "== stages (logs in $tamq_stage_dir)"
  printf '%-22s %8s  %s\n' stage seconds result
  while read -r name seconds status; do
    printf '%-22s %8s  %s\n' "$name" "$seconds" "$([ "$status" = 0 ] && echo passed || echo "FAILED ($status)")"
    [ "$status" = 0 ] || failed+=("$name")
  done <"$tamq_stage_dir/table"
  printf '%-22s %8s\n' "all, with installs" "$1"
  if [ ${#failed[@]} -gt 0 ]; then
    echo "failed stages: ${failed[*]}" >&2
    return 1
  fi
}
