#!/usr/bin/env bash
# The real game against a real board of its own (PostgreSQL and tamq-board started here in
# a temporary folder), played in its window under a virtual X server:
#   - over HTTP: a run gets its token, its game over asks a name, typed with the arrows and
#     SPACE; the board stores the run under that name with the score the game verifies
#     locally, and the game-over screen shows the board;
#   - the day's road (D): a run on the day's token stored on the day's table alone, and the
#     next attempt raced against the day's leader as the ghost, accepted by the board;
#   - over HTTPS, through nginx with a throwaway certificate authority: refused without
#     --board-ca (the game says once that the board cannot be reached and shows none),
#     shown on the title screen and taking a run with it;
#   - with the board stopped during a run: the run goes on to its end, the game says so
#     once, sends the run when the board is back, and says that too;
#   - behind a board that answers every call 3 s late: the run is still ranked, and the
#     longest frame and the size of each call are printed (figures, never checked);
#   - behind a board that never answers: said once, no board shown, the game goes on.
# The title screen showing the board is saved as board.jpg, for the README.
#
# Usage: board_e2e.sh GAME_BINARY PROJECT_ROOT SCREENSHOT_DIR CLOSE_TOOL BOARD_BINARY
# Exit codes: 0 passed, 1 failed, 77 skipped (a tool is missing, or a game without --board).
set -uo pipefail
here="$(dirname "$0")"
source "$here/../../tests/lib/x11.sh"
source "$here/../../tests/lib/board-play.sh"
source "$here/../../scripts/lib/local-board.sh"
source "$here/../../scripts/lib/tls.sh"

e2e_arguments "$1" "$2" "$3" "$4"
# The game's data folders are under it, and a relative XDG_DATA_HOME counts as none.
shots="$(realpath "$shots")"
board_exe="$(realpath "$5")"
board_verifier="$game"
x11_require Xvfb xdotool xwininfo import convert compare curl nginx openssl python3 "$TAMQ_PG_BIN/initdb"
if ! "$game" --help | grep -q -- '--board '; then
    echo "SKIP: this build of the game has no --board"
    exit 77
fi

