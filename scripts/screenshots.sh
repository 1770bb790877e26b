#!/usr/bin/env bash
# Plays the real game under a virtual X server and saves the README's pictures:
# the title screen, a run with its HUD, and a game over. Build first (./run.sh or ./test.sh).
set -euo pipefail
source "$(dirname "$0")/../tests/lib/x11.sh"
source "$(dirname "$0")/lib/build.sh"
[ $# = 0 ] || tamq_usage "usage: scripts/screenshots.sh"
tamq_arguments_checked
game="$(tamq_build_dir default)/app/tamq"
out="$TAMQ_ROOT/docs/images"
[ -x "$game" ] || { echo "build the game first: $game is missing" >&2; exit 1; }
x11_require Xvfb xdotool xwininfo import convert
mkdir -p "$out"
work="$(mktemp -d)"
trap 'x11_cleanup; rm -rf "$work"' EXIT
# Best scores go to a scratch data folder, never the player's own.
export XDG_DATA_HOME="$work/data-home"

x11_start_server 1280x720x24 || { echo "Xvfb did not start" >&2; exit 1; }
x11_launch "$TAMQ_ROOT" "$work/game.log" "$game"
x11_wait_window "TAMQ 4 Pelrok" || { echo "the game showed no window:" >&2; cat "$work/game.log" >&2; exit 1; }
x11_focus

# save NAME: the picture as the README shows it.
save() {
  convert "$work/$1.png" -resize 960x540 -quality 88 "$out/$1.jpg"
  echo "saved $out/$1.jpg"
}
# game_over_shown FILE: the frozen, faded scene of a game over.
game_over_shown() { ! game_run_shown "$1" && x11_same_as_before "$1"; }
# until SECONDS NAME CONDITION: screenshots until CONDITION holds, or gives up saying so.
until_shown() {
  x11_shot_until "$1" "$work/$2.png" "$3" || { echo "no $2 picture after $1 s: $3" >&2; exit 1; }
}

# The moments below are the pictures' composition, in seconds of play: the title screen
# once its first random cars are on the road, then a run in EASY as the first scripted
# cars pass either side of a truck that keeps to the middle.
until_shown 30 title x11_drawn
sleep 4
x11_shot "$work/title.png"
save title
x11_game_key F1 0.15
x11_game_key space 0.15
until_shown 30 play game_run_shown
sleep 6
x11_shot "$work/play.png"
save play
# Back to HARD, past the new run's two safe seconds (the first at half speed), and
# straight into the first car on the left, until the scene freezes.
x11_game_key F1 0.15
sleep 2.5
x11_hold Left 1.6
until_shown 60 gameover game_over_shown
save gameover
