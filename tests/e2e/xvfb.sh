# Sourced by the end-to-end scripts: a virtual X server of their own.
#
# start_xvfb SIZE (e.g. 1280x720x24): starts Xvfb on a display number it picks itself, so
# parallel runs never collide, sets xvfb_pid and exports DISPLAY. Returns 1 if it fails.
start_xvfb() {
    local fdfile tries=0
    fdfile="$(mktemp)"
    Xvfb -displayfd 3 -screen 0 "$1" -nolisten tcp 3>"$fdfile" 2>/dev/null &
    xvfb_pid=$!
    while [ ! -s "$fdfile" ] && [ $tries -lt 100 ]; do
        sleep 0.1
        tries=$((tries + 1))
    done
    export DISPLAY=":$(head -n1 "$fdfile" | tr -d '[:space:]')"
    rm -f "$fdfile"
    [ "$DISPLAY" != ":" ]
}
