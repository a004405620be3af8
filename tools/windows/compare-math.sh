#!/bin/bash
# The function keys give the same digits on Linux and Windows: the same random arguments
# (10^6 per function by default) through the native build's mathdigits and the Windows
# build's under wine; the two outputs must be the same bytes.
#   tools/windows/compare-math.sh [COUNT]   after ./test.sh (build/) and build.sh --core
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
count=${1:-1000000}
cache=${TAPECALC_WINDOWS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/tapecalc-windows}
found() { # the first file of that name below the folders that exist
    local name=$1 dir hit
    shift
    for dir in "$@"; do
        [ -d "$dir" ] || continue
        hit=$(find "$dir" -name "$name" -type f -print -quit)
        if [ -n "$hit" ]; then
            echo "$hit"
            return
        fi
    done
}
native=$(found mathdigits "$root/build")
windows=$(found mathdigits.exe "$root/build-windows-core" "$root/build-windows")
[ -n "$native" ] || { echo "no native mathdigits: run ./test.sh first" >&2; exit 2; }
[ -n "$windows" ] || { echo "no Windows mathdigits: run tools/windows/build.sh --core" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$native" "$count" >"$work/linux.txt"
"$here/wine-run.sh" "$cache/qt" "$windows" "$count" | tr -d '\r' >"$work/windows.txt"
cat "$work/linux.txt"
if cmp -s "$work/linux.txt" "$work/windows.txt"; then
    echo "same digits on Linux and Windows: $(sha256sum <"$work/linux.txt" | cut -c1-16)"
else
    diff "$work/linux.txt" "$work/windows.txt" >&2 || true
    echo "the digits differ between Linux and Windows" >&2
    exit 1
fi