# The cluster's account (postgres, when the test runs as root) must reach its folder.
work="$(mktemp -d)"
chmod 755 "$work"
cleanup() {
    x11_cleanup
    tls_cleanup
    board_cleanup
    cp "$work"/board/board.log "$work"/proxy.log "$work"/tls/access.log "$shots/" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
rm -rf "$shots"/home-* "$shots"/*.txt "$shots"/*.png

# play NAME ARGUMENTS...: the game in its window with its own fresh data folder
# ($shots/home-NAME), output in $shots/NAME.txt.
play() {
    home="$shots/home-$1"
    board_launch "$1" env XDG_DATA_HOME="$home" "$game" --mute --frame-stats "${@:2}"
}
ranked_run() { board_ranked_run "$1" "$2" "$home" "${@:3}"; }

over_http() {
    play http --board "$board_url" || return
    # An empty board: nothing of it on the title screen.
    e2e_check "http: a board shown while it has no entries" not board_table_shown "$shots/http-title.png"
    dark_without_board="$(board_dark_pixels "$shots/http-title.png")"
    ranked_run http ACE
    e2e_check "http: the game-over screen does not show the board" \
        x11_shot_until 30 "$shots/http-board.png" board_table_shown
    board_close_game http
    e2e_check "http: the board was said to be unreachable: $(grep board: "$log")" not line_in_log "cannot be reached"
}

over_https() {
    tls_start_proxy "$work/tls" "$board_url" || { e2e_fail "https: nginx did not start"; return; }
    echo "https: nginx on $tls_url, key pin $(tls_spki "$work/tls")"
    # Without the authority the certificate is refused like an unreachable board.
    play https-without-ca --board "$tls_url" || return
    e2e_check "https without --board-ca: no line saying the board cannot be reached" \
        tamq_poll 60 line_in_log "board: $tls_url cannot be reached"
    e2e_check "https without --board-ca: a board shown" \
        not board_table_shown "$shots/https-without-ca-title.png"
    board_close_game https-without-ca

    play https --board "$tls_url" --board-ca "$tls_ca" || return
    e2e_check "https: the title screen does not show the board" \
        x11_shot_until 60 "$shots/https-title.png" board_table_shown
    e2e_check "https: no entry's letters on the title screen" \
        test "$(board_dark_pixels "$shots/https-title.png")" -gt "$((dark_without_board + 100))"
    ranked_run https BEA Left 0.5
    board_close_game https
    e2e_check "https: nginx passed no accepted run" grep -q "^POST /v1/runs 201 " "$work/tls/access.log"
    e2e_check "https: a line about the board: $(grep board: "$log")" not board_fault_in_log
    e2e_check "https: the accepted run's page address not said exactly once" \
        test "$(grep -c "^board: this run: $tls_url/?run=[0-9]*\$" "$log")" = 1
}

board_down_mid_run() {
    local port="$board_port"
    play down --board "$board_url" || return
    e2e_check "down: the title screen does not show the board" \
        x11_shot_until 60 "$shots/down-title.png" board_table_shown
    e2e_check "down: no run shown after SPACE" board_start_run "$shots/down-run.png" || return
    board_stop
    x11_hold Up 0.6
    e2e_check "down: the road stopped with the board" \
        x11_shot_until 30 "$shots/down-later.png" x11_changed_from "$shots/down-run.png" 1000
    e2e_check "down: the game over asked no name" board_wait_name_entry 240 "$shots/down-name.png" || return
    e2e_check "down: the name could not be typed" board_type_name DAB "$shots/down-typing.png"
    e2e_check "down: no line saying the board cannot be reached" \
        tamq_poll 60 line_in_log "board: $board_url cannot be reached"
    e2e_check "down: the game ended" x11_app_running
    # Back on its port, with the runs it had: the run sent meanwhile arrives.
    board_start "$work/board" "$board_exe" "$root/data" "$port" || { e2e_fail "down: the board did not start again"; return; }
    e2e_check "down: the run never reached the board once it was back" \
        tamq_poll 120 board_entry_count_above 2
    e2e_check "down: no line saying the board answers again" \
        tamq_poll 330 line_in_log "board: $board_url answers again"
    e2e_check "down: said $(lines_in_log "cannot be reached") times that the board cannot be reached" \
        test "$(lines_in_log "cannot be reached")" = 1
    e2e_check "down: said $(lines_in_log "answers again") times that the board answers again" \
        test "$(lines_in_log "answers again")" = 1
    board_close_game down
    grep "^board: " "$log" | sed 's/^/down: /'
}

slow_board() {
    board_proxy_start "$work" "$board_url" 3 || { e2e_fail "slow: the proxy did not start"; return; }
    play slow --board "$proxy_url" || return
    # The title screen of a board of several players: the README's picture.
    e2e_check "slow: the title screen does not show the board" \
        x11_shot_until 60 "$shots/board.png" board_table_shown
    convert "$shots/board.png" -resize 960x540 -quality 88 "$shots/board.jpg"
    e2e_check "slow: no token came" tamq_poll 60 grep -q "^POST /v1/runs/start 200 " "$work/proxy.log"
    ranked_run slow CAB Right 0.4
    e2e_check "slow: the answer to the run never came back through the proxy" \
        tamq_poll 60 grep -q "^POST /v1/runs 201 " "$work/proxy.log"
    e2e_check "slow: the game ended" x11_app_running
    board_close_game slow
    echo "longest frame with the board on loopback: $(board_longest_frame "$shots/http.txt") ms," \
        "answering 3 s late: $(board_longest_frame "$shots/slow.txt") ms"
    echo "calls (bytes as they crossed the proxy, head and body):"
    awk '!seen[$1 " " $2 " " $3]++ { print "  " $0 }' "$work/proxy.log"
    board_proxy_stop
}

# A board that takes the connections and never answers: the requests time out, the game
# says so once, shows no board and plays on; asked again 30 s later, it says nothing more.
silent_board() {
    : >"$work/proxy.log"
    board_proxy_start "$work" "$board_url" hold || { e2e_fail "silent: the proxy did not start"; return; }
    play silent --board "$proxy_url" || return
    e2e_check "silent: no line saying the board cannot be reached" \
        tamq_poll 60 line_in_log "board: $proxy_url cannot be reached"
    e2e_check "silent: the title screen stood still" \
        x11_shot_until 30 "$shots/silent-later.png" x11_changed_from "$shots/silent-title.png" 1000
    e2e_check "silent: a board shown" not board_table_shown "$shots/silent-later.png"
    e2e_check "silent: the board was not asked again" tamq_poll 90 held_requests_over 2
    e2e_check "silent: said more than once that the board cannot be reached" \
        not tamq_poll 10 lines_over "cannot be reached" 1
    board_close_game silent
    board_proxy_stop
}
held_requests_over() { [ "$(grep -c " held " "$work/proxy.log")" -gt "$1" ]; }
lines_over() { [ "$(lines_in_log "$1")" -gt "$2" ]; }

if x11_start_server 1280x720x24; then
    if board_start "$work/board" "$board_exe" "$root/data"; then
        echo "board on $board_url"
        over_http
        board_daily_road daily
        over_https
        board_down_mid_run
        slow_board
        silent_board
        echo "board:"
        board_entries "$board_url" | sed 's/^/  /'
    else
        e2e_fail "the board did not start"
    fi
else
    e2e_fail "Xvfb did not start"
fi
echo "screenshots in $shots"
e2e_summary "board end-to-end"
