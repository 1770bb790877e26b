#!/usr/bin/env bash
# The Windows build against a real board of its own (PostgreSQL and tamq-board started here
# in a temporary folder), played under Wine on a virtual X server:
#   - over HTTP: a run gets its token, its game over asks a name, typed with the arrows and
#     SPACE; the board stores the run under that name with the score the Linux build
#     verifies from the record the game kept, and the game-over screen shows the board;
#   - the day's road (D): a run on the day's token stored on the day's table alone, and the
#     next attempt raced against the day's leader as the ghost, accepted by the board;
#   - over HTTPS through nginx, its certificate from a throwaway authority given with
#     --board-ca: the title screen shows the board and a run is accepted through it.
# The board is named localhost over HTTPS: Wine's WinHTTP does not match a certificate's IP
# address to the host.
#
# Usage: board_e2e_wine.sh GAME_EXE PROJECT_ROOT SCREENSHOT_DIR LINUX_GAME BOARD_EXE
# Wine's prefix comes from WINEPREFIX, as for any Wine program.
# Exit codes: 0 passed, 1 failed, 77 skipped (a tool is missing, or a game without --board).
set -uo pipefail
here="$(dirname "$0")"
source "$here/../../tests/lib/x11.sh"
source "$here/../../tests/lib/board-play.sh"
source "$here/../../scripts/lib/local-board.sh"
source "$here/../../scripts/lib/tls.sh"

linux_game="$(realpath "$4")"
board_exe="$(realpath "$5")"
board_verifier="$linux_game"
board_name_blanks=1
e2e_arguments "$1" "$2" "$3"
x11_require wine wineserver winepath Xvfb xset xdotool xwininfo import convert compare c++ curl nginx openssl \
    python3 "$TAMQ_PG_BIN/initdb"
# The Linux build of the same sources tells whether this one knows --board.
if ! "$linux_game" --help 2>&1 | grep -q -- '--board '; then
    echo "SKIP: this build of the game has no --board"
    exit 77
fi

# The cluster's account (postgres, when the test runs as root) must reach its folder.
work="$(mktemp -d)"
chmod 755 "$work"
cleanup() {
    wineserver -k 2>/dev/null
    x11_cleanup
    tls_cleanup
    board_cleanup
    cp "$work"/board/board.log "$work"/tls/access.log "$shots/" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
rm -f "$shots"/*.txt "$shots"/*.png

# play NAME ARGUMENTS...: the game in its window under Wine, the player's data of earlier
# plays gone; output in $shots/NAME.txt.
play() {
    rm -rf "${appdata%/}/tamq4pelrok"
    board_launch "$1" wine "$game" --mute --frame-stats "${@:2}"
}
ranked_run() { board_ranked_run "$1" "$2" "${appdata%/}" "${@:3}"; }

over_http() {
    play http --board "$board_url" || return
    e2e_check "http: a board shown while it has no entries" not board_table_shown "$shots/http-title.png"
    ranked_run http ACE
    e2e_check "http: the game-over screen does not show the board" \
        x11_shot_until 30 "$shots/http-board.png" board_table_shown
    board_close_game http
    e2e_check "http: a line about the board: $(grep board: "$log")" not board_fault_in_log
}

over_https() {
    tls_start_proxy "$work/tls" "$board_url" || { e2e_fail "https: nginx did not start"; return; }
    local url="https://localhost:$tls_port"
    play https --board "$url" --board-ca "$(winepath -w "$tls_ca")" || return
    e2e_check "https: the title screen does not show the board" \
        x11_shot_until 60 "$shots/https-title.png" board_table_shown
    ranked_run https BEE
    board_close_game https
    e2e_check "https: nginx passed no accepted run" grep -q "^POST /v1/runs 201 " "$work/tls/access.log"
    e2e_check "https: a line about the board: $(grep board: "$log")" not board_fault_in_log
}

# The close button's request, as a window manager sends it; there is no window manager here.
closer="$shots/x11_close_window"
c++ -O1 -o "$closer" "$root/tests/e2e/CloseWindow.cpp" -lX11 || { e2e_fail "could not build the close tool"; exit 1; }
if x11_start_server 1600x900x24; then
    # A held key must stay down: auto-repeat would reach Wine as releases and presses.
    xset r off
    # Asked of Wine once the X server is up: a Wine session started without it would keep
    # the game from drawing.
    if ! appdata="$(x11_wine_appdata)"; then
        e2e_fail "could not find %APPDATA% in the Wine prefix"
    elif board_start "$work/board" "$board_exe" "$root/data"; then
        echo "board on $board_url"
        over_http
        board_daily_road daily
        over_https
        echo "board:"
        board_entries "$board_url" | sed 's/^/  /'
    else
        e2e_fail "the board did not start"
    fi
else
    e2e_fail "Xvfb did not start"
fi
echo "screenshots in $shots"
e2e_summary "board end-to-end under Wine"
