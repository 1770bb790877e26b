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
source "$(dirname "$0")/xvfb.sh"

game="$(realpath "$1")"
root="$(realpath "$2")"
shots="$3"
title="TAMQ 4 Pelrok"

xvfb_pid=""
game_pid=""
window=""
failures=0
checks=0

fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# check DESCRIPTION COMMAND...: one counted check.
check() {
    local what="$1"
    shift
    checks=$((checks + 1))
    "$@" || fail "$what"
}

cleanup() {
    if [ -n "$game_pid" ] && kill -0 "$game_pid" 2>/dev/null; then
        kill "$game_pid" 2>/dev/null
        wait "$game_pid" 2>/dev/null
    fi
    wineserver -k 2>/dev/null
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null
        wait "$xvfb_pid" 2>/dev/null
    fi
}
trap cleanup EXIT

# A screen larger than the window with its frame: Windows keeps a window within the
# screen's tracking size, which would cut the client area short on a 1280 × 720 screen.
start_display() {
    start_xvfb 1600x900x24 || { fail "Xvfb did not start"; return 1; }
    # A held key must stay down: the X server's auto-repeat would reach Wine as releases
    # and presses, and the game, which polls the key, would see it up half the time.
    xset r off
}

# find_window TITLE: the X window of a Wine top-level window with exactly that title.
find_window() {
    timeout 60 xdotool search --sync --name "^$1\$" 2>/dev/null | head -n1
}

# wait_exit SECONDS: waits for the game to end and sets exit_status to its exit code, or to
# "still running".
wait_exit() {
    local tries=0
    while kill -0 "$game_pid" 2>/dev/null && [ $tries -lt $(($1 * 10)) ]; do
        sleep 0.1
        tries=$((tries + 1))
    done
    exit_status="still running"
    kill -0 "$game_pid" 2>/dev/null && return
    exit_status=0
    wait "$game_pid" || exit_status=$?
    game_pid=""
}

# Without data/ the game cannot initialise: the message box must show with the caption
# "An error occurred", and dismissing it must end the process with 1.
check_startup_failure() {
    local empty
    empty="$(mktemp -d)"
    (cd "$empty" && exec wine "$game") >/dev/null 2>"$shots/failure-stderr.txt" &
    game_pid=$!
    local box
    box="$(find_window "An error occurred")"
    check "no message box 'An error occurred' for a start-up failure" test -n "$box"
    if [ -n "$box" ]; then
        xdotool windowfocus --sync "$box" 2>/dev/null || xdotool windowfocus "$box"
        import -window root "$shots/startup-failure.png" 2>/dev/null
        xdotool key --clearmodifiers Return
    fi
    wait_exit 30
    check "start-up failure exited $exit_status, expected 1" test "$exit_status" = 1
    check "start-up failure did not name itself on stderr" \
        grep -q "Could not initialize the application" "$shots/failure-stderr.txt"
    rm -rf "$empty"
}

start() {
    (cd "$root" && exec wine "$game") >/dev/null 2>"$shots/stderr.txt" &
    game_pid=$!
    window="$(find_window "$title")"
    [ -n "$window" ] || { fail "no window titled '$title'"; cat "$shots/stderr.txt" >&2; return 1; }
    xdotool windowfocus --sync "$window" 2>/dev/null || xdotool windowfocus "$window"
    sleep 1
}

check_client_size() {
    local info width height
    info="$(xwininfo -id "$window")"
    width="$(awk '/^ *Width:/ {print $2}' <<<"$info")"
    height="$(awk '/^ *Height:/ {print $2}' <<<"$info")"
    check "client area ${width}x${height}, expected 1280x720" test "$width" = 1280 -a "$height" = 720
}

expect_running() {
    check "the game is no longer running" kill -0 "$game_pid"
}

exit_status=""

# The game polls held keys once a frame, so a key is held for several frames, not tapped.
# Mode keys act at most once a second: callers leave that gap between them.
hold() {
    xdotool keydown "$1"
    sleep "${2:-0.3}"
    xdotool keyup "$1"
    sleep 0.1
}

# ESC works on its key-down message instead: a tap is enough.
tap() {
    xdotool key --clearmodifiers "$1"
    sleep 0.3
}

shot() {
    local file="$shots/$1.png"
    sleep 0.2
    import -window "$window" "$file" 2>/dev/null || { fail "screenshot $1 failed"; return; }
    local size mean
    size="$(identify -format '%wx%h' "$file")"
    check "screenshot $1 is $size" test "$size" = 1280x720
    # The clear colour is white, so a frame that reached the screen is never all black.
    mean="$(convert "$file" -format '%[fx:mean]' info:)"
    check "screenshot $1 is black" awk -v m="$mean" 'BEGIN { exit !(m > 0.01) }'
}

# Measures on screenshots, all in window pixels with the origin top left.
# grass_is_green SHOT: the left verge is plain green in play; the title screen tints it.
grass_is_green() {
    local means
    means="$(convert "$shots/$1.png" -crop 240x200+20+300 +repage -format '%[fx:mean.r] %[fx:mean.g]' info:)"
    awk -v m="$means" 'BEGIN { split(m, c, " "); exit !(c[2] > 1.4 * c[1]) }'
}

