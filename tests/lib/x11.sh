#!/usr/bin/env bash
# Driving the real program in a window, as a player would: a virtual X server, the
# program's window, keys, screenshots, and waits that poll for what they wait for, each
# with a bound. Sourced by the end-to-end tests, the README's screenshots and the Windows
# build's tests.
#
# It keeps its state in these variables: xvfb_pid, wm_pid, app_pid (the program started
# with x11_launch), window (its X window), app_status (its exit code, from x11_wait_exit).
# x11_cleanup ends whatever is still running; callers put it in their EXIT trap.
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/lib/common.sh"

xvfb_pid=""
wm_pid=""
app_pid=""
window=""
app_status=""

# x11_require TOOL...: exits 77, the tests' "skipped", when a tool is not installed.
x11_require() {
  local tool
  for tool in "$@"; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
  done
}

# x11_start_server SIZE (e.g. 1280x720x24): Xvfb on a display number it picks itself, so
# parallel runs never collide; exports DISPLAY. Returns 1 if it does not come up.
# -noreset: by default the server resets itself when its last client leaves, and a game
# started in that moment cannot connect ("x11 not available"), which a test that starts
# one game after another met now and then.
x11_start_server() {
  local fdfile
  fdfile="$(mktemp)"
  Xvfb -displayfd 3 -screen 0 "$1" -nolisten tcp -noreset 3>"$fdfile" 2>/dev/null &
  xvfb_pid=$!
  tamq_poll 20 x11_file_written_or_ended "$fdfile" "$xvfb_pid" || true
  local number
  number="$(head -n1 "$fdfile" | tr -d '[:space:]')"
  rm -f "$fdfile"
  if [ -z "$number" ] || ! kill -0 "$xvfb_pid" 2>/dev/null; then
    return 1
  fi
  export DISPLAY=":$number"
}

x11_file_written_or_ended() { [ -s "$1" ] || ! kill -0 "$2" 2>/dev/null; }

# x11_start_window_manager: openbox, for the requests only a window manager carries out
# (minimise, resize, activate). Returns once it manages the screen.
x11_start_window_manager() {
  openbox --sm-disable >/dev/null 2>&1 &
  wm_pid=$!
  tamq_poll 20 x11_window_manager_ready
}

x11_window_manager_ready() {
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"
}

# x11_launch FOLDER LOG COMMAND...: starts COMMAND in FOLDER, its output in LOG, as app_pid.
# SDL is left to choose its X11 driver (the tests' environment asks for the offscreen one).
x11_launch() {
  local folder="$1" log="$2"
  shift 2
  (cd "$folder" && exec env -u SDL_VIDEODRIVER "$@") >"$log" 2>&1 &
  app_pid=$!
}

x11_app_running() { [ -n "$app_pid" ] && kill -0 "$app_pid" 2>/dev/null; }

