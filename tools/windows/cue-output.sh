#!/bin/bash
# The Windows sound output of the cues (audio/windowsoutput.cpp, waveOut) under wine,
# heard on a PulseAudio null sink of its own: builds audio/tests/windowsoutput_probe.cpp
# with MinGW (no Qt needed), runs it in a wine prefix of its own (removed afterwards) while
# parec records the sink's monitor, and checks the recording (heard.py): 440 Hz for
# 300 ms cut by 880 Hz for 300 ms, silence, 440 Hz cut after 200 ms, silence.
# Usage: tools/windows/cue-output.sh
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
# shellcheck source=../setup.sh
source "$root/tools/setup.sh"
# shellcheck source=../start-pulse.sh
source "$root/tools/start-pulse.sh"
tapecalc_install_missing wine wine64 g++-mingw-w64-x86-64-posix pulseaudio pulseaudio-utils \
    python3

work=$(mktemp -d)
trap 'wineserver -k 2>/dev/null || true; stop_pulse; rm -rf "$work"' EXIT
x86_64-w64-mingw32-g++-posix -std=c++20 -O2 -Wall -Wextra -Werror -I"$root" \
    "$root/audio/tests/windowsoutput_probe.cpp" "$root/audio/windowsoutput.cpp" \
    -o "$work/probe.exe" -lwinmm -static
start_pulse
export WINEPREFIX=$work/prefix WINEDEBUG=-all HOME=$work/home
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree,mshtml="
mkdir -p "$HOME"
wineboot -i >/dev/null 2>&1
wineserver -w
record_sink "$work/heard.raw"
timeout 120 wine "$work/probe.exe" || { echo "FAIL: the probe ended with $?" >&2; exit 1; }
stop_recording
# 300 ms of the first tone (not its 900), all 300 of the second, 200 of the third.
python3 "$here/heard.py" tones "$work/heard.raw" 440:200:450 880:200:350 440:100:350
echo "cue-output: waveOut heard under wine, cut by the next sound and by a stop"
