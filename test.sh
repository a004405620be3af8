#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test headless: the whole suite with
# a real sound server and printer queue, then the core tests under ASan and UBSan.
set -euo pipefail
cd "$(dirname "$0")"
source tools/setup.sh
tapecalc_install_missing

tapecalc_build build

# Real parts: a PulseAudio null sink to record from, a CUPS queue that prints to PDF.
eval "$(bash tools/start-pulse.sh || true)"
bash tools/start-cups.sh || true

export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure --timeout 300

tapecalc_build build-sanitize -DTAPECALC_CORE_ONLY=ON -DTAPECALC_SANITIZE=ON
ctest --test-dir build-sanitize --output-on-failure --timeout 300 -L core
