#!/usr/bin/env bash
# The window on the desktops its users run, with the real parts: an X server (Xvfb) with a
# window manager that honours size hints (openbox) and fcitx5 with pinyin switched on;
# then weston, nested in that X server, with its XWayland. desktop_form1 drives the window
# through xdotool; the program itself shows which window system it chose and that it
# says nothing on native Wayland. Exits 77 (skipped) when one of the parts is missing;
# everything it starts ends with it, in folders of its own.
# Usage: desktop.sh PROGRAM HARNESS
set -euo pipefail
program=$1 harness=$2
here=$(cd "$(dirname "$0")" && pwd)

skip() {
    echo "SKIP: $* is missing (tools/setup.sh lists the packages)"
    # test.sh's runs must test everything: a missing part fails them.
    [[ ${TAPECALC_REQUIRE_TOOLS:-0} == 0 ]] || exit 1
    exit 77
}
for tool in Xvfb:xvfb xdotool:xdotool xprop:x11-utils xwininfo:x11-utils xmessage:x11-utils \
    import:imagemagick openbox:openbox fcitx5:fcitx5 fcitx5-remote:fcitx5 \
    dbus-daemon:dbus-daemon weston:weston Xwayland:xwayland; do
    command -v "${tool%%:*}" >/dev/null 2>&1 || skip "${tool%%:*} (${tool#*:})"
done
plugins=$(qtpaths6 --query QT_INSTALL_PLUGINS 2>/dev/null || echo /usr/lib/x86_64-linux-gnu/qt6/plugins)
[ -e "$plugins/platforminputcontexts/libfcitx5platforminputcontextplugin.so" ] ||
    skip "Qt's fcitx5 input context (fcitx5-frontend-qt6)"
