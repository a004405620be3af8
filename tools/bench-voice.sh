#!/usr/bin/env bash
# Key-to-voice benchmark under Xvfb with a PulseAudio null sink of its own: xdotool writes
# the digit 5 into the window, and the sound's onset is found on the sink's monitor, read
# in 1 ms chunks. TapeCalc and a minimal client (bench/voice_floor.cpp: a bare X window
# that writes the same cue into one PulseAudio stream kept open with a 5 ms target
# length) take turns; prints both medians, the first press after start, and the ratios.
# Usage: tools/bench-voice.sh [--first-delay MS] [--gap MS] [--key K]
#        ROUNDS=5 starts each, PRESSES=15 keys per start; TAPECALC=path to time another
#        build, FLOOR=path to the floor client
# Needs: xvfb xdotool pulseaudio pulseaudio-utils python3, a build in build/ with the
# benchmarks (bench_voice_floor needs libx11-dev and libpulse-dev).
set -euo pipefail
cd "$(dirname "$0")/.."
tapecalc=${TAPECALC:-./build/app/tapecalc}
floor=${FLOOR:-./build/bench/bench_voice_floor}
cue=$(dirname "$tapecalc")/shengyin/5.wav
for file in "$tapecalc" "$floor"; do
    [ -x "$file" ] || { echo "no $file: build first" >&2; exit 1; }
done
for tool in Xvfb xdotool pulseaudio parec python3; do
    command -v "$tool" >/dev/null || { echo "$tool is missing" >&2; exit 1; }
done
source tools/xvfb.sh
source tools/start-pulse.sh
start_xvfb 1280x1024x24
start_pulse
work=$(mktemp -d)
trap 'stop_pulse; rm -rf "$work"; kill $xvfb_pid 2>/dev/null; wait $xvfb_pid 2>/dev/null' EXIT
echo "load before: $(uptime | sed 's/.*load average: //')"
python3 bench/voice_keys.py --tapecalc "$tapecalc" --floor "$floor" --cue "$cue" \
    --rounds "${ROUNDS:-5}" --presses "${PRESSES:-15}" --home "$work" "$@"
echo "load after:  $(uptime | sed 's/.*load average: //')"
