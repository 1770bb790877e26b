#!/usr/bin/env bash
# The Windows build against a real board of its own (PostgreSQL and tamq-board started here
# in a temporary folder), played under Wine on a virtual X server:
#   - over HTTP: a run gets its token, its game over asks a name, typed with the arrows and
#     SPACE; the board stores the run under that name with the score the Linux build
#     verifies from the record the game kept, and the game-over screen shows the board;
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
source "$here/../../scripts/lib/x11.sh"
source "$here/../../scripts/lib/board-play.sh"
source "$here/../../scripts/lib/local-board.sh"
source "$here/../../scripts/lib/tls.sh"

linux_game="$(realpath "$4")"
board_exe="$(realpath "$5")"
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
    local name="$1"
    shift
    rm -rf "${appdata%/}/tamq4pelrok"
    log="$shots/$name.txt"
    x11_launch "$root" "$log" wine "$game" --mute --frame-stats "$@"
    x11_wait_window "$title" 90 || { e2e_fail "$name: no window titled '$title'"; cat "$log" >&2; return 1; }
    x11_focus
    e2e_check "$name: nothing drawn" x11_shot_until 60 "$shots/$name-title.png" x11_drawn
}

close_game() {
    "$closer" "$window"
    x11_wait_exit 60
    e2e_check "$1: the game exited '$app_status' after close, expected 0" test "$app_status" = 0
    echo "$1: $(board_frame_line "$log")"
}

board_entry_count_above() { [ "$(board_entries "$board_url" | wc -l)" -gt "$1" ]; }
line_in_log() { grep -q -- "$1" "$log"; }
not() { ! "$@"; }

# ranked_run NAME TYPED: a run to its game over, the name typed; then waits for the board
# to hold one more entry and checks it is this run: its name, and the score the Linux
# build's verification gives the run the Windows build kept as its best.
ranked_run() {
    local name="$1" typed="$2" before
    before="$(board_entries "$board_url" | wc -l)"
    e2e_check "$name: no run shown after SPACE" board_start_run "$shots/$name-run.png" || return 1
    e2e_check "$name: the game over asked no name" board_wait_name_entry 240 "$shots/$name-name.png" || return 1
    e2e_check "$name: the name could not be typed" board_type_name "$typed" "$shots/$name-typing.png"
    e2e_check "$name: the board got no new entry" tamq_poll 90 board_entry_count_above "$before"
    local record="${appdata%/}/tamq4pelrok/best-run-normal-hard.rec" verdict score
    cp "$record" "$shots/$name.rec" 2>/dev/null
    verdict="$(cd "$root" && env -u DISPLAY SDL_VIDEODRIVER=none-such timeout 60 "$linux_game" --verify "$record")"
    score="$(sed -E 's/.*"score":([0-9]+).*/\1/' <<<"$verdict")"
    echo "$name: the board holds $(board_entries "$board_url" | tr '\n' ';') the Linux build verifies $verdict"
    # Wine on a loaded machine may stall a frame while an arrow is down: the ticks that catch
    # up count it as held, and it repeats into blanks. The letters stay those typed.
    local remembered
    remembered="$(board_player_name "$appdata")"
    [ "$remembered" = "$typed" ] || echo "$name: the name came out as '$remembered' (an arrow repeated after a slow frame)"
    e2e_check "$name: player.json remembers '$remembered', not the letters $typed" test "${remembered// /}" = "$typed"
    e2e_check "$name: no entry '$remembered $score' on the board: $(board_entries "$board_url" | tr '\n' ';')" \
        grep -Fxq "$remembered $score" <<<"$(board_entries "$board_url" | cut -d' ' -f2-)"
}

over_http() {
    play http --board "$board_url" || return
    e2e_check "http: a board shown while it has no entries" not board_table_shown "$shots/http-title.png"
    ranked_run http ACE
    e2e_check "http: the game-over screen does not show the board" \
        x11_shot_until 30 "$shots/http-board.png" board_table_shown
    close_game http
    e2e_check "http: a line about the board: $(grep board: "$log")" not line_in_log "^board: "
}

over_https() {
    tls_start_proxy "$work/tls" "$board_url" || { e2e_fail "https: nginx did not start"; return; }
    local url="https://localhost:$tls_port"
    play https --board "$url" --board-ca "$(winepath -w "$tls_ca")" || return
    e2e_check "https: the title screen does not show the board" \
        x11_shot_until 60 "$shots/https-title.png" board_table_shown
    ranked_run https BEE
    close_game https
    e2e_check "https: nginx passed no accepted run" grep -q "^POST /v1/runs 201 " "$work/tls/access.log"
    e2e_check "https: a line about the board: $(grep board: "$log")" not line_in_log "^board: "
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
