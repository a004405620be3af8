#!/bin/bash
# Starts a per-user PulseAudio server whose default sink is a null sink named "capture",
# so the sound tests can record what the program plays on a machine without a sound card.
#
# Idempotent: a server that already runs is reused (the sink is added if it lacks it).
# Works as root (PulseAudio warns and runs). Exits 0 without doing anything when
# PulseAudio is not installed; the sound tests then skip their recording part.
# Needs (Debian 12): pulseaudio pulseaudio-utils (pactl, parec)
#
# Callers must use the same runtime folder; this script prints the line to eval:
#   eval "$(bash tools/start-pulse.sh)"     or     export XDG_RUNTIME_DIR=/tmp/runtime-$(id -u)
set -euo pipefail

if ! command -v pulseaudio >/dev/null 2>&1 || ! command -v pactl >/dev/null 2>&1; then
    echo "start-pulse: pulseaudio or pactl not installed; no sound server started" >&2
    exit 0
fi

export XDG_RUNTIME_DIR="/tmp/runtime-$(id -u)"
mkdir -p "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"

server_up() { pactl info >/dev/null 2>&1; }

if ! server_up; then
    # A stale pid file from a server that died would make --daemonize refuse to start.
    pulseaudio --check 2>/dev/null || rm -f "$XDG_RUNTIME_DIR/pulse/pid"
    pulseaudio --daemonize=yes --exit-idle-time=-1 --system=no -n \
        --load="module-null-sink sink_name=capture" \
        --load="module-native-protocol-unix" 2>/dev/null || true
    for _ in $(seq 1 50); do
        server_up && break
        sleep 0.1
    done
fi
if ! server_up; then
    echo "start-pulse: the PulseAudio server did not come up" >&2
    exit 1
fi

if ! pactl list short sinks | awk '{print $2}' | grep -qx capture; then
    pactl load-module module-null-sink sink_name=capture >/dev/null
fi
pactl set-default-sink capture
pactl suspend-sink capture 0 # a test that stalled the sink may have left it so

# Without a client asking for low latency the null sink renders in 2-second blocks, so a
# stream that joins it may wait that long before its first sample is taken, unlike any
# real sound card. A quiet reader of the monitor keeps it in step with the clock.
listener_pid="$XDG_RUNTIME_DIR/capture-listener.pid"
if command -v parec >/dev/null 2>&1; then
    pid="$(cat "$listener_pid" 2>/dev/null || true)"
    if [ -z "$pid" ] || [ "$(ps -o comm= -p "$pid" 2>/dev/null)" != parec ]; then
        nohup parec -d capture.monitor --latency-msec=20 >/dev/null 2>&1 &
        echo $! >"$listener_pid"
    fi
fi

echo "export XDG_RUNTIME_DIR=$XDG_RUNTIME_DIR"
