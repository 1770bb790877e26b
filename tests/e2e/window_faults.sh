#!/usr/bin/env bash
# Window faults with the real program under a virtual X server and a small window manager:
# minimise and restore, resize to 640 x 480 and back, close during a run and during a
# pause, ESC held with auto-repeat, fullscreen on F11, Alt+Enter and --fullscreen. Every
# run must end with exit code 0 and no sanitizer report on standard error.
#
# Usage: window_faults.sh GAME_BINARY PROJECT_ROOT SCREENSHOT_DIR CLOSE_TOOL
# Exit codes: 0 passed, 1 failed, 77 skipped (a needed tool is not installed).
set -uo pipefail
source "$(dirname "$0")/../../tests/lib/x11.sh"

e2e_arguments "$@"
run=0
trap x11_cleanup EXIT

start_display() {
    x11_start_server 1600x900x24 || { e2e_fail "Xvfb did not start"; return 1; }
    # Minimising and resizing are requests to a window manager; without one nothing happens.
    x11_start_window_manager || { e2e_fail "the window manager did not start"; return 1; }
    # Key auto-repeat as on a desktop: a held key sends a press every 30 ms after 250 ms.
    xset r on
    xset r rate 250 33
}

# start_game [ARGUMENT...]: the game with those arguments, on its title screen, in front.
start_game() {
    run=$((run + 1))
    x11_launch "$root" "$shots/stderr-$run.txt" "$game" "$@"
    if ! x11_wait_window "$title"; then
        e2e_fail "run $run: no window titled '$title'"
        cat "$shots/stderr-$run.txt" >&2
        return 1
    fi
    x11_focus
    e2e_check "run $run: nothing drawn" x11_shot_until 30 "$shots/title-$run.png" x11_drawn
}

# Starts the game and a run in it.
start_run() {
    start_game || return
    e2e_check "run $run: SPACE did not start a run" tamq_poll 60 space_until_run
}

# SPACE, then three seconds to see a run. A loaded machine's slow frames stretch the game's
# one-second rest between keys beyond the test's, so a press may come too early.
space_until_run() {
    x11_game_key space 0.4
    x11_shot_until 3 "$shots/run-$run.png" game_run_shown
}

# quarters FILE: the mean brightness of each quarter of a picture (top left, top right,
# bottom left, bottom right), so a stretched picture can be told from a cropped one.
quarters() {
    convert "$1" -resize 2x2\! -colorspace gray -format '%[fx:p{0,0}] %[fx:p{1,0}] %[fx:p{0,1}] %[fx:p{1,1}]' info:
}

# same_scene FILE REFERENCE: each quarter keeps its brightness. A picture left at 1280 x 720
# in a 640 x 480 window would show only its lower-left part and change the quarters.
same_scene() {
    awk -v a="$(quarters "$2")" -v b="$(quarters "$1")" 'BEGIN {
        split(a, x, " "); split(b, y, " ");
        for (i = 1; i <= 4; i++) { d = x[i] - y[i]; if (d < 0) d = -d; if (d > 0.12) exit 1 }
    }'
}

close_and_expect_zero() {
    e2e_check "run $run: could not send the close request" "$closer" "$window"
    if ! x11_wait_exit 30; then
        e2e_fail "run $run ($1): the game did not end after the close request"
        return
    fi
    e2e_check "run $run ($1): exit code $app_status" test "$app_status" = 0
    [ "$app_status" = 0 ] || cat "$shots/stderr-$run.txt" >&2
    if grep -qE "AddressSanitizer|LeakSanitizer|runtime error:|UndefinedBehaviorSanitizer" "$shots/stderr-$run.txt"; then
        e2e_fail "run $run ($1): sanitizer report"
        cat "$shots/stderr-$run.txt" >&2
    fi
}

not() { ! "$@"; }

expect_running() { e2e_check "run $run: the game is no longer running ($1)" x11_app_running; }

