#!/bin/bash
# Runs a Windows program of the cross build under wine, the way ctest and the scripts need
# it: tools/windows/wine-run.sh QT_PREFIX PROGRAM.exe [ARGUMENTS...]
# (CMAKE_CROSSCOMPILING_EMULATOR="tools/windows/wine-run.sh;QT_PREFIX").
#  - the DLLs are found through WINEPATH: Qt's bin folder and the MinGW runtime;
#  - wine does not pass QT_* variables on to Windows programs (a Linux Qt's settings would
#    upset them); it passes WINEQT_* as QT_*, so each QT_* is handed over that way;
#  - the program's output is given on when it ends (see below);
#  - the wine prefix is the one in WINEPREFIX, else one of the build's own in the cache,
#    so that ~/.wine is never touched; made on first use (wineprefix.sh), without Mono,
#    Gecko and the menu builder, with profile folders of its own.
set -euo pipefail

[ $# -ge 2 ] || {
    echo "usage: $0 QT_PREFIX PROGRAM.exe [ARGUMENTS...]" >&2
    exit 2
}
qt=$1
shift
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=wineprefix.sh
source "$here/wineprefix.sh"

windows_path() { # a Linux path as wine's Z: drive sees it
    local p
    p=$(readlink -f "$1")
    printf 'Z:%s' "${p//\//\\}"
}

dirs=("$qt/bin")
for dll in libstdc++-6.dll libwinpthread-1.dll; do
    path=$(x86_64-w64-mingw32-g++-posix -print-file-name=$dll)
    [ -e "$path" ] && dirs+=("$(dirname "$path")")
done
winepath=""
for d in "${dirs[@]}"; do
    winepath+="${winepath:+;}$(windows_path "$d")"
done
export WINEPATH="$winepath${WINEPATH:+;$WINEPATH}"
export WINEDEBUG=${WINEDEBUG:--all}
# Wine's menu builder would write .desktop files, menus and icons for the prefix's Start
# menu into the home (~/.local/share, ~/.config/menus): off, whatever else is overridden.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=};winemenubuilder.exe=d"
export WINEPREFIX=${WINEPREFIX:-${TAPECALC_WINDOWS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/tapecalc-windows}/wine}

# Qt for Windows sends its messages (QtTest's results among them) to the debugger when it
# sees no console of its own, which is always so under wine: to stderr instead.
export QT_FORCE_STDERR_LOGGING=${QT_FORCE_STDERR_LOGGING:-1}
while IFS='=' read -r -d '' name value; do
    case $name in QT_*) export "WINE$name=$value" ;; esac
done < <(env -0)

mkdir -p "$WINEPREFIX"
# The first use makes the prefix; two tests starting at once would both try, so take turns.
if [ ! -e "$WINEPREFIX/system.reg" ]; then
    exec 9>"$WINEPREFIX.lock"
    flock 9
    [ -e "$WINEPREFIX/system.reg" ] || make_wine_prefix
    flock -u 9
fi
# The console host wine starts for a console program can outlive it (always so for a child
# that was killed), keeping the program's output open: whoever reads that output through a
# pipe, ctest among them, would wait for it forever. The output goes through a file instead,
# given on when the program ends.
output=$(mktemp)
trap 'rm -f "$output"' EXIT
status=0
wine "$@" >"$output" 2>&1 </dev/null || status=$?
cat "$output"
exit "$status"
