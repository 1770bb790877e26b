#!/usr/bin/env bash
# Plays the real program like a person would: under a virtual X server, find the window
# by its title, press keys, take screenshots, close the window and check the exit code.
#
# Usage: run_e2e.sh GAME_BINARY PROJECT_ROOT SCREENSHOT_DIR CLOSE_TOOL
# Exit codes: 0 passed, 1 failed, 77 skipped (no Xvfb or xdotool here).
#
# A scenario step presses keys (x11_game_key, x11_hold, x11_tap from tests/lib/x11.sh),
# then waits for the picture to show the effect (x11_shot_until) and checks it (e2e_check).
set -uo pipefail
source "$(dirname "$0")/../../tests/lib/x11.sh"

e2e_arguments "$@"
trap x11_cleanup EXIT

# Start-up failure needs no display: with no usable video driver the window cannot be
# made, and the program must say so and exit 1 (its message box has nowhere to show).
check_startup_failure() {
    local err status
    err="$(cd "$root" && env -u DISPLAY -u WAYLAND_DISPLAY SDL_VIDEODRIVER=none-such \
        timeout 30 "$game" 2>&1 >/dev/null)"
    status=$?
    e2e_check "start-up failure exited $status, expected 1" test "$status" -eq 1
    e2e_check "start-up failure did not report itself: $err" \
        grep -q "Unable to create the OpenGL Window" <<<"$err"
}

start() {
    x11_launch "$root" "$shots/stderr.txt" "$game"
    x11_wait_window "$title" || { e2e_fail "no window titled '$title'"; cat "$shots/stderr.txt" >&2; return 1; }
    x11_focus
}

# Conditions on a screenshot, all in window pixels with the origin top left.
# darkest FILE GEOMETRY THRESHOLD: the darkest pixel of a region is below THRESHOLD (0..1).
darkest_below() {
    awk -v m="$(convert "$1[$2]" -colorspace Gray -format '%[fx:minima]' info:)" -v t="$3" \
        'BEGIN { exit !(m < t) }'
}
# The start prompt's black letters along the bottom of the title screen.
prompt_shown() { darkest_below "$1" 520x40+420+645 0.1; }
# A run: the truck's white container in the middle of the road and no start prompt.
run_shown() {
    awk -v m="$(x11_brightness "$1" 30x60+625+330)" 'BEGIN { exit !(m > 0.5) }' &&
        ! darkest_below "$1" 520x40+420+645 0.15
}
# Whether one pixel is a heart's red.
is_red() {
    local rgb
    rgb="$(convert "$1" -format "%[fx:int(255*p{$2,$3}.r)] %[fx:int(255*p{$2,$3}.g)] %[fx:int(255*p{$2,$3}.b)]" info:)"
    awk -v c="$rgb" 'BEGIN { split(c, v, " "); exit !(v[1] > 150 && v[2] < 110 && v[3] < 110) }'
}
three_hearts() {
    is_red "$1" 80 150 && is_red "$1" 140 150 && is_red "$1" 200 150 && ! is_red "$1" 260 150
}
not() { ! "$@"; }

easy_run_shown() { run_shown "$1" && three_hearts "$1"; }

# tap_until KEY CONDITION: taps the game key and looks for three seconds for a picture that
# meets the condition. A game key acts a second of game time after the one before, and a
# frame counts at most a tenth of a second: on a loaded machine the game's second lasts
# longer than the test's rest, and the tap comes too early. (F1 switches back and forth, so
# a tap seen late is followed by another until the picture shows EASY.)
tap_until() {
    x11_game_key_rest
    x11_tap "$1"
    x11_shot_until 3 "$shots/run.png" "$2"
}

scenario() {
    start || return
    e2e_check "client area $(x11_client_size), expected 1280x720" x11_client_size_is 1280x720

    e2e_check "no start prompt on the title screen" \
        x11_shot_until 30 "$shots/title.png" prompt_shown
    e2e_check "screenshots are $(identify -format '%wx%h' "$shots/title.png"), not 1280x720" \
        test "$(identify -format '%wx%h' "$shots/title.png")" = 1280x720

    # A run, then F1 starts it again in EASY: the truck in the middle, three hearts. The keys
    # are a typist's taps, shorter than a frame of the software renderer.
    e2e_check "no run with the truck in the middle of the road" tamq_poll 60 tap_until space run_shown
    e2e_check "not three hearts in an EASY run" tamq_poll 60 tap_until F1 easy_run_shown
    e2e_check "the road does not move" \
        x11_shot_until 30 "$shots/run_later.png" x11_changed_from "$shots/run.png" 1000

    # F2: the mode text in the top left reads RANDOM instead of NORMAL.
    x11_game_key F2
    e2e_check "the mode text did not change after F2" \
        x11_shot_until 30 "$shots/random.png" x11_changed_from "$shots/run.png" 100 360x50+30+60

    x11_hold Left 0.6
    x11_hold Up 0.3
    x11_hold Right 0.2
    x11_hold Down 0.2

    # ESC pauses: the picture stops, and stays still for a second.
    x11_tap Escape
    e2e_check "the game is no longer running" x11_app_running
    e2e_check "the picture does not stop after ESC" x11_wait_still "$shots/paused.png" 30
    e2e_check "the picture moves while paused" \
        not x11_shot_until 1 "$shots/paused_later.png" x11_changed_from "$shots/paused.png"
    x11_tap Escape
    e2e_check "the game did not resume" \
        x11_shot_until 30 "$shots/resumed.png" x11_changed_from "$shots/paused.png" 1000
    e2e_check "the game is no longer running" x11_app_running

    # The close button: WM_DELETE_WINDOW, then the process must end by itself with 0.
    e2e_check "could not send the close request" "$closer" "$window"
    x11_wait_exit 30
    e2e_check "the game exited '$app_status' after close, expected 0" test "$app_status" = 0
    [ "$app_status" = 0 ] || cat "$shots/stderr.txt" >&2
}

x11_require Xvfb xdotool xwininfo import identify convert compare
check_startup_failure
if x11_start_server 1280x720x24; then
    scenario
else
    e2e_fail "Xvfb did not start"
fi

echo "screenshots in $shots"
e2e_summary "end-to-end"
