#!/usr/bin/env bash
# A run played to its end by the Windows build under Wine is kept as the best run in the
# Wine prefix's %APPDATA%\tamq4pelrok\, and the Linux build verifies that record: the same
# rules give the same bits on both.
#
# Usage: verify_wine_run.sh GAME_EXE LINUX_GAME PROJECT_ROOT SCREENSHOT_DIR
# Wine's prefix comes from WINEPREFIX, as for any Wine program.
# Exit codes: 0 passed, 1 failed, 77 skipped (no Wine, Xvfb or xdotool here).
set -uo pipefail
source "$(dirname "$0")/../../tests/lib/x11.sh"

linux_game="$(realpath "$2")"
e2e_arguments "$1" "$3" "$4"

cleanup() {
    wineserver -k 2>/dev/null
    x11_cleanup
}
trap cleanup EXIT

record_written() { [ -s "$record" ]; }

# verified STATUS OUTPUT: --verify exited 0 with the one line of a valid NORMAL HARD run.
verified() {
    [ "$1" -eq 0 ] &&
        grep -Eq '^\{"valid":true,"mode":"NORMAL","difficulty":"HARD","score":[0-9]+,"distance":[0-9]+,"ticks":[0-9]+\}$' <<<"$2"
}

scenario() {
    local appdata
    appdata="$(x11_wine_appdata)" || { e2e_fail "could not find %APPDATA% in the Wine prefix"; return 1; }
    record="${appdata%/}/tamq4pelrok/best-run-normal-hard.rec"
    # Bests of earlier runs in this prefix would keep a short run from being kept.
    rm -rf "${appdata%/}/tamq4pelrok"

    x11_launch "$root" "$shots/wine-run-stderr.txt" wine "$game" --mute
    x11_wait_window "$title" 60 || { e2e_fail "no window titled '$title'"; cat "$shots/wine-run-stderr.txt" >&2; return 1; }
    x11_focus
    # A HARD run, steered both ways, then left to the traffic until the first hit ends it.
    local started=$SECONDS
    x11_game_key space
    x11_hold Left 0.7
    x11_hold Right 1.2
    x11_hold Up 0.4
    x11_hold Left 0.5
    e2e_check "the Windows build kept no best run in $record within three minutes" tamq_poll 180 record_written
    record_written || return 1
    echo "the run under Wine was kept after $((SECONDS - started)) s: $(stat -c %s "$record") bytes"
    cp "$record" "$shots/wine-best-run-normal-hard.rec"
    e2e_check "could not send the close request" "$closer" "$window"
    x11_wait_exit 30
    e2e_check "the game exited '$app_status' under Wine, expected 0" test "$app_status" = 0

    local out status
    out="$(cd "$root" && env -u DISPLAY SDL_VIDEODRIVER=none-such timeout 60 \
        "$linux_game" --verify "$shots/wine-best-run-normal-hard.rec" 2>"$shots/wine-verify-stderr.txt")"
    status=$?
    echo "Linux --verify of the Windows run: exit $status: $out"
    e2e_check "the Linux build did not verify the record made under Wine: exit $status, $out$(head -n1 "$shots/wine-verify-stderr.txt")" \
        verified "$status" "$out"
}

x11_require wine wineserver winepath Xvfb xset xdotool xwininfo c++
# The close button's request, as a window manager sends it; there is no window manager here.
closer="$shots/x11_close_window"
c++ -O1 -o "$closer" "$root/tests/e2e/CloseWindow.cpp" -lX11 || { e2e_fail "could not build the close tool"; exit 1; }
[ -x "$linux_game" ] || { e2e_fail "no Linux build of the game at $linux_game"; e2e_summary "Windows run verified on Linux"; exit; }
if x11_start_server 1600x900x24; then
    # A held key must stay down: auto-repeat would reach Wine as releases and presses.
    xset r off
    scenario
else
    e2e_fail "Xvfb did not start"
fi
e2e_summary "Windows run verified on Linux"
