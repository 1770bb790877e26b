#!/usr/bin/env bash
# Playing the real game against a board, as a player would, in the window that
# tests/lib/x11.sh drives: a run started with SPACE and left to the traffic until its
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

# board_type_name NAME FILE: each letter turned from the blank with UP (A is one press, B
# two, ...), RIGHT to the next slot; then SPACE. A fresh entry starts blank with the cursor
# on the first slot. Screenshots go to FILE and FILE.before.png.
board_type_name() {
  local name="$1" file="$2" i j steps
  local letters=" ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-_"
  # The game over fades in: the letters are watched once the picture stands still.
  x11_wait_still "$file" 20 || true
  for ((i = 0; i < ${#name}; i++)); do
    steps="${letters%%"${name:i:1}"*}"
    for ((j = 0; j < ${#steps}; j++)); do
      board_press Up "$file" || return 1
    done
    if ((i + 1 < ${#name})); then
      board_press Right "$file" || return 1
    fi
  done
  board_press space "$file"
}

# The name's slots, their underlines and the cursor, in the middle of the name entry's
# panel; nothing else moves there once the game over has faded in.
board_name_slots=580x80+350+305

# board_press KEY FILE: one press of KEY, seen to act: a press in the same frame as the one
# before, or before the game saw that one let go, counts as none, so a press that changes
# nothing within 15 seconds is made again (a loaded machine's frames and screenshots can
# take seconds: a press made again sooner may be one too many). Each press changes the
# slots (a letter, the cursor) or, for SPACE, closes the entry.
board_press() {
  local key="$1" file="$2" attempt
  x11_shot "$file.before.png"
  for attempt in 1 2 3 4 5; do
    # One xdotool call presses and lets go: held across separate calls, a loaded machine
    # can keep the key down past the arrows' repeat.
    x11_tap "$key"
    if x11_shot_until 15 "$file" x11_changed_from "$file.before.png" 0 "$board_name_slots"; then
      # A rest, so that the game sees the key let go before it is pressed again.
      sleep 0.3
      return 0
    fi
  done
  echo "board_press: $key changed nothing in $attempt presses" >&2
  return 1
}

# board_entries URL [MODE DIFFICULTY] [CURL OPTIONS...]: the board's entries as lines of
# "rank name score", of the season $board_season (all time by default).
board_entries() {
  local url="$1" mode="${2:-normal}" difficulty="${3:-hard}"
  shift 3 2>/dev/null || shift $#
  curl -sf --max-time 10 "$@" "$url/v1/boards/$mode/$difficulty?limit=100&season=${board_season:-all}" |
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

# What the end-to-end tests of the board do alike on Linux and under Wine. They set
# $root, $title and $shots (e2e_arguments), $closer (the close tool), $board_url (board_start)
# and $board_verifier, the Linux build that verifies the records the game keeps.

# board_launch NAME COMMAND...: the game COMMAND starts, in its window, drawing; its output
# goes to $shots/NAME.txt ($log).
board_launch() {
  local name="$1"
  shift
  log="$shots/$name.txt"
  x11_launch "$root" "$log" "$@"
  x11_wait_window "$title" 90 || { e2e_fail "$name: no window titled '$title'"; cat "$log" >&2; return 1; }
  x11_focus
  e2e_check "$name: nothing drawn" x11_shot_until 60 "$shots/$name-title.png" x11_drawn
}

# board_close_game NAME: the close button; the game must end by itself with 0 and print its
# frames.
board_close_game() {
  "$closer" "$window"
  x11_wait_exit 60
  e2e_check "$1: the game exited '$app_status' after close, expected 0" test "$app_status" = 0
  [ "$app_status" = 0 ] || cat "$log" >&2
  e2e_check "$1: no frame figures at exit" grep -q '^frames: ' "$log"
  echo "$1: $(board_frame_line "$log")"
}

# board_ranked_run NAME TYPED DATA_FOLDER [KEY SECONDS]: a run to its game over (steered
# with KEY for a while first, so that the players' scores differ), the name typed; then
# waits for the board to hold one more entry and checks it is this run: its name, and the
# score $board_verifier gives the run the game kept as its best in DATA_FOLDER.
# Under Wine a frame stalled while an arrow is down makes the catching-up ticks see it held,
# and it repeats into blanks: with board_name_blanks=1 the letters must be those typed.
board_ranked_run() {
  local name="$1" typed="$2" data="$3" before record verdict score remembered
  before="$(board_entries "$board_url" | wc -l)"
  e2e_check "$name: no run shown after SPACE" board_start_run "$shots/$name-run.png" || return 1
  [ $# -lt 5 ] || x11_hold "$4" "$5"
  e2e_check "$name: the game over asked no name" board_wait_name_entry 240 "$shots/$name-name.png" || return 1
  e2e_check "$name: the name could not be typed" board_type_name "$typed" "$shots/$name-typing.png"
  e2e_check "$name: the board got no new entry" tamq_poll 90 board_entry_count_above "$before"
  record="$data/tamq4pelrok/best-run-normal-hard.rec"
  cp "$record" "$shots/$name.rec" 2>/dev/null
  verdict="$(cd "$root" && env -u DISPLAY SDL_VIDEODRIVER=none-such timeout 60 "$board_verifier" --verify "$record")"
  score="$(sed -E 's/.*"score":([0-9]+).*/\1/' <<<"$verdict")"
  echo "$name: the board holds $(board_entries "$board_url" | tr '\n' ';') the Linux build verifies $verdict"
  remembered="$(board_player_name "$data")"
  local letters="$remembered"
  if [ "${board_name_blanks:-0}" = 1 ]; then
    [ "$remembered" = "$typed" ] || echo "$name: the name came out as '$remembered' (an arrow repeated after a slow frame)"
    letters="${remembered// /}"
  fi
  e2e_check "$name: player.json remembers '$remembered', not $typed" test "$letters" = "$typed"
  e2e_check "$name: no entry '$remembered $score' on the board: $(board_entries "$board_url" | tr '\n' ';')" \
    grep -Fxq "$remembered $score" <<<"$(board_entries "$board_url" | cut -d' ' -f2-)"
}

# board_daily_road NAME: the day's road as a player takes it, through a proxy that logs the
# calls: D on the title screen asks for the day's token, a run on it is named and stored on
# the day's table and not on the all-time one; the next attempt races the day's leader,
# whose record is fetched and re-played first, and the board's own re-play accepts it all
# the same: the ghost leaves the player's record as their keys made it. Needs the caller's
# play and ranked_run, and a board with a run of all time on it already.
board_daily_road() {
  local name="$1"
  mkdir -p "$work/$name"
  board_proxy_start "$work/$name" "$board_url" 0 || { e2e_fail "$name: the proxy did not start"; return; }
  daily_log="$work/$name/proxy.log"
  if play "$name" --board "$proxy_url"; then
    e2e_check "$name: the title screen does not show the board" \
      x11_shot_until 60 "$shots/$name-title.png" board_table_shown
    x11_game_key_rest
    x11_tap d
    e2e_check "$name: D asked for no token of the day" tamq_poll 30 daily_calls_over '^POST /v1/runs/start 200 ' 1
    board_season=day ranked_run "$name" DAY
    e2e_check "$name: the day's run is on the all-time table" \
      not grep -q ' DAY ' <<<"$(board_entries "$board_url")"
    e2e_check "$name: the day's leader was not fetched to ride as the ghost" \
      tamq_poll 60 daily_calls_over '^GET /v1/runs/[0-9]*/record 200 ' 0
    e2e_check "$name: no second attempt shown after SPACE" board_start_run "$shots/$name-again.png"
    e2e_check "$name: the second attempt asked no name" board_wait_name_entry 240 "$shots/$name-again-name.png"
    x11_tap space
    e2e_check "$name: the board did not accept the attempt raced against the ghost" \
      tamq_poll 90 daily_calls_over '^POST /v1/runs 201 ' 1
    e2e_check "$name: a line about the board: $(grep board: "$log")" not board_fault_in_log
    board_close_game "$name"
    echo "$name: the day's table: $(board_season=day board_entries "$board_url" | tr '\n' ';')"
  fi
  board_proxy_stop
}
daily_calls_over() { [ "$(grep -c "$1" "$daily_log")" -gt "$2" ]; }

board_entry_count_above() { [ "$(board_entries "$board_url" | wc -l)" -gt "$1" ]; }
lines_in_log() { grep -c -- "$1" "$log"; }
line_in_log() { grep -q -- "$1" "$log"; }
# A line of the board's that is not an accepted run's page address: a fault said.
board_fault_in_log() { grep -v '^board: this run: ' "$log" | grep -q '^board: '; }
not() { ! "$@"; }
