#!/usr/bin/env bash
# The longest frame around a game over that saves a new best, with every fsync of the game
# held back 200 ms (strace's fault injection), as on a slow disk: the real program in a
# window under a virtual X server, a HARD run in a fresh data folder (its first game over
# is always a best: best.json and the run's record are written), then the game's own
# --frame-stats line.
#
#   bench/gameover-frame.sh [GAME_BINARY]    default build/app/tamq
set -euo pipefail
source "$(dirname "$0")/../scripts/env.sh"
source "$TAMQ_ROOT/tests/lib/x11.sh"
[ $# = 0 ] || { [ $# = 1 ] && [ -x "$1" ]; } || tamq_usage "usage: bench/gameover-frame.sh [GAME_BINARY]"
tamq_arguments_checked
game="$(realpath "${1:-$TAMQ_ROOT/build/app/tamq}")"
[ -x "$game" ] || { echo "gameover-frame.sh: no game at $game; build it first" >&2; exit 1; }
tamq_install_packages xvfb xdotool x11-utils strace
work="$(mktemp -d)"
trap 'x11_cleanup; rm -rf "$work"' EXIT

x11_start_server 1280x720x24 || { echo "gameover-frame.sh: Xvfb did not start" >&2; exit 1; }
x11_launch "$TAMQ_ROOT" "$work/game.log" env XDG_DATA_HOME="$work/home" \
  strace -f --seccomp-bpf -qq -o /dev/null -e trace=fsync -e inject=fsync:delay_exit=200000 "$game" --mute --frame-stats
x11_wait_window "TAMQ 4 Pelrok" 90 || { echo "gameover-frame.sh: no game window" >&2; cat "$work/game.log" >&2; exit 1; }
x11_focus
x11_game_key space
# A HARD run left alone ends at the first car the bar meets; the best is saved then.
best="$work/home/tamq4pelrok/best.json"
tamq_poll 240 test -s "$best" || { echo "gameover-frame.sh: no game over within 4 minutes" >&2; exit 1; }
sleep 2
# The game is strace's child: the signal goes to it, and strace ends with it.
kill -TERM "$(pgrep -P "$app_pid" | head -1)"
x11_wait_exit 60 || { echo "gameover-frame.sh: the game did not end" >&2; exit 1; }
line="$(grep '^frames: ' "$work/game.log")" || { echo "gameover-frame.sh: no frame line" >&2; exit 1; }
echo "$(basename "$game"), every fsync 200 ms late, load average $(cut -d' ' -f1-3 /proc/loadavg): $line"
