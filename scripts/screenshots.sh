#!/usr/bin/env bash
# Plays the real game under a virtual X server and saves the README's pictures:
# the title screen, a run with its HUD, and a game over. Build first (./run.sh or ./test.sh).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
game="$root/build/app/tamq"
out="$root/docs/images"
[ -x "$game" ] || { echo "build the game first: $game is missing" >&2; exit 1; }
mkdir -p "$out"

fdfile="$(mktemp)"
Xvfb -displayfd 3 -screen 0 1280x720x24 -nolisten tcp 3>"$fdfile" 2>/dev/null &
xvfb=$!
trap 'kill $game_pid $xvfb 2>/dev/null; rm -f "$fdfile"' EXIT
while [ ! -s "$fdfile" ]; do sleep 0.1; done
export DISPLAY=":$(head -n1 "$fdfile" | tr -d '[:space:]')"

(cd "$root" && exec env -u SDL_VIDEODRIVER "$game") &
game_pid=$!
window="$(timeout 30 xdotool search --sync --name '^TAMQ 4 Pelrok$' | head -n1)"
xdotool windowfocus "$window" 2>/dev/null || true

hold() { xdotool keydown "$1"; sleep "$2"; xdotool keyup "$1"; }
shot() { import -window root -resize 960x540 -quality 88 "$out/$1.jpg"; echo "saved $out/$1.jpg"; }

sleep 4
shot title
# A run in EASY: the first cars pass either side of a truck that keeps to the middle.
hold F1 0.15
sleep 1.2
hold space 0.15
sleep 6.4
shot play
# Back to HARD and straight into the first car on the left: game over.
hold F1 0.15
sleep 2.5
hold Left 1.6
sleep 4
shot gameover
