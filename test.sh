#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test headless: the whole suite with
# a real sound server and printer queue, then all of it under ASan and UBSan, and the fuzzers.
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

# --- sanitizers and fuzzing: begin ---
# Every suite again under ASan and UBSan (the sound and print suites with the servers
# above); any report fails its test. Then each fuzz target: its seeds once, and a short
# run from a fixed random seed (tools/fuzz.sh SECONDS for longer runs).
tapecalc_build build-sanitize -DTAPECALC_SANITIZE=ON -DTAPECALC_CORE_ONLY=OFF -DTAPECALC_BENCH=OFF
ctest --test-dir build-sanitize --output-on-failure --timeout 300
bash tools/fuzz.sh --check
# --- sanitizers and fuzzing: end ---
