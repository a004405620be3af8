#!/bin/bash
# The Windows packages end to end under wine, on a virtual display of its own, in a wine
# prefix of its own and with a home of its own (all three removed afterwards):
#  - the installer: silent install for the current user, as one without administrator
#    rights gets it (AppData\Local\Programs, the uninstall entry under HKCU, nothing under
#    HKLM), the installed files, the installed program driven with real key presses and
#    clicks (12.5+3*4 Enter gives 62 on the display, read back through 复制 and the
#    clipboard; 保存 puts the tape in %APPDATA%\tapecalc\shujucuncu);
#  - its voice, on the null sink of a PulseAudio server of its own (tools/start-pulse.sh),
#    recorded with parec and read by heard.py: the shipped cues heard while 12.5+3*4 Enter
#    is typed; then two digit cues replaced by tones of the script's own, 440 Hz for 1.5 s
#    and 880 Hz for 300 ms, and their keys pressed 300 ms apart: 440 Hz heard, then
#    880 Hz, and no 440 Hz once the 880 Hz has started (the second key cuts the first);
#  - the portable zip unpacked into "Desktop\我的 工具 (便携版)": the program folder itself,
#    whose 保存 puts the tape in the shujucuncu\ beside tapecalc.exe, not in %APPDATA%;
#  - the Apps & features entry each install wrote, against the winget manifest the build
#    made beside the installer (winget/): the uninstall key's name is the product code, its
#    DisplayName, Publisher and DisplayVersion those of the manifest's entry, its package
#    name, publisher and version;
#  - the silent uninstall, which leaves no file, Start menu entry or registry key of the
#    program behind, and keeps the user's tapes;
#  - an install for all users (/AllUsers: Program Files, HKLM, the common Start menu) beside
#    one for the user: removing either leaves the other whole, and nothing is left after both;
#  - no file written into the home: wine's menu builder is off, and the prefix's Desktop,
#    Documents, ... are folders of the prefix rather than wine's links into the home.
# Usage: tools/windows/smoke.sh [TapeCalc-VERSION-win64-setup.exe]
#        (default: the one tools/windows/build.sh made in build-windows/packages/; the zip
#        is the one beside it); ends with 77 when there is no installer (ctest counts that
#        as skipped).
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
# shellcheck source=../setup.sh
source "$root/tools/setup.sh"
# shellcheck source=../xvfb.sh
source "$root/tools/xvfb.sh"
# shellcheck source=wineprefix.sh
source "$here/wineprefix.sh"
# shellcheck source=../start-pulse.sh
source "$root/tools/start-pulse.sh"

setup=${1:-}
if [ -z "$setup" ]; then
    setup=$(find "$root/build-windows/packages" -maxdepth 1 -name 'TapeCalc-*-win64-setup.exe' |
        sort | tail -n 1)
fi
[ -f "$setup" ] || {
    echo "smoke.sh: no installer (run tools/windows/build.sh first)" >&2
    exit 77
}
zip=${setup%-setup.exe}.zip
setup=$(readlink -f "$setup")
zip=$(readlink -f "$zip")
manifest=$(find "$(dirname "$setup")/winget/manifests" -name '*.installer.yaml' -printf '%h\n' \
    2>/dev/null | head -n 1)
tapecalc_install_missing wine wine64 xvfb xauth xdotool x11-utils xclip binutils-mingw-w64-x86-64 \
    pulseaudio pulseaudio-utils python3 python3-yaml

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

[ -f "$zip" ] || fail "no portable zip beside the installer: $zip"
[ -n "$manifest" ] || fail "no winget manifest beside the installer: $(dirname "$setup")/winget"

work=$(mktemp -d)
# A home of the script's own: anything wine writes into a home lands there, and the end
# checks that nothing did.
export HOME=$work/home
unset XDG_CONFIG_HOME XDG_DATA_HOME XDG_CACHE_HOME
mkdir "$HOME"
# The sound client wine loads for the cues keeps its runtime files in a runtime folder,
# else under the home: one of the script's own.
export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
# No Mono, no Gecko, no menu builder.
export WINEPREFIX=$work/prefix WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
cleanup() {
    # Only this prefix's wine processes: the program, a hung installer, the desktop.
    wineserver -k 2>/dev/null || true
    stop_pulse
    # shellcheck disable=SC2154 # set by start_xvfb
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
    rm -rf "$work"
}
# A wine desktop made without a display keeps every later window from appearing: the
# display comes first, before any wine process.
start_xvfb 1280x1024x24
trap cleanup EXIT
# The voice goes to the null sink of a server of the script's own, never to the machine's
# sound output; winepulse in the prefix finds it through PULSE_SERVER.
start_pulse || fail "no PulseAudio server"

