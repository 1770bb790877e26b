#!/usr/bin/env bash
# The game's frames against a board, for the notes: one ranked run played in the real
# window under a virtual X server against a local board behind the slow proxy
# (tests/support/slow_proxy.py), first answering at once, then DELAY seconds late (3 by
# default); prints each run's --frame-stats line, the ratio of the longest frames, and the
# size of each call the game made (request and answer, head and body, as they crossed the
# proxy). Figures only, no limit: the machine is shared and noisy.
#   bench/board-game-figures.sh [DELAY]
set -euo pipefail
source "$(dirname "$0")/../scripts/env.sh"
source "$TAMQ_ROOT/tests/lib/x11.sh"
source "$TAMQ_ROOT/tests/lib/board-play.sh"
source "$TAMQ_ROOT/scripts/lib/local-board.sh"
delay="${1:-3}"
if [ $# -gt 1 ] || ! [[ "$delay" =~ ^[0-9]+(\.[0-9]+)?$ ]]; then
  tamq_usage "usage: bench/board-game-figures.sh [DELAY_SECONDS]"
fi
tamq_arguments_checked

tamq_install_deps
build="$(tamq_build_dir default)"
[ -f "$build/CMakeCache.txt" ] || tamq_configure default -DTAMQ_WERROR="$TAMQ_WERROR" -DTAMQ_BUILD_TESTS=ON
tamq_build default tamq tamq-board x11_close_window
game="$build/app/tamq"
"$game" --help | grep -q -- '--board ' || { echo "this build of the game has no --board" >&2; exit 1; }

work="$(mktemp -d)"
chmod 755 "$work"
cleanup() {
  x11_cleanup
  board_cleanup
  rm -rf "$work"
}
trap cleanup EXIT
board_start "$work/board" "$build/board/tamq-board" "$TAMQ_ROOT/data"
x11_start_server 1280x720x24 || { echo "Xvfb did not start" >&2; exit 1; }

# run LABEL DELAY NAME: one ranked run with the board DELAY seconds away; its frame line
# goes to $work/LABEL.txt.
run() {
  local label="$1" late="$2" name="$3" entries
  board_proxy_start "$work" "$board_url" "$late"
  : >"$work/proxy.log"
  x11_launch "$TAMQ_ROOT" "$work/$label.txt" env XDG_DATA_HOME="$work/home-$label" \
    "$game" --mute --frame-stats --board "$proxy_url"
  x11_wait_window "TAMQ 4 Pelrok" 90 || { echo "no window:" >&2; cat "$work/$label.txt" >&2; exit 1; }
  x11_focus
  # A ranked run: its token in hand first.
  tamq_poll 60 grep -q "^POST /v1/runs/start 200 " "$work/proxy.log" || { echo "$label: no token" >&2; exit 1; }
  entries="$(board_entries "$board_url" | wc -l)"
  board_start_run "$work/$label.png" || { echo "$label: no run started" >&2; exit 1; }
  board_wait_name_entry 240 "$work/$label.png" || { echo "$label: no name asked" >&2; exit 1; }
  board_type_name "$name" "$work/$label-typing.png" || { echo "$label: the name could not be typed" >&2; exit 1; }
  tamq_poll 90 board_entry_count_above "$entries" || { echo "$label: the run did not reach the board" >&2; exit 1; }
  # Its answer is logged once the proxy has passed it on, late.
  tamq_poll 60 grep -q "^POST /v1/runs 201 " "$work/proxy.log" || { echo "$label: no answer came back" >&2; exit 1; }
  "$build/tests/e2e/x11_close_window" "$window"
  x11_wait_exit 60 || { echo "$label: the game did not end" >&2; exit 1; }
  cp "$work/proxy.log" "$work/$label.calls"
  board_proxy_stop
}

echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | xargs), load $(cut -d' ' -f1-3 /proc/loadavg)"
run normal 0 ACE
run slow "$delay" BEA
normal="$(board_longest_frame "$work/normal.txt")"
slow="$(board_longest_frame "$work/slow.txt")"
echo "board answering at once:    $(board_frame_line "$work/normal.txt")"
echo "board answering ${delay} s late: $(board_frame_line "$work/slow.txt")"
awk -v n="$normal" -v s="$slow" 'BEGIN { printf "longest frame, late board / prompt board: %.2f\n", s / n }'
echo "calls of the late run (bytes; request and answer with their heads):"
awk '!seen[$1 " " $2 " " $3]++ { print "  " $0 }' "$work/slow.calls"
