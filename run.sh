#!/usr/bin/env bash
# Installs what is missing for building and running, builds the calculator alone (no
# tests, no benchmarks, in build-run/) and starts it. Without a display it runs on a
# virtual one (xvfb-run) that ends with it.
set -euo pipefail
cd "$(dirname "$0")"
source tools/setup.sh
packages=("${tapecalc_run_packages[@]}")
headless=false
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    headless=true
    packages+=(xvfb xauth procps)
fi
tapecalc_install_missing "${packages[@]}"

cmake -S . -B build-run -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DBUILD_TESTING=OFF -DTAPECALC_BENCH=OFF >/dev/null
cmake --build build-run --target tapecalc -j"$(nproc)"

if ! $headless; then
    exec ./build-run/app/tapecalc "$@"
fi
echo "No display: the calculator runs on a virtual display until it ends."
# xvfb-run stops its server when the calculator ends. It runs in a session of its own, so
# a Ctrl-C or a closed terminal reaches only this script, which then ends the calculator
# and the server (the children of xvfb-run) and lets xvfb-run clean up.
setsid xvfb-run -a -s "-screen 0 1280x1024x24" ./build-run/app/tapecalc "$@" &
wrapper=$!
stop() { kill $(ps -o pid= --ppid "$wrapper") 2>/dev/null || true; }
trap stop INT TERM HUP
status=0
while kill -0 "$wrapper" 2>/dev/null; do
    wait "$wrapper" || status=$?
done
exit "$status"