# Qt 6.11 has one Wayland platform plugin, libqwayland.so, where 6.4 and 6.8 had
# libqwayland-generic.so and libqwayland-egl.so; the platform is "wayland" in all three.
compgen -G "$plugins/platforms/libqwayland*.so" >/dev/null || skip "Qt's Wayland platform (qt6-wayland)"
ls /usr/lib/*/fcitx5/libpinyin.so >/dev/null 2>&1 || skip "fcitx5's pinyin (fcitx5-chinese-addons)"

work=$(mktemp -d)
# A copy in a folder of its own, so what it keeps beside it (tapes, the journal of a tape
# ended by a signal) never reaches the build's program.
cp "$program" "$work/tapecalc"
program=$work/tapecalc
pids=()
cleanup() {
    local pid
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
    [ -n "${bus_pid:-}" ] && kill "$bus_pid" 2>/dev/null
    [ -n "${xvfb_pid:-}" ] && { kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null; }
    rm -rf "$work"
}
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# Nothing of the caller's desktop: own home, runtime folder and session bus, no sound.
export HOME=$work/home XDG_RUNTIME_DIR=$work/run XDG_CONFIG_HOME=$work/home/.config
export PULSE_SERVER="unix:$work/no-sound-server" GSETTINGS_BACKEND=memory
unset WAYLAND_DISPLAY QT_QPA_PLATFORM QT_IM_MODULE XMODIFIERS BROWSER AT_SPI_BUS_ADDRESS
mkdir -p "$HOME/.config/fcitx5" && mkdir -m 700 "$XDG_RUNTIME_DIR"
source "$here/../../tools/xvfb.sh"
start_xvfb 1280x1024x24
trap cleanup EXIT
outer=$DISPLAY
eval "$(dbus-daemon --session --fork --print-address=1 --print-pid=1 |
    { read -r address; read -r pid; echo "export DBUS_SESSION_BUS_ADDRESS='$address' bus_pid=$pid"; })"

# --- X11: openbox and fcitx5 with pinyin ---
openbox --sm-disable >"$work/openbox.log" 2>&1 &
pids+=($!)
# One group, English keys and pinyin, the input state shared between windows.
printf '%s\n' '[Groups/0]' Name=Default 'Default Layout=us' DefaultIM=pinyin '[Groups/0/Items/0]' \
    Name=keyboard-us '[Groups/0/Items/1]' Name=pinyin '[GroupOrder]' 0=Default >"$HOME/.config/fcitx5/profile"
printf '[Behavior]\nShareInputState=All\n' >"$HOME/.config/fcitx5/config"
fcitx5 --replace >"$work/fcitx5.log" 2>&1 &
pids+=($!)
# fcitx5-remote prints the state (a digit) once fcitx5 answers on the bus; it is up when
# it has answered twice in a row (it may take over its bus name a moment after a first
# answer).
fcitx_answers() { fcitx5-remote 2>/dev/null | grep -qx '[0-9]'; }
up=0
for _ in $(seq 200); do
    if fcitx_answers; then up=$((up + 1)); else up=0; fi
    [ $up -ge 2 ] && break
    sleep 0.1
done
[ $up -ge 2 ] || fail "fcitx5 did not start: $(cat "$work/fcitx5.log")"
until xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; do sleep 0.1; done

QT_QPA_PLATFORM=xcb QT_IM_MODULE=fcitx XMODIFIERS=@im=fcitx "$harness" -maxwarnings 0 \
    lettersReachTheKeysWithPinyinOn windowManagerCannotStretchIt backgroundDragMovesIt \
    staysAboveANewWindow helpPageWithoutABrowser middleButtonPastesTheSelection
kill "${pids[0]}" && wait "${pids[0]}" 2>/dev/null || true # openbox: weston's window unmanaged

# --- weston nested in the X server, with XWayland ---
weston --backend=x11-backend.so --use-pixman --width=1024 --height=768 --socket=wl-desktop \
    --xwayland >"$work/weston.log" 2>&1 &
pids+=($!)
for _ in $(seq 200); do grep -q 'xserver listening on display' "$work/weston.log" && break; sleep 0.1; done
xwayland=$(grep -o 'listening on display :[0-9]*' "$work/weston.log" | grep -o ':[0-9]*' | head -1)
[ -n "$xwayland" ] || fail "weston's XWayland did not start: $(cat "$work/weston.log")"
export WAYLAND_DISPLAY=wl-desktop

# The pointer on the outer server goes to weston's seat; the screen is read there too.
DISPLAY=$xwayland TAPECALC_POINTER_DISPLAY=$outer \
    QT_QPA_PLATFORM=xcb "$harness" -maxwarnings 0 backgroundDragMovesIt staysAboveANewWindow

# The program itself: it runs until stopped, and prints nothing on the way.
started() { # display of the X server to look in, then the program's environment
    local x=$1
    shift
    env "$@" "$program" >"$work/out.log" 2>&1 &
    local pid=$!
    pids+=($pid)
    sleep 3
    kill -0 $pid 2>/dev/null || fail "the program ended: $(cat "$work/out.log")"
    on_x11=no
    DISPLAY=$x xwininfo -root -tree | grep -q '"纸带计算器"' && on_x11=yes
    kill $pid
    wait $pid 2>/dev/null || true
}
started "$xwayland" DISPLAY="$xwayland"
[ $on_x11 = yes ] || fail "with XWayland there, the window is not on it"
started "$xwayland" DISPLAY="$xwayland" QT_QPA_PLATFORM=wayland WAYLAND_DEBUG=1
[ $on_x11 = no ] || fail "QT_QPA_PLATFORM=wayland was not followed"
# With the keyboard on the entry box, no input method is asked for (text_input activate
# would raise an on-screen keyboard). libwayland's log names an object wl_keyboard@3, and
# from 1.23 wl_keyboard#3.
grep -q 'wl_keyboard[@#][0-9]*\.enter' "$work/out.log" || fail "the window never had the keyboard"
! grep -qE -- '-> zwp_text_input_v[0-9]+[@#][0-9]+\.(activate|enable)' "$work/out.log" ||
    fail "the entry box asks Wayland's text input for an input method"
grep -q 'set_app_id("io.github.tapecalc.TapeCalc")' "$work/out.log" ||
    fail "no app id matching the desktop entry: $(grep -m3 app_id "$work/out.log")"
started "$xwayland" DISPLAY= QT_QPA_PLATFORM=
[ $on_x11 = no ] || fail "without DISPLAY the window is on X11"
[ ! -s "$work/out.log" ] || fail "native Wayland: the program printed $(cat "$work/out.log")"
echo "desktop: fcitx5 pinyin; openbox: size hints, drag, above a new window, middle-button paste; weston: drag, X11 chosen, Wayland app id, quiet"
