#!/bin/bash
# The Windows installer end to end under wine, on a virtual display of its own and in a wine
# prefix of its own (removed afterwards): silent install into Program Files, the installed
# files, the installed program driven with real key presses and clicks (12.5+3*4 Enter
# gives 62 on the display, read back through 复制 and the clipboard; 保存 puts the tape in
# %APPDATA%\tapecalc\shujucuncu), then the silent uninstall, which leaves nothing behind.
# Usage: tools/windows/smoke.sh [TapeCalc-VERSION-win64-setup.exe]
#        (default: the one tools/windows/build.sh made in build-windows/packages/);
#        ends with 77 when there is no installer (ctest counts that as skipped).
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
# shellcheck source=../setup.sh
source "$root/tools/setup.sh"
# shellcheck source=../xvfb.sh
source "$root/tools/xvfb.sh"

setup=${1:-}
if [ -z "$setup" ]; then
    setup=$(find "$root/build-windows/packages" -maxdepth 1 -name 'TapeCalc-*-win64-setup.exe' |
        sort | tail -n 1)
fi
[ -f "$setup" ] || {
    echo "smoke.sh: no installer (run tools/windows/build.sh first)" >&2
    exit 77
}
tapecalc_install_missing wine wine64 xvfb xauth xdotool xclip binutils-mingw-w64-x86-64

fail() {
    echo "FAIL: $*" >&2
    # What the screen showed then, kept for a look.
    if [ -n "${DISPLAY:-}" ] && command -v import >/dev/null; then
        import -window root "${TMPDIR:-/tmp}/tapecalc-smoke-failure.png" 2>/dev/null &&
            echo "screen: ${TMPDIR:-/tmp}/tapecalc-smoke-failure.png" >&2
    fi
    exit 1
}
step() { printf '  %s\n' "$*"; }

work=$(mktemp -d)
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
    # Only this prefix's wine processes: the program, a hung installer, the desktop.
    wineserver -k 2>/dev/null || true
    # shellcheck disable=SC2154 # set by start_xvfb
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
    rm -rf "$work"
}
# A wine desktop made without a display keeps every later window from appearing: the
# display comes first, before any wine process.
start_xvfb 1280x1024x24
trap cleanup EXIT

step "wine prefix"
wineboot -i >/dev/null 2>&1
wineserver -w

drive=$WINEPREFIX/drive_c
program_dir="$drive/Program Files/TapeCalc"
step "silent install: $(basename "$setup")"
cp "$setup" "$work/setup.exe"
wine "$work/setup.exe" /S
wineserver -w
[ -d "$program_dir" ] || fail "nothing in C:\\Program Files\\TapeCalc"

step "installed files"
for f in bin/tapecalc.exe bin/Qt6Core.dll bin/Qt6Gui.dll bin/Qt6Widgets.dll \
    bin/Qt6PrintSupport.dll bin/libstdc++-6.dll \
    bin/libgcc_s_seh-1.dll bin/libwinpthread-1.dll bin/platforms/qwindows.dll \
    bin/imageformats/qjpeg.dll share/tapecalc/help Uninstall.exe; do
    [ -e "$program_dir/$f" ] || fail "not installed: $f"
done
for folder in shengyin anniu help; do
    diff -r "$root/$folder" "$program_dir/share/tapecalc/$folder" >/dev/null ||
        fail "share/tapecalc/$folder differs from the repository's"
done
# Every DLL any installed binary imports is installed or is Windows' own.
imports=$(find "$program_dir/bin" \( -iname '*.dll' -o -iname '*.exe' \) \
    -exec x86_64-w64-mingw32-objdump -p {} + | sed -n 's/^\s*DLL Name: //p' | sort -fu)
while read -r dll; do
    [ -e "$program_dir/bin/$dll" ] && continue
    # API sets (api-ms-win-*) are names Windows maps to its own DLLs, not files.
    case ${dll,,} in api-ms-win-* | ext-ms-*) continue ;; esac
    [ -n "$(find "$drive/windows/system32" -maxdepth 1 -iname "$dll" -print -quit)" ] ||
        fail "$dll is imported but neither installed nor part of Windows"
