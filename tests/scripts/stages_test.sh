#!/usr/bin/env bash
# The stages of ./test.sh --full and CI (tests/lib/stages.sh): a failing stage, in this
# shell or beside others, fails the whole and is named; every stage's output stays in its
# own log; a stage that passes is in the table as passed.
set -uo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
source "$root/tests/lib/stages.sh"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

say() { echo "$1"; return "$2"; }

# Each row: a name, the stages as "run|start NAME WORD STATUS" (the stage prints WORD and
# ends with STATUS) separated by commas, the status the whole must end with, and the
# stages its error output must name as failed.
while IFS=';' read -r name stages expected named; do
  tamq_stages_begin "$scratch/$name"
  IFS=',' read -ra list <<<"$stages"
  for stage in "${list[@]}"; do
    read -r how stage_name word status <<<"$stage"
    if [ "$how" = run ]; then
      tamq_stage_run "$stage_name" say "$word" "$status" >/dev/null 2>&1
      [ $? = "$status" ] || fail "$name: tamq_stage_run $stage_name did not return $status"
    else
      tamq_stage_start "$stage_name" say "$word" "$status" >/dev/null 2>&1
    fi
  done
  tamq_stages_end 0 >"$scratch/$name.out" 2>"$scratch/$name.err"
  status=$?
  [ "$status" = "$expected" ] || fail "$name: ended with $status, not $expected"
  for stage in "${list[@]}"; do
    read -r how stage_name word status <<<"$stage"
    [ "$(cat "$scratch/$name/$stage_name.log")" = "$word" ] || fail "$name: $stage_name.log holds more or less than its own output"
    [ "$status" = 0 ] && { grep -q "^$stage_name .* passed$" "$scratch/$name.out" || fail "$name: $stage_name not passed in the table"; }
  done
  for stage_name in $named; do
    grep -qE "^failed stages:.* $stage_name( |$)" "$scratch/$name.err" || fail "$name: $stage_name is not named as failed: $(cat "$scratch/$name.err")"
  done
done <<'EOF'
all pass;run build b 0,start fuzz f 0,start web w 0;0;
one beside others fails;run build b 0,start windows x 3,start web w 0;1;windows
in this shell fails;run sanitizers s 2,start fuzz f 0;1;sanitizers
two fail;start windows x 1,start web w 4;1;windows web
EOF
[ "$failures" = 0 ] && echo "all stage cases passed"
exit $((failures > 0))
