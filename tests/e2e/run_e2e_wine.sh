#!/usr/bin/env bash
# Plays the Windows build like a person would, under Wine on a virtual X server: find the
# window by its title, press the game's keys, check what each does on screenshots, close the
# window with the close button's request and check the exit code. Also checks that a start-up
# failure shows its message box and exits 1.
#
# Usage: run_e2e_wine.sh GAME_EXE PROJECT_ROOT SCREENSHOT_DIR
# Wine's prefix comes from WINEPREFIX, as for any Wine program.
# Exit codes: 0 passed, 1 failed, 77 skipped (no Wine, Xvfb, xdotool or ImageMagick here).
set -uo pipefail
source "$(dirname "$0")/../../tests/lib/x11.sh"

e2e_arguments "$1" "$2" "$3"

cleanup() {
    wineserver -k 2>/dev/null
    x11_cleanup
}
trap cleanup EXIT

# A screen larger than the window with its frame: Windows keeps a window within the
# screen's tracking size, which would cut the client area short on a 1280 × 720 screen.
start_display() {
    x11_start_server 1600x900x24 || { e2e_fail "Xvfb did not start"; return 1; }
    # A held key must stay down: the X server's auto-repeat would reach Wine as releases
    # and presses, and the game, which polls the key, would see it up half the time.
    xset r off
}

# With an empty data/ the game cannot initialise: the message box must show with the
# caption "An error occurred", and dismissing it must end the process with 1.
check_startup_failure() {
    local empty
    empty="$(mktemp -d)"
    mkdir "$empty/data"
    x11_launch "$empty" "$shots/failure-stderr.txt" wine "$game"
    if x11_wait_window "An error occurred" 60; then
        e2e_check "the message box did not take the keyboard" x11_focus
        x11_shot "$shots/startup-failure.png" root
        xdotool key --clearmodifiers Return
    else
        e2e_fail "no message box 'An error occurred' for a start-up failure"
    fi
    x11_wait_exit 30
    e2e_check "start-up failure exited $app_status, expected 1" test "$app_status" = 1
    e2e_check "start-up failure did not name itself on stderr" \
        grep -q "Could not initialize the application" "$shots/failure-stderr.txt"
    rm -rf "$empty"
}

start() {
    x11_launch "$root" "$shots/stderr.txt" wine "$game"
    x11_wait_window "$title" 60 || { e2e_fail "no window titled '$title'"; cat "$shots/stderr.txt" >&2; return 1; }
    x11_focus
}

expect_running() { e2e_check "the game is no longer running" x11_app_running; }

# Measures on screenshots, all in window pixels with the origin top left.
# hearts FILE: red pixels where the hearts of the remaining lives are drawn.
hearts() {
    convert "$1[260x90+10+90]" -fx '(r > 0.7 && g < 0.35 && b < 0.35) ? 1 : 0' \
        -format '%[fx:round(mean * w * h)]' info:
}
more_hearts_than() { [ "$(hearts "$1")" -gt "$2" ]; }

# mode_word_differs FILE REFERENCE: the dark letters of the mode text (NORMAL or RANDOM) differ.
mode_word_differs() {
    local a="$1.mode.png" b="$2.mode.png"
    convert "$1[260x50+30+50]" +repage -colorspace gray -threshold 20% "$a"
    convert "$2[260x50+30+50]" +repage -colorspace gray -threshold 20% "$b"
    x11_differs "$a" "$b" 300
}

# truck FILE: the centre "x y" of the truck's orange paint.
truck() {
    convert "$1" -scale 25% -depth 8 txt:- | awk -F'[(),: ]+' '
        NR > 1 && $3 > 200 && $4 > 80 && $4 < 180 && $5 < 70 { n++; sx += $1; sy += $2 }
        END { if (n < 20) print "none"; else printf "%d %d\n", sx / n * 4, sy / n * 4 }'
}

# moved A B AXIS SIGN: the truck moved by more than 20 pixels along AXIS (x or y) in
# the direction SIGN (+ or -) from picture A to picture B.
moved() {
    local from to
    from="$(truck "$1")"
    to="$(truck "$2")"
    awk -v a="$from" -v b="$to" -v axis="$3" -v sign="$4" 'BEGIN {
        if (a == "none" || b == "none") exit 1
        split(a, p, " "); split(b, q, " "); i = axis == "x" ? 1 : 2
        d = q[i] - p[i]; if (sign == "-") d = -d
        exit !(d > 20) }'
}

not() { ! "$@"; }

