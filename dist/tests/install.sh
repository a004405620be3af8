#!/usr/bin/env bash
# Installs the build into a staging prefix and checks the installed program with the real
# tools: desktop entry and metainfo validators, icon sizes, --help and --version without a
# display, and the window on the installed tree saving a tape into the per-user folder
# while bin/ cannot be written. Run by ctest (label install).
# Usage: install.sh BUILD_DIR HARNESS VERSION APP_ID
set -euo pipefail
build=$1 harness=$2 version=$3 id=$4

work=$(mktemp -d)
cleanup() { chmod -R u+w "$work" 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT
chmod 755 "$work"
prefix=$work/usr
cmake --install "$build" --prefix "$prefix" >/dev/null
fail() { echo "FAIL: $*" >&2; exit 1; }

desktop-file-validate "$prefix/share/applications/$id.desktop"
# --no-net on purpose: without it the validator fetches the screenshot and homepage URLs
# and fails offline (a build machine, CI), which says nothing about the file itself.
appstreamcli validate --no-net "$prefix/share/metainfo/$id.metainfo.xml"
for size in 16 22 24 32 48 64 128 256; do
    file "$prefix/share/icons/hicolor/${size}x$size/apps/$id.png" |
        grep -q "PNG image data, $size x $size," || fail "icon ${size}x$size"
done
grep -q "<svg" "$prefix/share/icons/hicolor/scalable/apps/$id.svg" || fail "scalable icon"
zcat "$prefix/share/man/man1/tapecalc.1.gz" | grep -q '^\.TH TAPECALC 1' || fail "man page"
# The modules the program loads when first used, where it looks for them.
for module in tapecalc-print tapecalc-sound; do
    [ -f "$prefix/lib/tapecalc/modules/$module.so" ] || fail "$module.so is not in lib/tapecalc/modules"
done

bash "$(dirname "$0")/runpath.sh" "$prefix" >/dev/null

# Answered without a display and without a window system plugin chosen.
nodisplay=(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM)
[ "$("${nodisplay[@]}" "$prefix/bin/tapecalc" --version)" = "tapecalc $version" ] ||
    fail "--version"
"${nodisplay[@]}" "$prefix/bin/tapecalc" --help | grep -q -- "--version" || fail "--help"

# An administrator writes through read-only folders: the programs run as nobody then.
chmod -R a-w "$prefix/bin"
home=$work/home runtime=$work/run
mkdir "$home"
mkdir -m 700 "$runtime"
as_user=()
if [ "$(id -u)" -eq 0 ]; then
    chown 65534:65534 "$home" "$runtime"
    as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
fi
cp "$harness" "$work/harness"
session=("${as_user[@]}" env -i HOME="$home" XDG_RUNTIME_DIR="$runtime" PATH="$PATH" LANG=C.UTF-8
    QT_QPA_PLATFORM=offscreen)

"${session[@]}" TAPECALC_INSTALLED_BIN="$prefix/bin" \
    TAPECALC_INSTALLED_SHARE="$prefix/share/tapecalc" "$work/harness" -silent
tapes=("$home"/.local/share/tapecalc/shujucuncu/*.qtz)
[ ${#tapes[@]} -eq 1 ] && [ -f "${tapes[0]}" ] || fail "no tape in the per-user folder"

# The installed program itself starts on that tree and runs until it is stopped, its sound
# module loaded: the tree is the administrator's alone.
status=0
"${session[@]}" timeout 3 "$prefix/bin/tapecalc" 2>"$work/stderr" || status=$?
[ $status -eq 124 ] || fail "the installed program ended by itself (status $status)"
! grep "tapecalc-sound" "$work/stderr" || fail "the installed program refused its sound module"
[ ! -e "$prefix/bin/shujucuncu" ] || fail "a folder was made beside the installed program"
# On X11 the window is matched to its menu entry by WM_CLASS (the entry's StartupWMClass)
# and shows the icon it carries (_NET_WM_ICON). Needs xvfb-run, xdotool and xprop.
identity="not checked (no xvfb-run, xdotool or xprop)"
if command -v xvfb-run >/dev/null && command -v xdotool >/dev/null && command -v xprop >/dev/null; then
    wm_class=$(sed -n 's/^StartupWMClass=//p' "$prefix/share/applications/$id.desktop")
    [ -n "$wm_class" ] || fail "the desktop entry has no StartupWMClass"
    mkdir -m 700 "$work/xrun"
    identity=$(env -i HOME="$work/xhome" XDG_RUNTIME_DIR="$work/xrun" PATH="$PATH" LANG=C.UTF-8 \
        xvfb-run -a bash -c '
            QT_QPA_PLATFORM=xcb "$1" & pid=$!
            window=$(timeout 20 xdotool search --sync --onlyvisible --pid $pid | head -1)
            xprop -id "$window" WM_CLASS; xprop -id "$window" _NET_WM_ICON | grep -o "Icon ([0-9]* x [0-9]*)"
            kill $pid; wait $pid' _ "$prefix/bin/tapecalc" 2>/dev/null) || true
    grep -q "WM_CLASS(STRING) = \"[^\"]*\", \"$wm_class\"" <<<"$identity" ||
        fail "WM_CLASS does not name the desktop entry's $wm_class: $identity"
    grep -q "Icon (48 x 48)" <<<"$identity" || fail "the window carries no icon: $identity"
    identity="WM_CLASS $wm_class, _NET_WM_ICON $(grep -c Icon <<<"$identity") sizes"
fi
echo "installed tree: $identity"
echo "installed tree: validators, icons, --help/--version, per-user tape ${tapes[0]#"$home"/}"
