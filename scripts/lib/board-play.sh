#!/usr/bin/env bash
# Playing the real game against a board, as a player would, in the window that
# scripts/lib/x11.sh drives: a run started with SPACE and left to the traffic until its
# game over asks for a name, the name typed with the arrows and SPACE, and what the
# screen and the game's files say about the board. Sourced after x11.sh; the pictures'
# places are those of the 1280 x 720 window, origin top left.

# The name entry's heading, "ENTER YOUR NAME", over the road of the game-over screen: its
# first and last words, left and right of the lane lines, which are light too.
board_name_entry_left=110x26+405+238
board_name_entry_right=110x26+765+238
# The board's strip in the grass right of the road: the red heading "ONLINE TOP 5", then
# the entries in black, under the F2 prompt of the title screen.
board_table_region=226x300+1040+244
board_heading_region=226x30+1040+245

# board_count_pixels FILE GEOMETRY FX: how many pixels of the region meet the fx test
# (r, g, b and u, the grey level, from 0 to 1).
board_count_pixels() {
  convert "$1[$2]" -fx "($3) ? 1 : 0" -format '%[fx:round(mean*w*h)]' info: 2>/dev/null || echo 0
}

# board_name_entry_shown FILE: the name entry's heading is on the game-over screen (the
# title screen's picture is as light there: ask only after a run).
board_name_entry_shown() {
  [ "$(board_count_pixels "$1" "$board_name_entry_left" 'u > 0.6')" -gt 300 ] &&
    [ "$(board_count_pixels "$1" "$board_name_entry_right" 'u > 0.6')" -gt 300 ]
}

# board_table_shown FILE: the board's red heading, drawn only with entries to show (darker
# on the tinted title screen than at game over, red all the same).
board_table_shown() {
  [ "$(board_count_pixels "$1" "$board_heading_region" 'r > 1.6 * g && r > 0.2')" -gt 100 ]
}

# board_dark_pixels FILE: the black pixels of the board's strip: its entries' letters.
board_dark_pixels() { board_count_pixels "$1" "$board_table_region" 'u < 0.15'; }

# board_start_run FILE: taps SPACE until the window shows a run (screenshots into FILE);
# a tap seen before the game's key rest is over is tapped again.
board_start_run() { tamq_poll 90 board_tap_until space "$1" game_run_shown; }

board_tap_until() {
  x11_game_key_rest
  x11_tap "$1"
  x11_shot_until 3 "$2" "$3"
}

# board_wait_name_entry SECONDS FILE: waits for the game over of the run under way to ask
# for a name: HARD runs left alone end within seconds.
board_wait_name_entry() { x11_shot_until "$1" "$2" board_name_entry_shown; }

# board_type_name NAME: each letter turned from the blank with UP (A is one press, B two,
# ...), RIGHT to the next slot; then SPACE. A fresh entry starts blank with the cursor on
# the first slot. Each press waits for a frame or two of the game to pass: presses of one
# frame would count as one.
board_type_name() {
  local name="$1" i j steps
  local letters=" ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-_"
  for ((i = 0; i < ${#name}; i++)); do
    steps="${letters%%"${name:i:1}"*}"
    for ((j = 0; j < ${#steps}; j++)); do
      board_press Up
    done
    if ((i + 1 < ${#name})); then
      board_press Right
    fi
  done
  board_press space
}

board_press() {
  x11_hold "$1" 0.12
  sleep 0.45
}

# board_entries URL [MODE DIFFICULTY] [CURL OPTIONS...]: the board's entries as lines of
# "rank name score".
board_entries() {
  local url="$1" mode="${2:-normal}" difficulty="${3:-hard}"
  shift 3 2>/dev/null || shift $#
  curl -sf --max-time 10 "$@" "$url/v1/boards/$mode/$difficulty?limit=100" |
    python3 -c 'import json, sys
for e in json.load(sys.stdin)["entries"]:
    print(e["rank"], e["name"], int(e["score"]))'
}

# board_player_name DATA_HOME: the name player.json remembers.
board_player_name() {
  python3 -c 'import json, sys; print(json.load(open(sys.argv[1]))["name"])' "$1/tamq4pelrok/player.json" 2>/dev/null
}

# board_frame_line FILE: the --frame-stats line of a game's output.
board_frame_line() { grep -m1 '^frames: ' "$1"; }

# board_longest_frame FILE: its longest frame in milliseconds.
board_longest_frame() { board_frame_line "$1" | sed -E 's/.*longest ([0-9.]+) ms.*/\1/'; }
