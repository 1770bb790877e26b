#!/usr/bin/env bash
# Plays the real program like a person would: under a virtual X server, find the window
# by its title, press keys, take screenshots, close the window and check the exit code.
#
# Usage: run_e2e.sh GAME_BINARY PROJECT_ROOT SCREENSHOT_DIR CLOSE_TOOL
# Exit codes: 0 passed, 1 failed, 77 skipped (no Xvfb or xdotool here).
#
# To add a scenario step, call the functions below from scenario(): key NAME, shot NAME,
# hold NAME SECONDS, expect_running.
set -uo pipefail
source "$(dirname "$0")/xvfb.sh"

game="$(realpath "$1")"
root="$2"
shots="$3"
closer="$(realpath "$4")"
title="TAMQ 4 Pelrok"

xvfb_pid=""
game_pid=""
window=""
failures=0

fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

cleanup() {
    if [ -n "$game_pid" ] && kill -0 "$game_pid" 2>/dev/null; then
        kill "$game_pid" 2>/dev/null
        wait "$game_pid" 2>/dev/null
    fi
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null
        wait "$xvfb_pid" 2>/dev/null
    fi
}
trap cleanup EXIT

# Start-up failure needs no display: with no usable video driver the window cannot be
# made, and the program must say so and exit 1 (its message box has nowhere to show).
check_startup_failure() {
    local err status
    err="$(cd "$root" && env -u DISPLAY -u WAYLAND_DISPLAY SDL_VIDEODRIVER=none-such \
        timeout 30 "$game" 2>&1 >/dev/null)"
    status=$?
    [ "$status" -eq 1 ] || fail "start-up failure exited $status, expected 1"
    grep -q "Unable to create the OpenGL Window" <<<"$err" ||
        fail "start-up failure did not report itself: $err"
}

# A virtual X server on a display number it picks itself, so parallel runs never collide.
start_display() {
    start_xvfb 1280x720x24 || { fail "Xvfb did not start"; return 1; }
}

start() {
    (cd "$root" && exec env -u SDL_VIDEODRIVER "$game") 2>"$shots/stderr.txt" &
    game_pid=$!
    window="$(timeout 30 xdotool search --sync --name "^${title}\$" | head -n1)"
    [ -n "$window" ] || { fail "no window titled '$title'"; cat "$shots/stderr.txt" >&2; return 1; }
    xdotool windowfocus --sync "$window" 2>/dev/null || xdotool windowfocus "$window"
}

check_client_size() {
    local info width height
    info="$(xwininfo -id "$window")"
    width="$(awk '/^ *Width:/ {print $2}' <<<"$info")"
    height="$(awk '/^ *Height:/ {print $2}' <<<"$info")"
    [ "$width" = 1280 ] && [ "$height" = 720 ] || fail "client area ${width}x${height}, expected 1280x720"
}

expect_running() {
    kill -0 "$game_pid" 2>/dev/null || fail "the game is no longer running"
}

key() {
    xdotool key --clearmodifiers "$1"
    sleep 0.3
}

hold() {
    xdotool keydown "$1"
    sleep "$2"
    xdotool keyup "$1"
}

shot() {
    local file="$shots/$1.png"
    sleep 0.5
    import -window root "$file" || { fail "screenshot $1 failed"; return; }
    local size mean
    size="$(identify -format '%wx%h' "$file")"
    [ "$size" = 1280x720 ] || fail "screenshot $1 is $size"
    # The clear colour is white, so a frame that reached the screen is never all black.
    mean="$(convert "$file" -format '%[fx:mean]' info:)"
    awk -v m="$mean" 'BEGIN { exit !(m > 0.01) }' || fail "screenshot $1 is black"
}

