#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test headless: the whole suite with
# a real sound server and printer queue, then the core tests under ASan and UBSan.
set -euo pipefail
cd "$(dirname "$0")"
source tools/setup.sh
tapecalc_install_missing

tapecalc_build build

# Real parts of this run's own: a PulseAudio server with a null sink to record from, and
# a CUPS queue that prints to PDF, which the print test names for its jobs. The machine's
# default printer and sound output stay as they are; what is started or added here is
# stopped or removed when the script ends, however it ends.
source tools/start-pulse.sh
source tools/start-cups.sh
trap 'stop_cups; stop_pulse' EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
start_pulse || true
start_cups || true

export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure --timeout 300

tapecalc_build build-sanitize -DTAPECALC_CORE_ONLY=ON -DTAPECALC_SANITIZE=ON
ctest --test-dir build-sanitize --output-on-failure --timeout 300 -L core
