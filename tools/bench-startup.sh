#!/usr/bin/env bash
# Start-up benchmark under Xvfb: time from process start until the window is visible,
# and resident memory once it is, for TapeCalc and, side by side in the same run,
# SpeedCrunch (another Qt calculator). Prints the median of each.
# Needs: xvfb xdotool speedcrunch (Debian), and a build in build/.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${RUNS:-15}
source tools/xvfb.sh
start_xvfb 1280x1024x24
home=$(mktemp -d) # a fresh home, so neither program reads settings of earlier runs

# Prints "milliseconds rss_kb" for one start of the command.
measure() {
    local start end pid rss
    start=$(date +%s%N)
    HOME=$home "$@" >/dev/null 2>>/tmp/startup-stderr.log &
    pid=$!
    until xdotool search --onlyvisible --pid "$pid" >/dev/null 2>&1; do
        if ! kill -0 "$pid" 2>/dev/null; then
            echo "$1 ended before showing its window" >&2
            return 0
        fi
        sleep 0.001
    done
    end=$(date +%s%N)
    sleep 0.3 # let it settle before reading its memory
    rss=$(awk '/VmRSS/ {print $2}' "/proc/$pid/status")
    kill "$pid"
    wait "$pid" 2>/dev/null || true
    echo "$(((end - start) / 1000000)) $rss"
}

median() { sort -n | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR+1)/2] : (a[NR/2] + a[NR/2+1]) / 2}'; }

: >/tmp/startup-tapecalc.txt
: >/tmp/startup-speedcrunch.txt
for _ in $(seq "$runs"); do
    measure ./build/app/tapecalc >>/tmp/startup-tapecalc.txt
    measure speedcrunch >>/tmp/startup-speedcrunch.txt
done
for name in tapecalc speedcrunch; do
    ms=$(cut -d' ' -f1 /tmp/startup-$name.txt | median)
    rss=$(cut -d' ' -f2 /tmp/startup-$name.txt | median)
    echo "$name: start-up median ${ms} ms, resident memory median $((${rss%.*} / 1024)) MB ($runs runs)"
done
rm -rf "$home"