# The close button: WM_DELETE_WINDOW, then the process must end by itself with 0.
close() {
    "$closer" "$window" || fail "could not send the close request"
    local tries=0
    while kill -0 "$game_pid" 2>/dev/null && [ $tries -lt 100 ]; do
        sleep 0.1
        tries=$((tries + 1))
    done
    if kill -0 "$game_pid" 2>/dev/null; then
        fail "the game did not end after the close request"
        return
    fi
    local status=0
    wait "$game_pid" || status=$?
    game_pid=""
    [ "$status" -eq 0 ] || { fail "the game exited $status after close"; cat "$shots/stderr.txt" >&2; }
}

# Mean brightness (0..1) of a screenshot's region, origin top left.
region_mean() {
    convert "$shots/$1.png" -crop "$4x$5+$2+$3" +repage -colorspace Gray -format '%[fx:mean]' info:
}

# Darkest value (0..1) in a screenshot's region.
region_min() {
    convert "$shots/$1.png" -crop "$4x$5+$2+$3" +repage -colorspace Gray -format '%[fx:minima]' info:
}

# Whether one screenshot pixel is a heart's red.
is_red() {
    local rgb
    rgb="$(convert "$shots/$1.png" -format '%[fx:int(255*p{'"$2,$3"'}.r)] %[fx:int(255*p{'"$2,$3"'}.g)] %[fx:int(255*p{'"$2,$3"'}.b)]' info:)"
    awk -v c="$rgb" 'BEGIN { split(c, v, " "); exit !(v[1] > 150 && v[2] < 110 && v[3] < 110) }'
}

# Number of pixels that differ between two screenshots.
difference() {
    compare -metric AE "$shots/$1.png" "$shots/$2.png" null: 2>&1 | awk '{print int($1)}'
}

brighter() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a > b) }'; }

# A key held long enough for a frame to see it; game keys then need a second's gap.
act() {
    hold "$1" 0.3
    sleep 1.2
}

scenario() {
    start || return
    check_client_size
    sleep 1.2
    shot title
    # The title screen: the start prompt's black letters along the bottom, no truck yet.
    brighter 0.1 "$(region_min title 420 645 520 40)" || fail "no start prompt on the title screen"
    act F1
    act space
    shot run
    # A run in EASY: the truck (its white container) in the middle, three hearts.
    brighter "$(region_mean run 625 330 30 60)" 0.5 || fail "no truck in the middle of the road"
    brighter "$(region_min run 420 645 520 40)" 0.15 || fail "the start prompt is still shown"
    for x in 80 140 200; do
        is_red run "$x" 150 || fail "no heart at x $x"
    done
    ! is_red run 260 150 || fail "a fourth heart"
    sleep 0.5
    shot run_later
    [ "$(difference run run_later)" -gt 1000 ] || fail "the road does not move"
    act F2
    shot random
    # The mode text in the top left now reads RANDOM.
    [ "$(difference run random)" -gt 0 ] || fail "no change after F2"
    convert "$shots/run.png" -crop 360x50+30+60 +repage "$shots/mode_normal.png"
    convert "$shots/random.png" -crop 360x50+30+60 +repage "$shots/mode_random.png"
    [ "$(difference mode_normal mode_random)" -gt 100 ] || fail "the mode text did not change"
    hold Left 0.6
    hold Up 0.3
    hold Right 0.2
    hold Down 0.2
    key Escape
    expect_running
    shot paused
    sleep 1
    shot paused_later
    [ "$(difference paused paused_later)" -eq 0 ] || fail "the picture moves while paused"
    key Escape
    sleep 0.5
    shot resumed
    [ "$(difference paused resumed)" -gt 1000 ] || fail "the game did not resume"
    expect_running
    close
}

for tool in Xvfb xdotool xwininfo import identify convert; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
mkdir -p "$shots"
check_startup_failure
start_display && scenario

if [ "$failures" -ne 0 ]; then
    echo "end-to-end: $failures failure(s)" >&2
    exit 1
fi
echo "end-to-end: passed (screenshots in $shots)"
