# Sourced by the install checks: start an installed game and wait for its first frame,
# which the game announces with one line ("... first frame shown") on standard output.
#
# start_until_first_frame LOG FOLDER COMMAND...: starts COMMAND from FOLDER with its output
# in LOG, and waits up to a minute for the line. Sets first_frame_pid. Returns 1 with
# first_frame_error set (and the game killed) when the line does not come.
#
# first_frame_then_sigterm LOG FOLDER COMMAND...: the same with SDL's offscreen driver,
# then SIGTERM, which must end the game with exit code 0.
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/lib/common.sh"

first_frame_error=""
first_frame_pid=""

# The log may not exist yet when the first poll comes.
first_frame_shown_or_ended() { grep -qs "first frame shown" "$1" || ! kill -0 "$first_frame_pid" 2>/dev/null; }

start_until_first_frame() {
    local log="$1" folder="$2"
    shift 2
    (cd "$folder" && exec "$@") >"$log" 2>&1 &
    first_frame_pid=$!
    tamq_poll 60 first_frame_shown_or_ended "$log" || true
    grep -q "first frame shown" "$log" && return 0
    kill -KILL "$first_frame_pid" 2>/dev/null
    wait "$first_frame_pid" 2>/dev/null
    first_frame_error="no first frame: $(tail -n 5 "$log")"
    return 1
}

first_frame_then_sigterm() {
    local log="$1" folder="$2"
    shift 2
    start_until_first_frame "$log" "$folder" \
        env SDL_VIDEODRIVER=offscreen LIBGL_ALWAYS_SOFTWARE=1 SDL_AUDIODRIVER=dummy "$@" || return 1
    kill -TERM "$first_frame_pid"
    local status=0
    wait "$first_frame_pid" || status=$?
    if [ "$status" -ne 0 ]; then
        first_frame_error="exited $status on SIGTERM, expected 0: $(tail -n 5 "$log")"
        return 1
    fi
}
