#!/usr/bin/env bash
# Start-up benchmark under Xvfb: for TapeCalc and, in the same run, a bare Qt Widgets
# program on the same Qt (bench/bare_window.cpp: a frameless window with one label), the
# time from process start until the window is visible, the shared libraries mapped and
# the resident memory at that moment, and both again once it has settled (0.3 s later:
# what was loaded after the first paint). SpeedCrunch (Qt) and galculator (GTK) take part
# too where they are installed. The programs take turns, each round in a rotated order;
# prints the medians and TapeCalc's ratios to each.
# Usage: RUNS=21 tools/bench-startup.sh   (RUNS: rounds; fewer than 21 says little)
#        LIBS=1 tools/bench-startup.sh    also lists the libraries TapeCalc maps beyond
#                                         the bare program's, at the window and settled
#        BEFORE=path tools/bench-startup.sh   another build of TapeCalc takes turns too
# Needs: xvfb xdotool, a build in build/ (bench/bare_window comes with TAPECALC_BENCH), and
# for comparison only `apt-get install speedcrunch galculator`.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${RUNS:-21}
tapecalc=${TAPECALC:-./build/app/tapecalc} # another build to compare: TAPECALC=path
bare=${BARE:-./build/bench/bare_window}
[ -x "$tapecalc" ] || { echo "no $tapecalc: build first" >&2; exit 1; }
[ -x "$bare" ] || { echo "no $bare: build with -DTAPECALC_BENCH=ON" >&2; exit 1; }
for tool in xdotool Xvfb; do
    command -v "$tool" >/dev/null || { echo "$tool is missing: apt-get install xvfb xdotool" >&2; exit 1; }
done
source tools/xvfb.sh
start_xvfb 1280x1024x24
work=$(mktemp -d)
home=$work/home # a fresh home, so no program reads settings of earlier runs
mkdir "$home"
trap 'rm -rf "$work"; kill $xvfb_pid 2>/dev/null; wait $xvfb_pid 2>/dev/null' EXIT

libraries() { awk '$6 ~ /\.so(\.|$)/ {print $6}' "/proc/$1/maps" | sort -u; }

# Prints "milliseconds libraries rss_kb settled_libraries settled_rss_kb" for one start of
# the command; with a name as $1, keeps the lists of libraries as $work/$name.at and .settled.
measure() {
    local name=$1 start end pid rss libs
    shift
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
    libraries "$pid" >"$work/$name.at"
    rss=$(awk '/VmRSS/ {print $2}' "/proc/$pid/status")
    libs=$(wc -l <"$work/$name.at")
    sleep 0.3 # let it settle: what loads after the first paint
    libraries "$pid" >"$work/$name.settled"
    echo "$(((end - start) / 1000000)) $libs $rss $(wc -l <"$work/$name.settled")" \
        "$(awk '/VmRSS/ {print $2}' "/proc/$pid/status")"
    kill "$pid"
    wait "$pid" 2>/dev/null || true
}

median() { sort -n | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR+1)/2] : (a[NR/2] + a[NR/2+1]) / 2}'; }

names=(tapecalc bare)
commands=("$tapecalc" "$bare")
if [ -n "${BEFORE:-}" ]; then
    names+=(before)
    commands+=("$BEFORE")
fi
for other in speedcrunch galculator; do
    if command -v "$other" >/dev/null; then
        names+=("$other")
        commands+=("$other")
    fi
done
count=${#names[@]}
echo "load before: $(uptime | sed 's/.*load average: //')"
for round in $(seq 0 $((runs - 1))); do
    for k in $(seq 0 $((count - 1))); do
        i=$(((round + k) % count))
        measure "${names[$i]}" "${commands[$i]}" >>"$work/${names[$i]}.txt"
    done
done
echo "load after:  $(uptime | sed 's/.*load average: //')"

declare -A ms libs rss slibs srss
column() { cut -d' ' -f"$2" "$work/$1.txt" | median; }
mb() { awk "BEGIN {printf \"%.1f\", $1 / 1024}"; }
ratio() { awk "BEGIN {printf \"%.2f\", $1 / $2}"; }
for name in "${names[@]}"; do
    ms[$name]=$(column "$name" 1)
    libs[$name]=$(column "$name" 2)
    rss[$name]=$(column "$name" 3)
    slibs[$name]=$(column "$name" 4)
    srss[$name]=$(column "$name" 5)
    printf '%-11s first window %4s ms, %3s libraries, %5s MB; settled %3s libraries, %5s MB (%d runs)\n' \
        "$name" "${ms[$name]}" "${libs[$name]}" "$(mb "${rss[$name]}")" "${slibs[$name]}" \
        "$(mb "${srss[$name]}")" "$runs"
done
pairs=()
for other in "${names[@]:1}"; do pairs+=("tapecalc $other"); done
[ -z "${BEFORE:-}" ] || pairs+=("before bare")
for pair in "${pairs[@]}"; do
    read -r one other <<<"$pair"
    printf '%-8s / %-11s first window %s   memory %s (settled %s)   libraries %s (settled %s)\n' \
        "$one" "$other" "$(ratio "${ms[$one]}" "${ms[$other]}")" \
        "$(ratio "${rss[$one]}" "${rss[$other]}")" \
        "$(ratio "${srss[$one]}" "${srss[$other]}")" \
        "$(ratio "${libs[$one]}" "${libs[$other]}")" \
        "$(ratio "${slibs[$one]}" "${slibs[$other]}")"
done
if [ -n "${LIBS:-}" ]; then
    echo "mapped by tapecalc, not by the bare program, at the window (last run):"
    comm -23 "$work/tapecalc.at" "$work/bare.at" | sed 's|.*/|  |'
    echo "and after it:"
    comm -23 "$work/tapecalc.settled" "$work/tapecalc.at" | sed 's|.*/|  |'
fi