# Minimise and restore, then 640 x 480 and back, all during a run.
scenario_minimise_and_resize() {
    start_run || return
    cp "$shots/run-$run.png" "$shots/run-full.png"
    xdotool windowminimize --sync "$window" 2>/dev/null || xdotool windowminimize "$window"
    e2e_check "minimise: the window is still mapped" tamq_poll 20 x11_map_state_is IsUnMapped
    expect_running "minimised"
    xdotool windowactivate --sync "$window" 2>/dev/null || xdotool windowmap --sync "$window"
    e2e_check "restore: the window is not shown" tamq_poll 20 x11_map_state_is IsViewable
    expect_running "restored"
    x11_shot_until 30 "$shots/restored.png" x11_drawn

    xdotool windowsize --sync "$window" 640 480 2>/dev/null || xdotool windowsize "$window" 640 480
    e2e_check "resize: the client area did not become 640x480" tamq_poll 20 x11_client_size_is 640x480
    expect_running "at 640 x 480"
    e2e_check "the 640 x 480 picture is not the stretched scene" \
        x11_shot_until 30 "$shots/run-640x480.png" same_scene "$shots/run-full.png"

    xdotool windowsize --sync "$window" 1280 720 2>/dev/null || xdotool windowsize "$window" 1280 720
    e2e_check "resize back: the client area did not become 1280x720" \
        tamq_poll 20 x11_client_size_is 1280x720
    e2e_check "the picture back at 1280 x 720 differs from the first" \
        x11_shot_until 30 "$shots/run-back-to-full.png" same_scene "$shots/run-full.png"
    expect_running "back at 1280 x 720"
    close_and_expect_zero "closed during a run"
}

scenario_close_while_paused() {
    start_run || return
    x11_tap Escape
    expect_running "paused"
    close_and_expect_zero "closed during a pause"
}

# ESC held for two seconds with auto-repeat (a press every 30 ms): only its first key-down
# pauses, so the picture stands still all through the hold and after it; one more press
# lets the game go on. On the title screen, which moves on forever, where a run could end
# and freeze the picture by itself.
scenario_escape_held() {
    start_game || return
    # A burst of presses faster than frames: each is a press of its own, an even number.
    xdotool key --delay 5 --repeat 40 Escape
    xdotool keydown Escape
    e2e_check "holding ESC did not pause the game" x11_wait_still "$shots/held.png" 30
    e2e_check "the picture moves while ESC is held" \
        not x11_shot_until 1 "$shots/held-later.png" x11_changed_from "$shots/held.png"
    xdotool keyup Escape
    e2e_check "the game is not paused after ESC was held" \
        not x11_shot_until 1 "$shots/held-released.png" x11_changed_from "$shots/held.png"
    x11_tap Escape
    e2e_check "one more ESC did not resume the game" \
        x11_shot_until 30 "$shots/held-resumed.png" x11_changed_from "$shots/held.png"
    expect_running "after ESC held"
    close_and_expect_zero "ESC held with auto-repeat"
}

# expect_size SIZE WHAT: the client area reaches that size, and the game plays on in it.
expect_size() {
    e2e_check "$2: the client area is $(x11_client_size), not $1" tamq_poll 20 x11_client_size_is "$1"
    x11_shot "$shots/size-$run.png"
    e2e_check "$2: the game does not play on" \
        x11_shot_until 30 "$shots/size-$run-later.png" x11_changed_from "$shots/size-$run.png"
}

# F11 and Alt+Enter switch between the 1280 x 720 window and the whole screen at its own
# size, the game playing on throughout (on the title screen, which never ends);
# --fullscreen starts on the whole screen.
scenario_fullscreen() {
    local screen
    screen="$(xwininfo -root | awk '/^ *Width:/ {w = $2} /^ *Height:/ {h = $2} END {print w "x" h}')"
    start_game || return
    x11_tap F11
    expect_size "$screen" "F11"
    x11_tap F11
    expect_size 1280x720 "F11 again"
    x11_tap alt+Return
    expect_size "$screen" "Alt+Enter"
    x11_tap alt+Return
    expect_size 1280x720 "Alt+Enter again"
    close_and_expect_zero "fullscreen switched on and off"

    start_game --fullscreen || return
    expect_size "$screen" "--fullscreen"
    x11_tap F11
    expect_size 1280x720 "F11 after --fullscreen"
    x11_tap F11
    expect_size "$screen" "F11 twice after --fullscreen"
    close_and_expect_zero "closed in fullscreen"
}

x11_require Xvfb xdotool xwininfo xset xprop import convert compare openbox
if start_display; then
    scenario_minimise_and_resize
    scenario_close_while_paused
    scenario_escape_held
    scenario_fullscreen
fi
echo "screenshots in $shots"
e2e_summary "window faults"
