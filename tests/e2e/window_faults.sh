#!/usr/bin/env bash
# Window faults with the real program under a virtual X server and a small window manager:
# minimise and restore, resize to 640 x 480 and back, close during a run and during a
# pause, ESC held with auto-repeat. Every run must end with exit code 0 and no sanitizer
# report on standard error.
#
# Usage: window_faults.sh GAME_BINARY PROJECT_ROOT SCREENSHOT_DIR CLOSE_TOOL
# Exit codes: 0 passed, 1 failed, 77 skipped (a needed tool is not installed).
set -uo pipefail
source "$(dirname "$0")/xvfb.sh"

game="$(realpath "$1")"
root="$2"
shots="$3"
closer="$(realpath "$4")"
title="TAMQ 4 Pelrok"

xvfb_pid=""
wm_pid=""
game_pid=""
window=""
failures=0
run=0

fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

cleanup() {
    for pid in "$game_pid" "$wm_pid" "$xvfb_pid"; do
        if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
            kill "$pid" 2>/dev/null
            wait "$pid" 2>/dev/null
        fi
    done
}
trap cleanup EXIT

start_display() {
    start_xvfb 1600x900x24 || { fail "Xvfb did not start"; return 1; }
    # Minimising and resizing are requests to a window manager; without one nothing happens.
    openbox --sm-disable >/dev/null 2>&1 &
    wm_pid=$!
    sleep 1
    # Key auto-repeat as on a desktop: a held key sends a press every 30 ms after 250 ms.
    xset r on
    xset r rate 250 33
}

start() {
    run=$((run + 1))
    (cd "$root" && exec env -u SDL_VIDEODRIVER "$game") 2>"$shots/stderr-$run.txt" &
    game_pid=$!
    window="$(timeout 30 xdotool search --sync --name "^${title}\$" | head -n1)"
    [ -n "$window" ] || { fail "run $run: no window titled '$title'"; cat "$shots/stderr-$run.txt" >&2; return 1; }
    xdotool windowactivate --sync "$window" 2>/dev/null || xdotool windowfocus "$window"
    sleep 0.5
}

expect_running() {
    kill -0 "$game_pid" 2>/dev/null || fail "run $run: the game is no longer running ($1)"
}

key() {
    xdotool key --clearmodifiers "$1"
    sleep 0.3
}

# The rules poll held keys once a frame, so a start needs a press longer than a tap.
hold() {
    xdotool keydown "$1"
    sleep "$2"
    xdotool keyup "$1"
}

client_size() {
    xwininfo -id "$window" | awk '/^ *Width:/ {w=$2} /^ *Height:/ {h=$2} END {print w "x" h}'
}

map_state() {
    xwininfo -id "$window" | awk '/Map State:/ {print $3}'
}

# The window's own picture; prints the mean of each quarter (top left, top right, bottom
# left, bottom right), so a stretched picture can be told from a cropped one.
window_shot() {
    local file="$shots/$1.png"
    sleep 0.6
    import -window "$window" "$file" 2>/dev/null || { fail "screenshot $1 failed"; return 1; }
    convert "$file" -resize 2x2\! -colorspace gray -format '%[fx:p{0,0}] %[fx:p{1,0}] %[fx:p{0,1}] %[fx:p{1,1}]' info:
}

close_and_expect_zero() {
    "$closer" "$window" || fail "run $run: could not send the close request"
    local tries=0
    while kill -0 "$game_pid" 2>/dev/null && [ $tries -lt 150 ]; do
        sleep 0.1
        tries=$((tries + 1))
    done
    if kill -0 "$game_pid" 2>/dev/null; then
        fail "run $run ($1): the game did not end after the close request"
        return
    fi
    local status=0
    wait "$game_pid" || status=$?
    game_pid=""
    [ "$status" -eq 0 ] || fail "run $run ($1): exit code $status"
    if grep -qE "AddressSanitizer|LeakSanitizer|runtime error:|UndefinedBehaviorSanitizer" "$shots/stderr-$run.txt"; then
        fail "run $run ($1): sanitizer report"
        cat "$shots/stderr-$run.txt" >&2
    fi
}

# Minimise and restore, then 640 x 480 and back, all during a run.
scenario_minimise_and_resize() {
    start || return
    sleep 1
    hold space 0.4
    sleep 1
    local full small back
    full="$(window_shot run-full)" || return
    xdotool windowminimize --sync "$window" 2>/dev/null || xdotool windowminimize "$window"
    sleep 1
    [ "$(map_state)" = IsUnMapped ] || fail "minimise: the window is still $(map_state)"
    expect_running "minimised"
    sleep 1
    xdotool windowactivate --sync "$window" 2>/dev/null || xdotool windowmap --sync "$window"
    sleep 1
    [ "$(map_state)" = IsViewable ] || fail "restore: the window is $(map_state)"
    expect_running "restored"
    window_shot restored > /dev/null

    xdotool windowsize --sync "$window" 640 480 2>/dev/null || xdotool windowsize "$window" 640 480
    sleep 1
    [ "$(client_size)" = 640x480 ] || fail "resize: client area $(client_size), expected 640x480"
    expect_running "at 640 x 480"
    small="$(window_shot run-640x480)" || return
    # The same scene stretched: each quarter keeps its brightness. A picture left at
    # 1280 x 720 would show only its lower-left part and change the quarters.
    awk -v a="$full" -v b="$small" 'BEGIN {
        split(a, x, " "); split(b, y, " ");
        for (i = 1; i <= 4; i++) { d = x[i] - y[i]; if (d < 0) d = -d; if (d > 0.12) exit 1 }
    }' || fail "the 640 x 480 picture is not the stretched scene: quarters $small, full size $full"

    xdotool windowsize --sync "$window" 1280 720 2>/dev/null || xdotool windowsize "$window" 1280 720
    sleep 1
    [ "$(client_size)" = 1280x720 ] || fail "resize back: client area $(client_size)"
    back="$(window_shot run-back-to-full)" || return
    awk -v a="$full" -v b="$back" 'BEGIN {
        split(a, x, " "); split(b, y, " ");
        for (i = 1; i <= 4; i++) { d = x[i] - y[i]; if (d < 0) d = -d; if (d > 0.12) exit 1 }
    }' || fail "the picture back at 1280 x 720 differs: quarters $back, first $full"
    expect_running "back at 1280 x 720"
    close_and_expect_zero "closed during a run"
}

scenario_close_while_paused() {
    start || return
    sleep 1
    hold space 0.4
    sleep 1
    key Escape
    expect_running "paused"
    close_and_expect_zero "closed during a pause"
}

# ESC held: with auto-repeat the pause toggles many times a second.
scenario_escape_held() {
    start || return
    sleep 1
    hold space 0.4
    xdotool keydown Escape
    sleep 2
    xdotool keyup Escape
    # And a burst of presses faster than frames.
    xdotool key --delay 5 --repeat 40 Escape
    sleep 0.5
    expect_running "after ESC held"
    close_and_expect_zero "ESC held with auto-repeat"
}

for tool in Xvfb xdotool xwininfo xset import convert openbox; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
mkdir -p "$shots"
start_display || exit 1
scenario_minimise_and_resize
scenario_close_while_paused
scenario_escape_held

if [ "$failures" -ne 0 ]; then
    echo "window faults: $failures failure(s)" >&2
    exit 1
fi
echo "window faults: passed (screenshots in $shots)"
