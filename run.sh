#!/usr/bin/env bash
# Installs what is missing, builds and starts the calculator. Without a display it
# starts one (Xvfb) so the program still runs, e.g. for screenshots.
set -euo pipefail
cd "$(dirname "$0")"
source tools/setup.sh
tapecalc_install_missing
tapecalc_build build

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    source tools/xvfb.sh
    start_xvfb 1280x1024x24
    trap - EXIT # the virtual display outlives this script: the calculator runs on it
    echo "No display: the calculator runs on the virtual display $DISPLAY."
fi
exec ./build/app/tapecalc "$@"