# steer ARROW BEFORE AFTER AXIS SIGN: restarts, holds ARROW for a second, and checks the
# truck moved from where picture BEFORE shows it. Within the first two seconds of a run no
# car can hit the truck (and tint the scene); paused, the screenshot cannot be overtaken.
steer() {
    x11_game_key_rest
    xdotool keydown space
    sleep 0.3
    xdotool keydown "$1"
    xdotool keyup space
    sleep 1
    x11_tap Escape
    xdotool keyup "$1"
    e2e_check "the game did not pause for the picture after $1" x11_wait_still "$3" 30
    x11_tap Escape
    e2e_check "$1 did not move the truck" moved "$2" "$3" "$4" "$5"
}

scenario() {
    start || return
    e2e_check "client area $(x11_client_size), expected 1280x720" x11_client_size_is 1280x720
    e2e_check "nothing drawn on the title screen" x11_shot_until 60 "$shots/title.png" x11_drawn
    e2e_check "the screenshot is not 1280x720" \
        test "$(identify -format '%wx%h' "$shots/title.png")" = 1280x720
    e2e_check "the title screen is not tinted" not game_run_shown "$shots/title.png"

    # F2 on the title screen: NORMAL becomes RANDOM, and back.
    x11_game_key F2
    e2e_check "F2 did not switch the mode text" \
        x11_shot_until 30 "$shots/random.png" mode_word_differs "$shots/title.png"
    x11_game_key F2
    e2e_check "a second F2 did not switch the mode back" \
        x11_shot_until 30 "$shots/normal.png" mode_word_differs "$shots/random.png"

    # SPACE starts a run in HARD: no hearts, and the scene no longer tinted.
    x11_game_key space
    e2e_check "SPACE did not start the run" x11_shot_until 30 "$shots/hard-run.png" game_run_shown
    e2e_check "a HARD run shows hearts" not more_hearts_than "$shots/hard-run.png" 50

    # F1 while running: EASY restarts the run with three extra lives, drawn as hearts.
    x11_game_key F1
    e2e_check "F1 did not give the EASY run its hearts" \
        x11_shot_until 30 "$shots/easy-run.png" more_hearts_than 300

    # The arrows steer the truck: each gets a fresh run, in which no car can hit the truck
    # for two seconds. A run starts slowed, so the key is held for a second; the truck keeps
    # its place across runs.
    steer Left "$shots/easy-run.png" "$shots/after-Left.png" x -
    steer Right "$shots/after-Left.png" "$shots/after-Right.png" x +
    steer Up "$shots/after-Right.png" "$shots/after-Up.png" y -
    steer Down "$shots/after-Up.png" "$shots/after-Down.png" y +

    # ESC pauses: frames stop changing, and a second ESC lets them go on.
    x11_tap Escape
    expect_running
    e2e_check "ESC did not pause the game" x11_wait_still "$shots/paused.png" 30
    e2e_check "the picture moves while paused" \
        not x11_shot_until 1 "$shots/paused-later.png" x11_changed_from "$shots/paused.png"
    x11_tap Escape
    e2e_check "a second ESC did not resume the game" \
        x11_shot_until 30 "$shots/resumed.png" x11_changed_from "$shots/paused.png"
    expect_running

    # ESC held for two seconds with the X server's auto-repeat on, which reaches the game
    # as key-downs marked as repeats: only the first pauses, so the picture stands still
    # through the hold and after it, and one more press lets the game go on.
    xset r on
    xset r rate 250 33
    xdotool keydown Escape
    e2e_check "holding ESC did not pause the game" x11_wait_still "$shots/held.png" 30
    e2e_check "the picture moves while ESC is held" \
        not x11_shot_until 1 "$shots/held-later.png" x11_changed_from "$shots/held.png"
    xdotool keyup Escape
    xset r off
    e2e_check "the game is not paused after ESC was held" \
        not x11_shot_until 1 "$shots/held-released.png" x11_changed_from "$shots/held.png"
    x11_tap Escape
    e2e_check "one more ESC did not resume the game after ESC was held" \
        x11_shot_until 30 "$shots/held-resumed.png" x11_changed_from "$shots/held.png"
    expect_running

    # The close button: WM_DELETE_WINDOW, then the process must end by itself with 0.
    e2e_check "could not send the close request" "$closer" "$window"
    x11_wait_exit 15
    e2e_check "the game exited $app_status after close, expected 0" test "$app_status" = 0
}

x11_require wine wineserver Xvfb xset xdotool xwininfo import identify convert compare c++
# The close button's request, as a window manager sends it; there is no window manager here.
closer="$shots/x11_close_window"
c++ -O1 -o "$closer" "$root/tests/e2e/CloseWindow.cpp" -lX11 || { e2e_fail "could not build the close tool"; exit 1; }

if start_display; then
    check_startup_failure
    scenario
fi

echo "screenshots in $shots"
e2e_summary "e2e-wine"
