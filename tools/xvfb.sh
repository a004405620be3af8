# Sourced by the scripts that need a display: `start_xvfb WIDTHxHEIGHTxDEPTH` starts a
# virtual X server on a free display, waits until it accepts connections and exports
# DISPLAY. It is stopped when the calling script exits (unless the script execs).
# Needs: xvfb.

start_xvfb() {
    local number_file
    number_file=$(mktemp)
    # Xvfb picks a free display and writes its number once it accepts connections.
    # -noreset: the server would otherwise restart whenever its last client leaves, and
    # refuse the next program that connects meanwhile.
    Xvfb -displayfd 3 -noreset -screen 0 "$1" 3>"$number_file" >/dev/null 2>&1 &
    xvfb_pid=$!
    # Waiting for it to end keeps a later server from losing its display to this one's cleanup.
    trap 'kill $xvfb_pid 2>/dev/null; wait $xvfb_pid 2>/dev/null' EXIT
    until [ -s "$number_file" ]; do
        kill -0 "$xvfb_pid" 2>/dev/null || { echo "Xvfb did not start" >&2; return 1; }
        sleep 0.05
    done
    export DISPLAY=":$(cat "$number_file")"
    rm -f "$number_file"
}
