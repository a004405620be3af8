#!/usr/bin/env bash
# Runs atspi_keys.py against the real program the way a screen reader meets it: a
# virtual display, a session bus of its own and the AT-SPI bus it starts. Exits 77
# (skipped) only when one of those tools is missing; everything it starts ends with it.
# Usage: atspi_keys.sh PROGRAM
set -euo pipefail
program=$1
here=$(cd "$(dirname "$0")" && pwd)

skip() {
    echo "SKIP: $* is missing"
    # test.sh's runs must test everything: a missing part fails them.
    [[ ${TAPECALC_REQUIRE_TOOLS:-0} == 0 ]] || exit 1
    exit 77
}
command -v Xvfb >/dev/null 2>&1 || skip "Xvfb (xvfb)"
command -v dbus-run-session >/dev/null 2>&1 || skip "dbus-run-session (dbus-daemon)"
found=""
IFS=: read -r -a data_dirs <<<"${XDG_DATA_DIRS:-/usr/local/share:/usr/share}"
for dir in "${data_dirs[@]}"; do
    [ -f "$dir/dbus-1/services/org.a11y.Bus.service" ] && found=yes
done
[ -n "$found" ] || skip "the AT-SPI bus (at-spi2-core)"
# The distribution's Python carries pyatspi; a python3 first on PATH (pyenv, venv) may not.
python=""
for candidate in python3 /usr/bin/python3; do
    if "$candidate" -c 'import pyatspi' >/dev/null 2>&1; then
        python=$candidate
        break
    fi
done
[ -n "$python" ] || skip "pyatspi (python3-pyatspi)"

# Nothing of the caller's desktop: no sound server (the cue player gives up at once),
# no accessibility bus of theirs, and the AT-SPI sockets in a folder removed at the end.
runtime=$(mktemp -d)
source "$here/../../tools/xvfb.sh"
start_xvfb 1280x1024x24
trap 'kill $xvfb_pid 2>/dev/null; wait $xvfb_pid 2>/dev/null; rm -rf "$runtime"' EXIT
unset AT_SPI_BUS_ADDRESS DBUS_SESSION_BUS_ADDRESS WAYLAND_DISPLAY
export XDG_RUNTIME_DIR=$runtime PULSE_SERVER="unix:$runtime/no-sound-server"
export GSETTINGS_BACKEND=memory
dbus-run-session -- "$python" "$here/atspi_keys.py" "$program"
