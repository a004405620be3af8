#!/bin/bash
# The Windows sound output of the cues (audio/windowsoutput.cpp, PlaySoundW) under wine,
# heard on a PulseAudio null sink of its own: builds audio/tests/windowsoutput_probe.cpp
# with MinGW (no Qt needed), runs it in a wine prefix of its own (removed afterwards) while
# parec records the sink's monitor, and checks the recording in 10 ms windows: 440 Hz for
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
recorder=""
trap '[ -z "$recorder" ] || kill "$recorder" 2>/dev/null; wineserver -k 2>/dev/null || true
      stop_pulse; rm -rf "$work"' EXIT
x86_64-w64-mingw32-g++-posix -std=c++20 -O2 -Wall -Wextra -Werror -I"$root" \
    "$root/audio/tests/windowsoutput_probe.cpp" "$root/audio/windowsoutput.cpp" \
    -o "$work/probe.exe" -lwinmm -static
start_pulse
export WINEPREFIX=$work/prefix WINEDEBUG=-all HOME=$work/home
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree,mshtml="
mkdir -p "$HOME"
wineboot -i >/dev/null 2>&1
wineserver -w
parec -d capture.monitor --raw --format=s16le --rate=22050 --channels=1 --latency-msec=5 \
    >"$work/heard.raw" &
recorder=$!
sleep 1
timeout 120 wine "$work/probe.exe" || { echo "FAIL: the probe ended with $?" >&2; exit 1; }
sleep 0.5
kill "$recorder"
recorder=""
python3 - "$work/heard.raw" <<'PYTHON'
import array, sys
samples = array.array("h")
samples.frombytes(open(sys.argv[1], "rb").read())
window = 220  # 10 ms at 22050 Hz, in four quarters
tones = []  # the tone of each 10 ms wholly sounding: 440 or 880 by its zero crossings
for at in range(0, len(samples) - window, window):
    part = samples[at:at + window]
    quarters = [part[q:q + window // 4] for q in range(0, window, window // 4)]
    if all(max(abs(v) for v in q) > 0.1 * 32768 for q in quarters):
        crossings = sum((part[i - 1] < 0) != (part[i] < 0) for i in range(1, window))
        tones.append(440 if crossings * 50 < 660 else 880)
# Order and amounts, not times: on a busy machine wine's output drops out and stretches.
if 880 not in tones:
    sys.exit("FAIL: the second tone was not heard")
first, last = tones.index(880), len(tones) - 1 - tones[::-1].index(880)
before, high = 10 * tones[:first].count(440), 10 * tones.count(880)
between, after = 10 * tones[first:last].count(440), 10 * tones[last:].count(440)
print(f"heard: 440 Hz {before} ms, then 880 Hz {high} ms (440 Hz {between} ms among it), "
      f"then 440 Hz {after} ms")
# 300 ms of the first tone (not its 900), all 300 of the second, 200 of the third.
ok = 200 <= before <= 450 and 200 <= high <= 350 and between <= 30 and 100 <= after <= 350
sys.exit(0 if ok else "FAIL: not the tones and cuts the probe played")
PYTHON
echo "cue-output: PlaySoundW heard under wine, cut by the next sound and by a stop"
