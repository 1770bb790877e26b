#!/usr/bin/env bash
# A run played in a real window under a virtual X server is kept as the best run, and the
# game verifies its record without a window; the same file with one byte of its inputs
# changed is refused, and a missing file is unreadable.
#
# Usage: verify_played_run.sh GAME_BINARY PROJECT_ROOT SCREENSHOT_DIR CLOSE_TOOL FLIP_TOOL
# Exit codes: 0 passed, 1 failed, 77 skipped (no Xvfb or xdotool here).
set -uo pipefail
source "$(dirname "$0")/../../tests/lib/x11.sh"

e2e_arguments "$1" "$2" "$3" "$4"
flip="$(realpath "$5")"
trap x11_cleanup EXIT
record="$XDG_DATA_HOME/tamq4pelrok/best-run-normal-hard.rec"

record_written() { [ -s "$record" ]; }

# verify FILE STATUS PATTERN: --verify FILE exits with STATUS and prints one line matching PATTERN.
verify() {
    local out status
    out="$(cd "$root" && env -u DISPLAY SDL_VIDEODRIVER=none-such timeout 60 "$game" --verify "$1" 2>"$shots/verify-stderr.txt")"
    status=$?
    echo "--verify $(basename "$1"): exit $status: $out"
    e2e_check "--verify $(basename "$1") exited $status, expected $2" test "$status" -eq "$2"
    e2e_check "--verify $(basename "$1") printed '$out'" grep -Eq "^$3\$" <<<"$out"
}

scenario() {
    rm -rf "$XDG_DATA_HOME"
    x11_launch "$root" "$shots/stderr.txt" "$game" --mute
    x11_wait_window "$title" || { e2e_fail "no window titled '$title'"; cat "$shots/stderr.txt" >&2; return 1; }
    x11_focus
    # A HARD run, steered both ways, then left to the traffic until it ends.
    x11_game_key space
    x11_hold Left 0.7
    x11_hold Right 1.2
    x11_hold Up 0.4
    x11_hold Left 0.5
    e2e_check "no best run kept within three minutes of play" tamq_poll 180 record_written
    e2e_check "could not send the close request" "$closer" "$window"
    x11_wait_exit 30
    e2e_check "the game exited '$app_status', expected 0" test "$app_status" = 0
    record_written || return 1

    verify "$record" 0 '\{"valid":true,"mode":"NORMAL","difficulty":"HARD","score":[0-9]+,"distance":[0-9]+,"ticks":[0-9]+\}'
    local at
    if at="$("$flip" "$record" "$shots/flipped.rec")"; then
        echo "input byte at offset $at changed"
        verify "$shots/flipped.rec" 1 '\{"valid":false,"reason":"(state hash differs at (second [0-9]+|the end)|score claimed differs)"\}'
    else
        e2e_fail "the played run has no steering to change"
    fi
    verify "$shots/no-such.rec" 2 '\{"valid":false,"reason":".*no-such.rec: cannot open the file"\}'
}

x11_require Xvfb xdotool xwininfo
if x11_start_server 1280x720x24; then
    scenario
else
    e2e_fail "Xvfb did not start"
fi
e2e_summary "verify a played run"
