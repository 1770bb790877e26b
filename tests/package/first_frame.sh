# Sourced by the install checks: start an installed game and wait for its first frame.
#
# first_frame_then_sigterm LOG FOLDER COMMAND...: starts COMMAND from FOLDER with SDL's
# offscreen driver, waits (up to a minute) for the line the game prints once its first
# frame is on screen, sends SIGTERM and expects exit 0. Returns 1 with first_frame_error
# set otherwise.
first_frame_error=""
first_frame_then_sigterm() {
    local log="$1" folder="$2"
    shift 2
    (cd "$folder" && SDL_VIDEODRIVER=offscreen LIBGL_ALWAYS_SOFTWARE=1 SDL_AUDIODRIVER=dummy exec "$@") >"$log" 2>&1 &
    local pid=$! tries=0
    while ! grep -q "first frame shown" "$log" && kill -0 "$pid" 2>/dev/null && [ $tries -lt 600 ]; do
        sleep 0.1
        tries=$((tries + 1))
    done
    if ! grep -q "first frame shown" "$log"; then
        kill -KILL "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
        first_frame_error="no first frame: $(tail -n 5 "$log")"
        return 1
    fi
    kill -TERM "$pid"
    local status=0
    wait "$pid" || status=$?
    if [ "$status" -ne 0 ]; then
        first_frame_error="exited $status on SIGTERM, expected 0: $(tail -n 5 "$log")"
        return 1
    fi
}
