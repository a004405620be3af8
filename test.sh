#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test headless: the whole suite with
# a real sound server and printer queue, then all of it under ASan and UBSan, and the fuzzers.
set -euo pipefail
cd "$(dirname "$0")"
source tools/setup.sh
# How long each part took, for planning runs on a small machine.
part_start=$(date +%s)
took() {
    echo "== $1: $(($(date +%s) - part_start)) s"
    part_start=$(date +%s)
}
tapecalc_install_missing

# The sources as clang-format lays them out (.clang-format). Another major version of
# clang-format lays some constructs out otherwise: the check is made with the one the
# tree is formatted with, Debian 12's.
format_major=$(clang-format --version | sed -n 's/.*version \([0-9]*\).*/\1/p')
if [ "$format_major" = 14 ] && git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run -Werror
else
    echo "format check: made with clang-format 14, this is $format_major: not made here" >&2
fi

# Release, as the README's install commands build it: its optimiser warns of things the
# others do not, and a warning fails the build.
tapecalc_build build -DCMAKE_BUILD_TYPE=Release
took "Release build"

# Real parts of this run's own: a PulseAudio server with a null sink to record from, and
# a CUPS queue that prints to PDF, which the print test names for its jobs. The machine's
# default printer and sound output stay as they are; what is started or added here is
# stopped or removed when the script ends, however it ends.
source tools/start-pulse.sh
source tools/start-cups.sh
trap 'stop_cups; stop_pulse' EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
start_pulse || true
start_cups || true

# No test job may reach the machine's default printer (every suite names a queue of its
# own): this user's jobs on it are listed before the suites and after each run of them.
default_queue=$(LC_ALL=C lpstat -d 2>/dev/null | sed -n 's/^system default destination: //p')
default_queue_jobs() {
    [ -z "$default_queue" ] || LC_ALL=C lpstat -W all -o "$default_queue" 2>/dev/null |
        awk -v me="$(id -un)" '$2 == me {print $1}' | sort
}
default_jobs_before=$(default_queue_jobs)
default_queue_untouched() {
    local new
    new=$(comm -13 <(printf '%s\n' "$default_jobs_before") <(default_queue_jobs))
    [ -z "$new" ] || { echo "test jobs reached the default printer $default_queue: $new" >&2; return 1; }
}

export QT_QPA_PLATFORM=offscreen
# A test whose tool or server is missing fails here instead of skipping (testsupport/missing.h).
export TAPECALC_REQUIRE_TOOLS=1
# And any other skip: CTest counts a test function that skipped as passed.
no_skips() {
    ! grep -H '^SKIP   :' "$1/Testing/Temporary/LastTest.log" ||
        { echo "test functions skipped (above): this run must test everything" >&2; return 1; }
}
ctest --test-dir build --output-on-failure --timeout 300
no_skips build
default_queue_untouched
took "suites"

# --- sanitizers and fuzzing: begin ---
# Every suite of our code again under ASan and UBSan (the sound and print suites with the
# servers above); any report fails its test. The install and package checks test the
# tree and the .deb with the packagers' tools, not code, and are left to the build above. Then each fuzz target: its seeds once, and a short
# run from a fixed random seed (tools/fuzz.sh SECONDS for longer runs).
tapecalc_build build-sanitize -DTAPECALC_SANITIZE=ON -DTAPECALC_CORE_ONLY=OFF -DTAPECALC_BENCH=OFF
took "sanitizer build"
ctest --test-dir build-sanitize --output-on-failure --timeout 300 -E "^(install|package)$"
no_skips build-sanitize
default_queue_untouched
took "suites under the sanitizers"
bash tools/fuzz.sh --check
took "fuzz build and seeds"
# --- sanitizers and fuzzing: end ---
