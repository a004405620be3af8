#!/usr/bin/env bash
# Start-up benchmark under Xvfb: time from process start until the window is visible,
# and resident memory once it is, for TapeCalc and, in the same run, two other
# calculators: SpeedCrunch (Qt) and galculator (GTK). The three take turns, each round in
# a rotated order; prints the medians and TapeCalc's ratio to each.
# Usage: RUNS=21 tools/bench-startup.sh   (RUNS: rounds; fewer than 21 says little)
# Needs: xvfb xdotool, a build in build/, and for comparison only
# `apt-get install speedcrunch galculator`.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${RUNS:-21}
tapecalc=${TAPECALC:-./build/app/tapecalc} # another build to compare: TAPECALC=path
[ -x "$tapecalc" ] || { echo "no $tapecalc: build first" >&2; exit 1; }
for tool in xdotool Xvfb speedcrunch galculator; do
    command -v "$tool" >/dev/null || {
        echo "$tool is missing: apt-get install xvfb xdotool speedcrunch galculator" >&2
        exit 1
    }
done
source tools/xvfb.sh
start_xvfb 1280x1024x24
work=$(mktemp -d)
home=$work/home # a fresh home, so no program reads settings of earlier runs
mkdir "$home"
trap 'rm -rf "$work"; kill $xvfb_pid 2>/dev/null; wait $xvfb_pid 2>/dev/null' EXIT

# Prints "milliseconds rss_kb" for one start of the command.
measure() {
    local start end pid rss
    start=$(date +%s%N)
    HOME=$home "$@" >/dev/null 2>>"$work/stderr.log" &
    pid=$!
    until xdotool search --onlyvisible --pid "$pid" >/dev/null 2>&1; do
        if ! kill -0 "$pid" 2>/dev/null; then
            echo "$1 ended before showing its window; run left out" >&2
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

names=(tapecalc speedcrunch galculator)
commands=("$tapecalc" speedcrunch galculator)
echo "load before: $(uptime | sed 's/.*load average: //')"
for round in $(seq 0 $((runs - 1))); do
    for k in 0 1 2; do
        i=$(((round + k) % 3))
        measure "${commands[$i]}" >>"$work/${names[$i]}.txt"
    done
done
echo "load after:  $(uptime | sed 's/.*load average: //')"

declare -A ms rss
for name in "${names[@]}"; do
    ms[$name]=$(cut -d' ' -f1 "$work/$name.txt" | median)
    rss[$name]=$(cut -d' ' -f2 "$work/$name.txt" | median)
    printf '%-12s start-up median %6s ms   resident memory median %5.1f MB   (%d runs)\n' \
        "$name" "${ms[$name]}" "$(awk "BEGIN {print ${rss[$name]} / 1024}")" "$runs"
done
for other in speedcrunch galculator; do
    printf 'tapecalc / %-11s start-up %.2f   memory %.2f\n' "$other" \
        "$(awk "BEGIN {print ${ms[tapecalc]} / ${ms[$other]}}")" \
        "$(awk "BEGIN {print ${rss[tapecalc]} / ${rss[$other]}}")"
done
