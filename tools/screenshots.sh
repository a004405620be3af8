#!/usr/bin/env bash
# Makes the README's screenshots under Xvfb: the calculator after a short calculation,
# and the widened window with the tape view and the file list.
# Needs: xvfb xdotool imagemagick, and a build in build/.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/xvfb.sh
start_xvfb 1024x768x24

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
# Esc ends it as a user would; a signal would keep the tape for the next start.
xdotool key Escape
wait "$app"
echo "docs/screenshot.png docs/screenshot-wide.png"