# hearts SHOT: red pixels where the hearts of the remaining lives are drawn.
hearts() {
    convert "$shots/$1.png" -crop 260x90+10+90 +repage \
        -fx '(r > 0.7 && g < 0.35 && b < 0.35) ? 1 : 0' -format '%[fx:round(mean * w * h)]' info:
}

# mode_word_differs A B: the dark letters of the mode text (NORMAL or RANDOM) differ.
mode_word_differs() {
    local a="$shots/mode-$1.png" b="$shots/mode-$2.png"
    convert "$shots/$1.png" -crop 260x50+30+50 +repage -colorspace gray -threshold 20% "$a"
    convert "$shots/$2.png" -crop 260x50+30+50 +repage -colorspace gray -threshold 20% "$b"
    local changed
    changed="$(compare -metric AE "$a" "$b" null: 2>&1)"
    [ "${changed%%.*}" -gt 300 ] 2>/dev/null
}

# truck SHOT: the centre "x y" of the truck's orange paint.
truck() {
    convert "$shots/$1.png" -scale 25% -depth 8 txt:- | awk -F'[(),: ]+' '
        NR > 1 && $3 > 200 && $4 > 80 && $4 < 180 && $5 < 70 { n++; sx += $1; sy += $2 }
        END { if (n < 20) print "none"; else printf "%d %d\n", sx / n * 4, sy / n * 4 }'
}

# moved A B AXIS SIGN: the truck moved by more than 20 pixels along AXIS (x or y) in
# the direction SIGN (+ or -) from shot A to shot B.
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

# Identical frames: nothing moves while paused.
same_frame() {
    local changed
    changed="$(compare -metric AE "$shots/$1.png" "$shots/$2.png" null: 2>&1)"
    [ "${changed%%.*}" -eq 0 ] 2>/dev/null
}

# shot_paused NAME: a screenshot of a frozen frame. Screenshots can take seconds on a busy
# machine; paused, no car moves or hits meanwhile.
shot_paused() {
    tap Escape
    shot "$1"
    tap Escape
}

# steer ARROW BEFORE AFTER AXIS SIGN: restarts, holds ARROW for a second, and checks the
# truck moved from where shot BEFORE shows it. Within the first two seconds of a run no car
# can hit the truck (and tint the scene). Restarts need a second and a half apart: the first
# second of a run counts half.
steer() {
    sleep 1.6
    xdotool keydown space
    sleep 0.3
    xdotool keydown "$1"
    xdotool keyup space
    sleep 1
    tap Escape
    xdotool keyup "$1"
    shot "$3"
    tap Escape
    check "$1 did not move the truck" moved "$2" "$3" "$4" "$5"
}

scenario() {
    start || return
    check_client_size
    shot title
    check "the title screen is not tinted" not grass_is_green title

    # F2 on the title screen: NORMAL becomes RANDOM, and back.
    hold F2
    shot random
    check "F2 did not switch the mode text" mode_word_differs title random
    sleep 1
    hold F2
    shot normal
    check "a second F2 did not switch the mode back" mode_word_differs random normal

    # SPACE starts a run in HARD: no hearts, and the scene no longer tinted.
    sleep 1
    hold space
    sleep 1
    shot_paused hard-run
    check "SPACE did not start the run" grass_is_green hard-run
    check "a HARD run shows hearts" test "$(hearts hard-run)" -lt 50

    # F1 while running: EASY restarts the run with three extra lives, drawn as hearts.
    sleep 1
    hold F1
    sleep 1
    shot_paused easy-run
    check "F1 did not give the EASY run its hearts" test "$(hearts easy-run)" -gt 300

    # The arrows steer the truck: each gets a fresh run, in which no car can hit the truck
    # (and tint the scene) for two seconds. A run starts slowed, so the key is held for a
    # second; the truck keeps its place across runs.
    steer Left easy-run after-Left x -
    steer Right after-Left after-Right x +
    steer Up after-Right after-Up y -
    steer Down after-Up after-Down y +

    # ESC pauses: frames stop changing, and a second ESC lets them go on.
    tap Escape
    expect_running
    shot paused
    shot paused-later
    check "ESC did not pause the game" same_frame paused paused-later
    tap Escape
    shot resumed
    check "a second ESC did not resume the game" not same_frame paused-later resumed
    expect_running

    # The close button: WM_DELETE_WINDOW, then the process must end by itself with 0.
    check "could not send the close request" "$closer" "$window"
    wait_exit 15
    check "the game exited $exit_status after close, expected 0" test "$exit_status" = 0
}

for tool in wine wineserver Xvfb xset xdotool xwininfo import identify convert compare c++; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
mkdir -p "$shots"
# The close button's request, as a window manager sends it; there is no window manager here.
closer="$shots/x11_close_window"
c++ -O1 -o "$closer" "$root/tests/e2e/CloseWindow.cpp" -lX11 || { fail "could not build the close tool"; exit 1; }

if start_display; then
    check_startup_failure
    scenario
fi

[ -d "$shots" ] && echo "screenshots in $shots"
echo "e2e-wine: $((checks - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
