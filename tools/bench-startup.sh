#!/usr/bin/env bash
# Start-up benchmark under Xvfb: for TapeCalc and, in the same run, a bare Qt Widgets
# program on the same Qt (bench/bare_window.cpp: a frameless window with one label, and the
# same holding a line edit, as the calculator's window holds its entry box), the
# time from process start until the window is mapped and until its first frame is drawn
# (bench/first_map.cpp starts the program and is told of both by the X server, so no
# poller takes the processor from the program it times), the shared libraries mapped and
# the resident memory at the map, and both again once it has settled (0.3 s later:
# what was loaded after the first paint). SpeedCrunch (Qt) and galculator (GTK) take part
# too where they are installed. The programs take turns, each round in a rotated order;
# prints the medians and TapeCalc's ratios to each.
# Usage: RUNS=21 tools/bench-startup.sh   (RUNS: rounds; fewer than 21 says little)
#        LIBS=1 tools/bench-startup.sh    also lists the libraries TapeCalc maps beyond
#                                         the bare program's, at the first frame and settled
#        BEFORE=path tools/bench-startup.sh   another build of TapeCalc takes turns too
# Needs: xvfb, a build in build/ (bench/bare_window and bench/first_map come with
# TAPECALC_BENCH, the second with libx11-dev and libxdamage-dev), and
# for comparison only `apt-get install speedcrunch galculator`.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${RUNS:-21}
tapecalc=${TAPECALC:-./build/app/tapecalc} # another build to compare: TAPECALC=path
bare=${BARE:-./build/bench/bare_window}
first_map=./build/bench/first_map
[ -x "$tapecalc" ] || { echo "no $tapecalc: build first" >&2; exit 1; }
for tool in "$bare" "$first_map"; do
    [ -x "$tool" ] || { echo "no $tool: build with -DTAPECALC_BENCH=ON (and libx11-dev)" >&2; exit 1; }
done
command -v Xvfb >/dev/null || { echo "Xvfb is missing: apt-get install xvfb" >&2; exit 1; }
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
    local name=$1 ms frame pid rss libs
    shift
    read -r ms frame pid rss libs < <(HOME=$home timeout 20 "$first_map" "$@" \
        2>>"$work/stderr.log") || {
        echo "$1 showed no window within 20 s; run left out" >&2
        return 0
    }
    libraries "$pid" >"$work/$name.at" # at the first frame
    sleep 0.3 # let it settle: what loads after the first paint
    libraries "$pid" >"$work/$name.settled"
    echo "$ms $frame $libs $rss $(wc -l <"$work/$name.settled")" \
        "$(awk '/VmRSS/ {print $2}' "/proc/$pid/status")"
    kill "$pid"
    while kill -0 "$pid" 2>/dev/null; do sleep 0.01; done # not this shell's child
}

median() { sort -n | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR+1)/2] : (a[NR/2] + a[NR/2+1]) / 2}'; }

names=(tapecalc bare entrybox)
commands=("$tapecalc" "$bare" "$bare")
options=("" "" --entry-box) # entrybox: the bare window holding a line edit, as the calculator's does
if [ -n "${BEFORE:-}" ]; then
    names+=(before)
    commands+=("$BEFORE")
    options+=("")
fi
for other in speedcrunch galculator; do
    if command -v "$other" >/dev/null; then
        names+=("$other")
        commands+=("$other")
        options+=("")
    fi
done
count=${#names[@]}
echo "load before: $(uptime | sed 's/.*load average: //')"
for round in $(seq 0 $((runs - 1))); do
    for k in $(seq 0 $((count - 1))); do
        i=$(((round + k) % count))
        measure "${names[$i]}" "${commands[$i]}" ${options[$i]:+"${options[$i]}"} \
            >>"$work/${names[$i]}.txt"
    done
done
echo "load after:  $(uptime | sed 's/.*load average: //')"

declare -A ms frame libs rss slibs srss
column() { cut -d' ' -f"$2" "$work/$1.txt" | median; }
mb() { awk "BEGIN {printf \"%.1f\", $1 / 1024}"; }
ratio() { awk "BEGIN {printf \"%.2f\", $1 / $2}"; }
for name in "${names[@]}"; do
    ms[$name]=$(column "$name" 1)
    frame[$name]=$(column "$name" 2)
    libs[$name]=$(column "$name" 3)
    rss[$name]=$(column "$name" 4)
    slibs[$name]=$(column "$name" 5)
    srss[$name]=$(column "$name" 6)
    printf '%-11s first window %5s ms, first frame %5s ms, %3s libraries, %5s MB; settled %3s libraries, %5s MB (%d runs)\n' \
        "$name" "${ms[$name]}" "${frame[$name]}" "${libs[$name]}" "$(mb "${rss[$name]}")" \
        "${slibs[$name]}" "$(mb "${srss[$name]}")" "$runs"
done
pairs=()
for other in "${names[@]:1}"; do pairs+=("tapecalc $other"); done
pairs+=("entrybox bare")
[ -z "${BEFORE:-}" ] || pairs+=("before bare")
for pair in "${pairs[@]}"; do
    read -r one other <<<"$pair"
    printf '%-8s / %-11s first window %s   first frame %s   memory %s (settled %s)   libraries %s (settled %s)\n' \
        "$one" "$other" "$(ratio "${ms[$one]}" "${ms[$other]}")" \
        "$(ratio "${frame[$one]}" "${frame[$other]}")" \
        "$(ratio "${rss[$one]}" "${rss[$other]}")" \
        "$(ratio "${srss[$one]}" "${srss[$other]}")" \
        "$(ratio "${libs[$one]}" "${libs[$other]}")" \
        "$(ratio "${slibs[$one]}" "${slibs[$other]}")"
done
if [ -n "${LIBS:-}" ]; then
    echo "mapped by tapecalc, not by the bare program, at the first frame (last run):"
    comm -23 "$work/tapecalc.at" "$work/bare.at" | sed 's|.*/|  |'
    echo "and after it:"
    comm -23 "$work/tapecalc.settled" "$work/tapecalc.at" | sed 's|.*/|  |'
fi