done <<<"$imports"
menu=$(find "$drive" -path '*Start Menu/Programs/TapeCalc/TapeCalc.lnk' -print -quit)
[ -n "$menu" ] || fail "no Start menu entry"
wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s 2>/dev/null |
    grep -q 'DisplayName.*TapeCalc' || fail "no entry in Apps & features"

step "the installed program: 12.5+3*4 Enter"
# Windows' own path, as the Start menu entry starts it.
wine "C:\\Program Files\\TapeCalc\\bin\\tapecalc.exe" >"$work/program.log" 2>&1 &
program=$!
window=$(timeout 60 xdotool search --sync --onlyvisible --classname tapecalc.exe | head -n 1) ||
    fail "no window within 60 s: $(cat "$work/program.log")"
# The window is borderless at the top left of its own geometry; points are the window's
# pixels at 96 dpi (the key table's twips / 15).
at() { # x y [button]: a click at a point of the window
    xdotool mousemove --window "$window" "$1" "$2" click "${3:-1}"
    sleep 0.3
}
at 176 80 # the entry box (a press on the gold background would start moving the window)
xdotool type --delay 120 '12.5+3*4'
xdotool key Return
sleep 1

step "the display, copied through its context menu"
printf '' | xclip -selection clipboard
at 113 36 3 # right button on the result
xdotool key Down Return
sleep 1
shown=$(xclip -o -selection clipboard 2>/dev/null || true)
awk -v s="$shown" 'BEGIN { exit !(s != "" && s + 0 == 62) }' ||
    fail "the display shows '$shown', not 62"

step "Page Up, 保存: the tape in %APPDATA%\\tapecalc\\shujucuncu"
xdotool key Prior # the full window: 保存 is in its right half
sleep 1
at 412 332 # 保存
sleep 1
tapes=()
while IFS= read -r -d '' f; do tapes+=("$f"); done < <(find "$drive/users" \
    -path '*/AppData/Roaming/tapecalc/shujucuncu/*.qtz' -print0)
[ ${#tapes[@]} -eq 1 ] || fail "${#tapes[@]} tapes in the per-user folder"
# The tape read back: numbers and operators on alternate lines, combined in order.
text() { # the tape as UTF-8: tape files are GBK, though UTF-8 ones are read too
    if iconv -f UTF-8 -t UTF-8 "${tapes[0]}" >/dev/null 2>&1; then
        cat "${tapes[0]}"
    else
        iconv -f GBK -t UTF-8 "${tapes[0]}"
    fi
}
total=$(text | tr -d '\r' | awk '
    NR % 2 == 1 { if (op == "" ) t = $1; else if (op ~ /\+|加/) t += $1;
                  else if (op ~ /\*|×|乘/) t *= $1; else if (op ~ /-|减/) t -= $1;
                  else if (op ~ /\/|÷|除/) t /= $1; next }
    { op = $1 } END { print t + 0 }')
[ "$total" = 62 ] || fail "the saved tape adds up to $total: $(text | tr -d '\r' | tr '\n' ' ')"
# In GBK, as on Linux: "×" is the two bytes A1 C1, and each line ends in CR LF.
LC_ALL=C grep -q $'\xA1\xC1\r$' "${tapes[0]}" || fail "the saved tape is not GBK with CR LF"
[ -z "${TAPECALC_SMOKE_KEEP:-}" ] || cp "${tapes[0]}" "$TAPECALC_SMOKE_KEEP"
[ ! -e "$program_dir/bin/shujucuncu" ] || fail "a tape folder was made among the programs"

step "Esc quits"
xdotool key Escape
timeout 20 tail --pid="$program" -f /dev/null || fail "the program is still running after Esc"

step "silent uninstall"
wine "C:\\Program Files\\TapeCalc\\Uninstall.exe" /S
# The uninstaller goes on from a copy in TEMP and removes the folder from there.
wineserver -w
[ ! -e "$program_dir" ] || fail "left behind: $(find "$program_dir" | head -n 5)"
[ -z "$(find "$drive" -path '*Start Menu/Programs/TapeCalc*' -print -quit)" ] ||
    fail "the Start menu entry is still there"
echo "installer smoke test passed: $(basename "$setup")"
