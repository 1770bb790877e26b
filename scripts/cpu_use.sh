#!/usr/bin/env bash
# How much of a core the game uses on the title screen, in a run and paused: the real
# program in a real window under a virtual X server (Mesa's llvmpipe), 10 seconds each,
# processor time of the whole process (rasteriser threads included) from /proc.
#
#   scripts/cpu_use.sh [GAME_BINARY]    default build/app/tamq; run from anywhere
#   TAMQ_CPU_SECONDS=5 scripts/cpu_use.sh
# Figures depend on the machine and its load: compare them only within one run.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
game="$(realpath "${1:-$root/build/app/tamq}")"
seconds="${TAMQ_CPU_SECONDS:-10}"
title="TAMQ 4 Pelrok"
source "$root/tests/e2e/xvfb.sh"

xvfb_pid=""
game_pid=""
cleanup() {
    for pid in "$game_pid" "$xvfb_pid"; do
        if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
            kill "$pid" 2>/dev/null || true
            wait "$pid" 2>/dev/null || true
        fi
    done
}
trap cleanup EXIT

# Processor ticks (user + system) of a process so far.
ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }

# measure NAME: the share of one core the game and the X server used over $seconds.
measure() {
    local game_before xvfb_before
    game_before="$(ticks "$game_pid")"
    xvfb_before="$(ticks "$xvfb_pid")"
    sleep "$seconds"
    awk -v name="$1" -v g="$(( $(ticks "$game_pid") - game_before ))" \
        -v x="$(( $(ticks "$xvfb_pid") - xvfb_before ))" -v hz="$(getconf CLK_TCK)" -v s="$seconds" \
        'BEGIN { printf "%-12s game %6.1f %% of a core   X server %6.1f %%\n", name, 100 * g / hz / s, 100 * x / hz / s }'
}

hold() {
    xdotool keydown "$1"
    sleep 0.4
    xdotool keyup "$1"
}

start_xvfb 1280x720x24 || { echo "cpu_use.sh: Xvfb did not start" >&2; exit 1; }
(cd "$root" && exec env -u SDL_VIDEODRIVER "$game") >/dev/null 2>&1 &
game_pid=$!
window="$(timeout 30 xdotool search --sync --name "^${title}\$" | head -n1)"
[ -n "$window" ] || { echo "cpu_use.sh: no game window" >&2; exit 1; }
xdotool windowfocus --sync "$window" 2>/dev/null || xdotool windowfocus "$window"
echo "$(basename "$game"), ${seconds} s each, load average $(cut -d' ' -f1-3 /proc/loadavg)"
sleep 1
measure "title"
hold space
sleep 1
measure "run"
xdotool key Escape
sleep 1
measure "paused"