step "wine prefix"
make_wine_prefix
drive=$WINEPREFIX/drive_c
profile=$(find "$drive/users" -mindepth 1 -maxdepth 1 -type d ! -name Public -print -quit)
windows_path() { # a path inside the prefix's C: drive as Windows sees it
    local p=${1#"$drive"/}
    printf 'C:\\%s' "${p//\//\\}"
}

# The program at a Windows path started, its window found (window, program) and the entry
# box clicked, so that keys go there.
open_program() {
    # A UTF-8 locale, so that wine reads a path that is not ASCII.
    LC_ALL=C.UTF-8 wine "$1" >"$work/program.log" 2>&1 &
    program=$!
    # Looked for again and again, as the desktop suites wait, rather than with xdotool's
    # --sync: wine maps and drops windows of its own meanwhile, and one that went while
    # xdotool looked at it (BadWindow) ended the wait. A slow machine is slow, not red.
    local deadline=$((SECONDS + 180))
    window=""
    until [ -n "$window" ] && xwininfo -id "$window" >/dev/null 2>&1; do
        kill -0 "$program" 2>/dev/null || fail "the program ended: $(cat "$work/program.log")"
        [ "$SECONDS" -lt "$deadline" ] ||
            fail "no window within 180 s: $(cat "$work/program.log")"
        sleep 0.2
        window=$(xdotool search --onlyvisible --classname tapecalc.exe 2>/dev/null | head -n 1)
    done
    at 176 80 # the entry box (a press on the gold background would start moving the window)
}
# The window is borderless at the top left of its own geometry; points are the window's
# pixels at 96 dpi (the key table's twips / 15).
at() { # x y [button]: a click at a point of the window
    xdotool mousemove --window "$window" "$1" "$2" click "${3:-1}"
    sleep 0.3
}
close_program() {
    xdotool key Escape
    timeout 20 tail --pid="$program" -f /dev/null || fail "the program is still running after Esc"
}

# The program at a Windows path: 12.5+3*4 Enter (recorded into the raw file given second,
# if any), the display read back through 复制 and the clipboard, Page Up and 保存, then Esc.
drive_program() {
    local shown
    open_program "$1"
    [ -z "${2:-}" ] || record_sink "$2"
    xdotool type --delay 120 '12.5+3*4'
    xdotool key Return
    sleep 1
    [ -z "${2:-}" ] || stop_recording
    printf '' | xclip -selection clipboard
    at 113 36 3 # right button on the result
    xdotool key Down Return
    sleep 1
    shown=$(xclip -o -selection clipboard 2>/dev/null || true)
    awk -v s="$shown" 'BEGIN { exit !(s != "" && s + 0 == 62) }' ||
        fail "the display shows '$shown', not 62"
    xdotool key Prior # the full window: 保存 is in its right half
    sleep 1
    at 412 332 # 保存
    sleep 1
    close_program
}

tapes() { # the tapes in a folder, one path a line (none when there is no folder)
    if [ -d "$1" ]; then find "$1" -maxdepth 1 -name '*.qtz' | sort; fi
}
text() { # a tape as UTF-8: tape files are GBK, though UTF-8 ones are read too
    if iconv -f UTF-8 -t UTF-8 "$1" >/dev/null 2>&1; then
        cat "$1"
    else
        iconv -f GBK -t UTF-8 "$1"
    fi
}
check_tape() { # the one tape a folder holds adds up to 62 and is GBK with CR LF
    local found total
    found=$(tapes "$1")
    [ "$(printf '%s' "$found" | grep -c .)" -eq 1 ] ||
        fail "$(printf '%s' "$found" | grep -c .) tapes in $(windows_path "$1")"
    # Numbers and operators on alternate lines, combined in order.
    total=$(text "$found" | tr -d '\r' | awk '
        NR % 2 == 1 { if (op == "" ) t = $1; else if (op ~ /\+|加/) t += $1;
                      else if (op ~ /\*|×|乘/) t *= $1; else if (op ~ /-|减/) t -= $1;
                      else if (op ~ /\/|÷|除/) t /= $1; next }
        { op = $1 } END { print t + 0 }')
    [ "$total" = 62 ] ||
        fail "the saved tape adds up to $total: $(text "$found" | tr -d '\r' | tr '\n' ' ')"
    # In GBK, as on Linux: "×" is the two bytes A1 C1, and each line ends in CR LF.
    LC_ALL=C grep -q $'\xA1\xC1\r$' "$found" || fail "the saved tape is not GBK with CR LF"
}

program_dir="$profile/AppData/Local/Programs/TapeCalc"
all_users_dir="$drive/Program Files/TapeCalc"
uninstall='Software\Microsoft\Windows\CurrentVersion\Uninstall\TapeCalc'
user_menu='*/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/TapeCalc/TapeCalc.lnk'
common_menu='*/ProgramData/Microsoft/Windows/Start Menu/Programs/TapeCalc/TapeCalc.lnk'
has_key() { wine reg query "$1" >/dev/null 2>&1; }
# The Apps & features entry an install wrote, found by its folder among the hive's uninstall
# keys, is the one the winget manifest describes: winget matches the installed program to
# the package by it.
check_entry() { # hive (HKCU or HKLM), install folder
    wine reg query "$1\\${uninstall%\\*}" /s >"$work/entries.txt" 2>/dev/null ||
        fail "no uninstall keys under $1"
    python3 - "$work/entries.txt" "$(windows_path "$2")" "$manifest" <<'PYTHON' ||
import glob, re, sys, yaml
keys, key = {}, None
for line in open(sys.argv[1], encoding="utf-8", errors="replace").read().splitlines():
    if line.startswith("HKEY_"):
        key = keys.setdefault(line.rsplit("\\", 1)[1], {})
    elif key is not None and (m := re.match(r"^\s+(\S+)\s+REG_\w+\s+(.*?)\s*$", line)):
        key[m[1]] = m[2]
found = [k for k, v in keys.items() if v.get("InstallLocation", "").lower() == sys.argv[2].lower()]
if len(found) != 1:
    sys.exit(f"{len(found)} uninstall entries name {sys.argv[2]}: {sorted(keys)}")
entry = dict(keys[found[0]], ProductCode=found[0])
def manifest(kind):
    for name in glob.glob(f"{sys.argv[3]}/*.yaml"):
        doc = yaml.load(open(name, encoding="utf-8"), Loader=yaml.BaseLoader)
        if doc["ManifestType"] == kind:
            return doc
    sys.exit(f"no {kind} manifest in {sys.argv[3]}")
installer, default = manifest("installer"), manifest("defaultLocale")
(listed,) = installer["AppsAndFeaturesEntries"]
wanted = {"ProductCode": [installer["ProductCode"], listed["ProductCode"]],
          "DisplayName": [default["PackageName"], listed["DisplayName"]],
          "Publisher": [default["Publisher"], listed["Publisher"]],
          "DisplayVersion": [installer["PackageVersion"], listed["DisplayVersion"]]}
wrong = [f"{field} {entry.get(field)!r}, the manifest {values}"
         for field, values in wanted.items() if any(entry.get(field) != v for v in values)]
if wrong:
    sys.exit("the uninstall entry differs from the winget manifest: " + "; ".join(wrong))
print("    " + ", ".join(f"{field} {entry[field]}" for field in wanted))
PYTHON
        fail "the Apps & features entry under $1 is not the winget manifest's"
}
step "silent install for the current user: $(basename "$setup")"
cp "$setup" "$work/setup.exe"
wine "$work/setup.exe" /S
wineserver -w
[ -d "$program_dir" ] || fail "nothing in $(windows_path "$program_dir")"
[ ! -e "$all_users_dir" ] || fail "a per-user install wrote into Program Files"

step "installed files and registry keys"
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
[ -n "$(find "$drive" -path "$user_menu" -print -quit)" ] || fail "no Start menu entry of the user's"
[ -z "$(find "$drive" -path "$common_menu" -print -quit)" ] || fail "an entry in the common Start menu"
# The one key the installer writes: its uninstall entry (Apps & features), the user's own.
wine reg query "HKCU\\$uninstall" /v InstallLocation 2>/dev/null |
    grep -qF "$(windows_path "$program_dir")" || fail "no uninstall entry under HKCU for its folder"
if has_key "HKLM\\$uninstall"; then fail "a per-user install wrote HKLM\\$uninstall"; fi
step "its Apps & features entry is the winget manifest's ($(basename "$manifest"))"
check_entry HKCU "$program_dir"

installed_exe=$(windows_path "$program_dir/bin/tapecalc.exe")
step "the installed program: 62 on the display, the tape in %APPDATA%\\tapecalc\\shujucuncu"
drive_program "$installed_exe" "$work/typed.raw"
appdata=$profile/AppData/Roaming/tapecalc/shujucuncu
check_tape "$appdata"
[ -z "${TAPECALC_SMOKE_KEEP:-}" ] || cp "$(tapes "$appdata")" "$TAPECALC_SMOKE_KEEP"
[ ! -e "$program_dir/bin/shujucuncu" ] || fail "a tape folder was made among the programs"

step "its voice while 12.5+3*4 Enter was typed: the shipped cues"
# Nine cues of 0.14 to 0.5 s, each cut by the next key 120 ms on but the last; the spoken
# words have quiet stretches of their own.
python3 "$here/heard.py" sound "$work/typed.raw" 500 3500 | sed 's/^/    /' ||
    fail "the shipped cues were not heard"

step "two digit keys 300 ms apart: the second cue cuts the first"
# A digit key speaks its digit's cue (core/actions.cpp: characterCue): 7 and 8 speak tones.
shengyin=$program_dir/share/tapecalc/shengyin
python3 - "$shengyin" <<'PYTHON'
import math, struct, sys, wave
for name, hz, ms in (("7.wav", 440, 1500), ("8.wav", 880, 300)):
    with wave.open(f"{sys.argv[1]}/{name}", "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(22050)
        w.writeframes(b"".join(struct.pack("<h", round(16384 * math.sin(2 * math.pi * hz * i / 22050)))
                               for i in range(22050 * ms // 1000)))
PYTHON
open_program "$installed_exe"
sleep 1 # the sound output opens once the window is up
record_sink "$work/keys.raw"
xdotool key 7
sleep 0.3
xdotool key 8
sleep 1.5
stop_recording
close_program
# One 10 ms window where the tones meet may hold both, as wine's output stops the first a
# moment after the second starts on a busy machine; a first cue not cut sounds 1.5 s.
python3 "$here/heard.py" tones "$work/keys.raw" 440:150:1000 880:200:450 --stray 10 |
    sed 's/^/    /' || fail "not the first tone cut by the second"

portable="$profile/Desktop/我的 工具 (便携版)"
step "the portable zip in $(windows_path "$portable"): the tape beside tapecalc.exe"
mkdir -p "$portable"
(cd "$portable" && cmake -E tar xf "$zip")
exe=$(find "$portable" -maxdepth 2 -name tapecalc.exe -print -quit)
[ -n "$exe" ] || fail "no tapecalc.exe at the top of the zip"
folder=$(dirname "$exe")
# The installed program's files, bin\'s and share\tapecalc\'s, all in the one folder.
files() { (cd "$1" && find . -type f | sort); }
installed=$({ files "$program_dir/bin" && files "$program_dir/share/tapecalc"; } | sort)
[ "$(files "$folder")" = "$installed" ] || fail "the zip is not the installed files in one \
folder: $(diff <(files "$folder") <(printf '%s\n' "$installed") | head -n 6)"
drive_program "$(windows_path "$exe")"
check_tape "$folder/shujucuncu"
[ "$(tapes "$appdata" | grep -c .)" -eq 1 ] || fail "the portable copy saved into %APPDATA%"

uninstall_from() { # the folder of an install: its uninstaller, silently
    wine "$(windows_path "$1/Uninstall.exe")" /S
    # The uninstaller goes on from a copy in TEMP and removes the folder from there.
    wineserver -w
    [ ! -e "$1" ] || fail "left behind: $(find "$1" | head -n 5)"
}
step "an install for all users beside the user's (/S /AllUsers; wine's user is an administrator)"
wine "$work/setup.exe" /S /AllUsers
wineserver -w
[ -e "$all_users_dir/bin/tapecalc.exe" ] || fail "nothing in $(windows_path "$all_users_dir")"
has_key "HKLM\\$uninstall" || fail "no uninstall entry under HKLM"
check_entry HKLM "$all_users_dir"
[ -n "$(find "$drive" -path "$common_menu" -print -quit)" ] || fail "no common Start menu entry"
step "silent uninstalls: the user's, then all users'"
uninstall_from "$program_dir"
[ -z "$(find "$drive" -path "$user_menu" -print -quit)" ] || fail "the user's Start menu entry is left"
if has_key "HKCU\\$uninstall"; then fail "the user's uninstall entry is left"; fi
[ -e "$all_users_dir/bin/tapecalc.exe" ] && has_key "HKLM\\$uninstall" &&
    [ -n "$(find "$drive" -path "$common_menu" -print -quit)" ] ||
    fail "the user's uninstall took the all-users install"
uninstall_from "$all_users_dir"
[ -z "$(find "$drive" -path '*Start Menu/Programs/TapeCalc*' -print -quit)" ] ||
    fail "a Start menu entry is still there"
[ "$(tapes "$appdata" | grep -c .)" -eq 1 ] || fail "the uninstall took the user's tape"
if has_key "HKLM\\$uninstall"; then fail "the all-users uninstall entry is left"; fi
wineserver -w # the registry is on the disk once wine has ended
left=$(grep -i -h '^\[[^]]*tapecalc' "$WINEPREFIX"/*.reg || true)
[ -z "$left" ] || fail "registry keys left: $left"

step "nothing written into the home"
left=$(find "$HOME" -mindepth 1 | head -n 10)
[ -z "$left" ] || fail "written into the home: $left"
echo "installer and zip smoke test passed: $(basename "$setup") $(basename "$zip")"
