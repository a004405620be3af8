#!/usr/bin/env bash
# Installs what is missing, builds and starts the calculator. Without a display it
# starts one (Xvfb) so the program still runs, e.g. for screenshots.
set -euo pipefail
cd "$(dirname "$0")"
source tools/setup.sh
tapecalc_install_missing
tapecalc_build build

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    export DISPLAY=:77
    if ! xdotool getdisplaygeometry >/dev/null 2>&1; then
        Xvfb "$DISPLAY" -screen 0 1280x1024x24 >/dev/null 2>&1 &
        until xdotool getdisplaygeometry >/dev/null 2>&1; do sleep 0.05; done
    fi
    echo "No display: the calculator runs on the virtual display $DISPLAY."
fi
exec ./build/app/tapecalc "$@"