# x11_wait_window TITLE [SECONDS]: waits for a window with exactly that title and sets
# window; returns 1 at once if the program ends first, or when SECONDS (30) pass.
x11_wait_window() {
  window=""
  tamq_poll "${2:-30}" x11_window_found_or_ended "$1" || true
  # The game's clock starts once its content has loaded, a little after the window shows,
  # and keys act only a second after that: the first game key rests as if one had just acted,
  # a second later.
  x11_last_game_key=$((${EPOCHREALTIME//[!0-9]/} + 1000000))
  [ -n "$window" ]
}

x11_window_found_or_ended() {
  window="$(xdotool search --name "^$1\$" 2>/dev/null | head -n1)"
  [ -n "$window" ] || ! x11_app_running
}

# x11_focus: waits until the window is on screen and gives it the keyboard.
x11_focus() {
  tamq_poll 20 x11_map_state_is IsViewable || return 1
  xdotool windowactivate --sync "$window" 2>/dev/null ||
    xdotool windowfocus --sync "$window" 2>/dev/null || xdotool windowfocus "$window"
}

# x11_map_state_is STATE: IsViewable, IsUnMapped or IsUnviewable.
x11_map_state_is() {
  [ "$(xwininfo -id "$window" 2>/dev/null | awk '/Map State:/ {print $3}')" = "$1" ]
}

# x11_client_size: the window's client area, as WIDTHxHEIGHT.
x11_client_size() {
  xwininfo -id "$window" | awk '/^ *Width:/ {w = $2} /^ *Height:/ {h = $2} END {print w "x" h}'
}

x11_client_size_is() { [ "$(x11_client_size)" = "$1" ]; }

# x11_tap KEY: a press and release, as a typist's.
x11_tap() { xdotool key --clearmodifiers "$1"; }

# x11_hold KEY SECONDS: the key held down that long, to steer for a while. (A tap is seen
# too: a game key pressed since the game last asked counts as down once.)
x11_hold() {
  xdotool keydown "$1"
  sleep "$2"
  xdotool keyup "$1"
}

# SPACE, F1 and F2 act at most once a second of game time, and the first second of a run
# counts half: x11_game_key_rest waits until the previous game key is 1.6 s old and notes
# the new one; x11_game_key KEY [SECONDS] does that, then holds KEY for SECONDS (0.3).
x11_last_game_key=0
x11_game_key_rest() {
  local rest=$((x11_last_game_key + 1600000 - ${EPOCHREALTIME//[!0-9]/}))
  if [ "$rest" -gt 0 ]; then
    sleep "$(printf '%d.%06d' $((rest / 1000000)) $((rest % 1000000)))"
  fi
  x11_last_game_key="${EPOCHREALTIME//[!0-9]/}"
}
x11_game_key() {
  x11_game_key_rest
  x11_hold "$1" "${2:-0.3}"
}

# x11_shot FILE [WINDOW]: a screenshot of the window (of the whole screen with "root"); PNGs
# are written with the fastest compression, since the waits take many.
# A server that stops answering must not hold a test for ever: import has 20 seconds.
x11_shot() {
  local status=0
  timeout 20 import -window "${2:-$window}" -quality 10 "$1" 2>/dev/null || status=$?
  if [ "$status" = 124 ]; then
    echo "x11_shot: no screenshot of ${2:-$window} within 20 s; the X server does not answer" >&2
  fi
  return "$status"
}

# x11_difference A B [GEOMETRY]: how many pixels differ between two pictures, within
# GEOMETRY (WxH+X+Y) when given.
x11_difference() {
  local crop="${3:+[$3]}"
  compare -metric AE "$1$crop" "$2$crop" null: 2>&1 | awk '{print int($1)}'
}

# x11_differs A B PIXELS [GEOMETRY]: more than PIXELS pixels differ.
x11_differs() { [ "$(x11_difference "$1" "$2" "${4:-}")" -gt "$3" ] 2>/dev/null; }

# x11_brightness FILE [GEOMETRY]: mean brightness, 0 to 1.
x11_brightness() {
  convert "$1${2:+[$2]}" -colorspace Gray -format '%[fx:mean]' info:
}

# x11_shot_until SECONDS FILE CONDITION [ARGUMENTS...]: screenshots of the window into FILE
# until CONDITION FILE ARGUMENTS... holds. Returns 1 when SECONDS pass first; FILE keeps the
# last picture, to look at.
x11_shot_until() {
  local seconds="$1" file="$2"
  shift 2
  tamq_poll "$seconds" x11_shot_and_test "$file" "$@"
}

x11_shot_and_test() {
  local file="$1" condition="$2"
  shift 2
  x11_shot "$file" && "$condition" "$file" "$@"
}

# Conditions for x11_shot_until.
# x11_drawn FILE: a frame reached the screen (the game's clear colour is white, so a drawn
# frame is never all black).
x11_drawn() { awk -v m="$(x11_brightness "$1")" 'BEGIN { exit !(m > 0.01) }'; }
# x11_changed_from FILE REFERENCE [PIXELS] [GEOMETRY]: more than PIXELS (0) pixels differ.
x11_changed_from() { x11_differs "$1" "$2" "${3:-0}" "${4:-}"; }
# x11_same_as_before FILE: the same picture as the previous call's (the picture stands still).
x11_same_as_before() {
  local previous="$1.before.png" same=1
  [ -f "$previous" ] && [ "$(x11_difference "$1" "$previous")" = 0 ] && same=0
  cp "$1" "$previous"
  return $same
}

# game_run_shown FILE: the game's window shows a run: the left verge is plain green, where
# the title screen, a recovery and a game over tint it.
game_run_shown() {
  local means
  means="$(convert "$1[240x200+20+300]" -format '%[fx:mean.r] %[fx:mean.g]' info:)"
  awk -v m="$means" 'BEGIN { split(m, c, " "); exit !(c[2] > 1.4 * c[1]) }'
}

# x11_wait_still FILE [SECONDS]: waits until two screenshots in a row are identical.
x11_wait_still() {
  rm -f "$1.before.png"
  local status=0
  x11_shot_until "${2:-10}" "$1" x11_same_as_before || status=$?
  rm -f "$1.before.png"
  return $status
}

# x11_wait_exit SECONDS: waits for the launched program to end and sets app_status to its
# exit code; returns 1, with app_status "still running", if it does not end in time.
x11_wait_exit() {
  app_status="still running"
  tamq_poll "$1" x11_app_ended || return 1
  app_status=0
  wait "$app_pid" || app_status=$?
  app_pid=""
}

x11_app_ended() { ! x11_app_running; }

# x11_cleanup: ends the program, the window manager and the X server, whichever run.
x11_cleanup() {
  local pid
  for pid in "$app_pid" "$wm_pid" "$xvfb_pid"; do
    if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
      kill "$pid" 2>/dev/null || true
      wait "$pid" 2>/dev/null || true
    fi
  done
  app_pid=""
  wm_pid=""
  xvfb_pid=""
}

# x11_wine_appdata: the Windows user's data folder of the Wine prefix (WINEPREFIX), as a
# path on this side of Wine.
x11_wine_appdata() {
  local windows
  windows="$(wine cmd /c echo %APPDATA% 2>/dev/null | tr -d '\r')"
  [ -n "$windows" ] && [ "$windows" != "%APPDATA%" ] && winepath -u "$windows" 2>/dev/null
}

# e2e_arguments GAME PROJECT_ROOT SCREENSHOT_DIR [CLOSE_TOOL]: the end-to-end tests' own
# arguments, as game, root, shots and closer; also sets the window's title and makes the
# screenshot folder.
e2e_arguments() {
  game="$(realpath "$1")"
  root="$(realpath "$2")"
  shots="$3"
  closer="${4:+$(realpath "$4")}"
  title="TAMQ 4 Pelrok"
  mkdir -p "$shots"
  # The game keeps its best scores in the player's data folder: a scratch one here.
  export XDG_DATA_HOME="$(realpath "$shots")/data-home"
}

# Counted checks for the end-to-end tests: e2e_check DESCRIPTION COMMAND... passes when
# COMMAND succeeds and reports DESCRIPTION when it fails; e2e_fail DESCRIPTION is a failed
# check; e2e_summary NAME prints the counts and fails if any check did.
e2e_passes=0
e2e_failures=0
e2e_fail() {
  echo "FAIL: $*" >&2
  e2e_failures=$((e2e_failures + 1))
}
e2e_check() {
  local what="$1"
  shift
  if "$@"; then
    e2e_passes=$((e2e_passes + 1))
  else
    e2e_fail "$what"
  fi
}
e2e_summary() {
  echo "$1: $e2e_passes passed, $e2e_failures failed"
  [ "$e2e_failures" -eq 0 ]
}
