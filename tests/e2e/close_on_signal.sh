#!/usr/bin/env bash
# Ends the real program with SIGTERM and SIGINT, the way a desktop session, a service
# manager or Ctrl+C in a terminal does, under each of SDL's video drivers that we run on:
# offscreen (EGL, no display) and X11 (under a virtual X server). Each time the game has
# played for a few seconds first, and once paused; it must end by itself, with 0, at once.
#
# Usage: close_on_signal.sh GAME_BINARY PROJECT_ROOT LOG_DIR
# Exit codes: 0 passed, 1 failed, 77 skipped (no Xvfb or xdotool here).
set -uo pipefail
source "$(dirname "$0")/../../tests/lib/x11.sh"

e2e_arguments "$@"
run=0
trap x11_cleanup EXIT

# start DRIVER: the game under that SDL video driver, playing for a few seconds, as a
# player's session would before it ends.
start() {
    run=$((run + 1))
    x11_launch "$root" "$shots/stderr-$run.txt" env SDL_VIDEODRIVER="$1" "$game"
    if [ "$1" = x11 ]; then
        # Under a loaded machine's whole suite the window can take long to come.
        if ! x11_wait_window "$title" 90; then
            e2e_fail "run $run: no window"
            cat "$shots/stderr-$run.txt" >&2
            return 1
        fi
        x11_focus
    fi
    sleep 3
    e2e_check "run $run ($1): the game ended by itself" x11_app_running
}

# end SIGNAL WHAT: sends the signal and waits for the game to end by itself, with 0. The
# bound is generous for a loaded machine or a sanitized build; the time is printed.
end() {
    local start_us elapsed_ms
    start_us="${EPOCHREALTIME//[!0-9]/}"
    kill -s "$1" "$app_pid"
    if ! x11_wait_exit 5; then
        e2e_fail "run $run ($2): still running 5 s after $1"
        kill -KILL "$app_pid" 2>/dev/null
        return
    fi
    elapsed_ms=$(((${EPOCHREALTIME//[!0-9]/} - start_us) / 1000))
    echo "$2: $1 ended the game in ${elapsed_ms} ms with exit code $app_status"
    e2e_check "run $run ($2): exit code $app_status after $1" test "$app_status" = 0
    [ "$app_status" = 0 ] || cat "$shots/stderr-$run.txt" >&2
    if grep -qE "AddressSanitizer|LeakSanitizer|runtime error:" "$shots/stderr-$run.txt"; then
        e2e_fail "run $run ($2): sanitizer report"
        cat "$shots/stderr-$run.txt" >&2
    fi
}

x11_require Xvfb xdotool xwininfo
start offscreen && end TERM "offscreen"
start offscreen && end INT "offscreen"
if x11_start_server 1280x720x24; then
    start x11 && end TERM "x11"
    start x11 && { x11_tap Escape; sleep 0.5; end TERM "x11, paused"; }
    start x11 && end INT "x11"
else
    e2e_fail "Xvfb did not start"
fi
e2e_summary "close on signal"
