#!/usr/bin/env bash
# Makes the README's screenshots under Xvfb: the calculator after a short calculation,
# and the widened window with the tape view and the file list.
# Needs: xvfb xdotool imagemagick fonts-noto-cjk, and a build in build/.
set -euo pipefail
cd "$(dirname "$0")/.."
exec 3>"${TMPDIR:-/tmp}/xvfb-display.$$"
Xvfb -displayfd 3 -screen 0 1024x768x24 >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null' EXIT
# Xvfb picks a free display and writes its number once it accepts connections.
until [ -s "${TMPDIR:-/tmp}/xvfb-display.$$" ]; do sleep 0.05; done
export DISPLAY=:$(cat "${TMPDIR:-/tmp}/xvfb-display.$$")
rm -f "${TMPDIR:-/tmp}/xvfb-display.$$"

./build/app/tapecalc >/dev/null 2>&1 &
app=$!
window=$(xdotool search --sync --onlyvisible --pid "$app" | head -1)
xdotool windowfocus --sync "$window" # no window manager hands out the focus here
sleep 0.5
# A calculation typed into the entry box: 1280 + 45.5 × 3 = , then 12 waiting.
xdotool type --delay 60 "1280+45.5*3"
xdotool key Return
xdotool type --delay 60 "12"
sleep 0.3
import -window "$window" docs/screenshot.png
# The expand key twice: the tape view, then the file list too.
xdotool mousemove 300 290 click 1
sleep 0.2
xdotool mousemove 300 290 click 1
sleep 0.5
import -window "$window" docs/screenshot-wide.png
kill "$app"
echo "docs/screenshot.png docs/screenshot-wide.png"
