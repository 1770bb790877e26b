#!/usr/bin/env bash
# How much of a core the game uses on the title screen, in a run and paused: the real
# program in a real window under a virtual X server (Mesa's llvmpipe), 10 seconds each,
# processor time of the whole process (rasteriser threads included) from /proc; then the
# frames drawn a second while not paused (the game's --frame-stats, ended by SIGTERM).
#
#   bench/cpu_use.sh [GAME_BINARY]    default build/app/tamq; run from anywhere
#   TAMQ_CPU_SECONDS=5 bench/cpu_use.sh
# Figures depend on the machine and its load: compare them only within one run.
set -euo pipefail
source "$(dirname "$0")/../scripts/env.sh"
source "$TAMQ_ROOT/tests/lib/x11.sh"
[ $# = 0 ] || { [ $# = 1 ] && [ -x "$1" ]; } || tamq_usage "usage: bench/cpu_use.sh [GAME_BINARY]"
tamq_arguments_checked
game="$(realpath "${1:-$TAMQ_ROOT/build/app/tamq}")"
seconds="${TAMQ_CPU_SECONDS:-10}"
[ -x "$game" ] || { echo "cpu_use.sh: no game at $game; build it first (./test.sh)" >&2; exit 1; }
tamq_install_packages xvfb xdotool x11-utils
work="$(mktemp -d)"
trap 'x11_cleanup; rm -rf "$work"' EXIT

# Processor ticks (user + system) of a process so far.
ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }

# measure NAME: the share of one core the game and the X server used over $seconds.
measure() {
  local game_before xvfb_before
  game_before="$(ticks "$app_pid")"
  xvfb_before="$(ticks "$xvfb_pid")"
  sleep "$seconds"
  awk -v name="$1" -v g="$(($(ticks "$app_pid") - game_before))" \
    -v x="$(($(ticks "$xvfb_pid") - xvfb_before))" -v hz="$(getconf CLK_TCK)" -v s="$seconds" \
    'BEGIN { printf "%-12s game %6.1f %% of a core   X server %6.1f %%\n", name, 100 * g / hz / s, 100 * x / hz / s }'
}

x11_start_server 1280x720x24 || { echo "cpu_use.sh: Xvfb did not start" >&2; exit 1; }
# launch: the game in its window, with the keyboard; its lines in $work/game.log.
launch() {
  x11_launch "$TAMQ_ROOT" "$work/game.log" "$game" --frame-stats
  x11_wait_window "TAMQ 4 Pelrok" || { echo "cpu_use.sh: no game window" >&2; exit 1; }
  x11_focus
}

launch
started="$EPOCHREALTIME"
echo "$(basename "$game"), ${seconds} s each, load average $(cut -d' ' -f1-3 /proc/loadavg)"
sleep 1
measure "title"
x11_game_key space
sleep 1
measure "run"
kill -TERM "$app_pid"
x11_wait_exit 30 || { echo "cpu_use.sh: the game did not end" >&2; exit 1; }
ended="$EPOCHREALTIME"
frames="$(sed -n 's/^frames: \([0-9]*\),.*/\1/p' "$work/game.log")"
[ -n "$frames" ] || { echo "cpu_use.sh: no frame line from the game" >&2; exit 1; }
awk -v f="$frames" -v a="$started" -v e="$ended" \
  'BEGIN { printf "frames       %d in %.1f s on the title screen and in the run: %.0f a second\n", f, e - a, f / (e - a) }'
# The pause draws nothing: its own launch, so that its waits are not counted as frames.
launch
x11_tap Escape
sleep 1
measure "paused"
