#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang in build-fuzz and runs each in turn.
#   tools/fuzz.sh [seconds [target...]]  each target (default: all) for that long (default
#       60); new inputs go to build-fuzz/corpus/<target>, the seeds in fuzz/corpus stay as
#       they are, and a crash leaves its input in build-fuzz/crashes/.
#   tools/fuzz.sh --check  what test.sh runs: the seeds once each (ctest), then every
#       target for a fixed number of runs from a fixed random seed.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/setup.sh

targets=(fuzz_money fuzz_numbertext fuzz_tape fuzz_journal fuzz_wav)
check=0
seconds=60
if [ "${1-}" = "--check" ]; then
    check=1
    shift
elif [ $# -gt 0 ]; then
    seconds=$1
    shift
fi
[ $# -gt 0 ] && targets=("$@")

tapecalc_build build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DTAPECALC_FUZZ=ON
if [ $check -eq 1 ]; then
    ctest --test-dir build-fuzz --output-on-failure
fi

dictionary() {
    case $1 in
    fuzz_money | fuzz_numbertext) echo fuzz/money.dict ;;
    fuzz_tape) echo fuzz/tape.dict ;;
    fuzz_journal) echo fuzz/journal.dict ;;
    fuzz_wav) echo fuzz/wav.dict ;;
    esac
}

mkdir -p build-fuzz/crashes build-fuzz/logs
summary=()
status=0
for target in "${targets[@]}"; do
    work=build-fuzz/corpus/$target
    if [ $check -eq 1 ]; then
        # A fresh working folder each time, so the run is the same on every machine.
        work=build-fuzz/check/$target
        rm -rf "$work"
        limit=(-seed=1 -runs=20000)
    else
        limit=(-max_total_time="$seconds")
    fi
    mkdir -p "$work"
    log=build-fuzz/logs/$target.log
    echo "== $target"
    result=ok
    build-fuzz/fuzz/"$target" "${limit[@]}" -dict="$(dictionary "$target")" -timeout=10 \
        -print_final_stats=1 -artifact_prefix=build-fuzz/crashes/"$target"- \
        "$work" fuzz/corpus/"$target" >"$log" 2>&1 || result=FAILED
    if [ $result != ok ]; then
        status=1
        tail -n 40 "$log"
    fi
    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    took=$(sed -n 's/^Done .* runs in \([0-9]*\) second.*/\1/p' "$log")
    corpus=$(find "$work" -type f | wc -l)
    summary+=("$(printf '%-16s %-7s %12s execs in %5s s  %6s inputs in %s' \
        "$target" "$result" "${execs:-?}" "${took:-?}" "$corpus" "$work")")
done
printf '%s\n' "${summary[@]}"
exit $status
