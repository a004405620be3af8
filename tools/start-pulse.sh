#!/usr/bin/env bash
# A PulseAudio server of the tests' own, with a null sink "capture" to record what the
# program plays on a machine without a sound card. It lives in a fresh folder (socket,
# pid file, cookie, state), so a server the developer runs is never touched: not its
# sinks, not its default sink, not its files under ~/.config/pulse.
#
# Sourced (test.sh): `start_pulse` starts it and exports PULSE_SERVER and the paths
# that point its clients at it, and two TCP ports on 127.0.0.1 through which a test talks
# to it the same way on Linux and from a Windows program under wine (which cannot start
# pactl or parec, but opens sockets and is handed the environment); `stop_pulse` ends it
# and removes the folder.
# Run by hand:  eval "$(bash tools/start-pulse.sh)"   …tests…   bash tools/start-pulse.sh --stop
# (the second form reads TAPECALC_PULSE_DIR from the environment the first one set).
# Without PulseAudio installed nothing starts and the sound tests skip their recording.
# Needs (Debian 12): pulseaudio pulseaudio-utils (pactl, parec)

# Starts the server; returns 1 when it could not.
start_pulse() {
    if ! command -v pulseaudio >/dev/null 2>&1 || ! command -v pactl >/dev/null 2>&1; then
        echo "start-pulse: pulseaudio or pactl not installed; no sound server started" >&2
        return 1
    fi
    local dir
    dir=$(mktemp -d "${TMPDIR:-/tmp}/tapecalc-pulse.XXXXXX") || return 1
    : >"$dir/tapecalc-pulse" # stop_pulse removes only a folder that carries this mark
    export TAPECALC_PULSE_DIR=$dir
    export PULSE_RUNTIME_PATH=$dir/run PULSE_STATE_PATH=$dir/state PULSE_CONFIG_PATH=$dir/config
    export PULSE_COOKIE=$dir/cookie PULSE_SERVER=unix:$dir/run/native
    mkdir -m 700 "$PULSE_RUNTIME_PATH" "$PULSE_STATE_PATH" "$PULSE_CONFIG_PATH"

    # -n: no default.pa, so nothing restores or switches devices; its only sink is the
    # null sink, which makes it the default of this server and of no other. As root
    # PulseAudio warns and runs. Its clients need no cookie, and without
    # auth-cookie-enabled=0 it would write one into the home (~/.config/pulse/cookie).
    if ! pulseaudio --daemonize=yes --use-pid-file=yes --exit-idle-time=-1 --system=no -n \
        --log-target="file:$dir/pulseaudio.log" \
        --load="module-null-sink sink_name=capture" \
        --load="module-native-protocol-unix socket=$dir/run/native auth-anonymous=1 auth-cookie-enabled=0"; then
        echo "start-pulse: the PulseAudio server did not start (see $dir/pulseaudio.log)" >&2
        stop_pulse
        return 1
    fi
    local tries=0
    until pactl info >/dev/null 2>&1; do
        tries=$((tries + 1))
        if [ "$tries" -gt 50 ]; then
            echo "start-pulse: the PulseAudio server does not answer" >&2
            stop_pulse
            return 1
        fi
        sleep 0.1
    done

    # TAPECALC_PULSE_CLI: the port of its command line (pacmd's commands; answers end in ">>> ").
    pulse_load_on_free_port TAPECALC_PULSE_CLI module-cli-protocol-tcp || {
        stop_pulse
        return 1
    }
    # TAPECALC_PULSE_TAP: the port streaming what the sink "capture" plays (s16le mono 22050 Hz).
    pulse_load_on_free_port TAPECALC_PULSE_TAP module-simple-protocol-tcp record=true \
        playback=false source=capture.monitor format=s16le channels=1 rate=22050 || {
        stop_pulse
        return 1
    }

    # Without a client asking for low latency the null sink renders in 2-second blocks,
    # so a stream that joins it may wait that long before its first sample is taken,
    # unlike any real sound card. A quiet reader of the monitor keeps it in step.
    if command -v parec >/dev/null 2>&1; then
        nohup parec -d capture.monitor --latency-msec=20 >/dev/null 2>&1 &
        echo $! >"$dir/listener.pid"
    fi
}

# Loads a TCP module of the server on a random free port of 127.0.0.1 and exports that
# port as the named variable. A port another program took in the meantime fails the load:
# another is tried, a few times.
pulse_load_on_free_port() { # variable, module, module arguments...
    local variable=$1 module=$2 port
    shift 2
    for _ in 1 2 3 4 5 6 7 8; do
        port=$((20000 + RANDOM % 40000))
        if pactl load-module "$module" listen=127.0.0.1 port="$port" "$@" >/dev/null 2>&1; then
            export "$variable=$port"
            return 0
        fi
    done
    echo "start-pulse: $module found no free port" >&2
    return 1
}

# Records what the sink plays into a raw file in the form tools/windows/heard.py reads
# (16-bit little-endian mono at 22050 Hz) until stop_recording. The recorder's pid is kept
# in the server's folder, so that stop_pulse ends a recording left running too.
record_sink() { # raw file
    parec -d capture.monitor --raw --format=s16le --rate=22050 --channels=1 \
        --latency-msec=5 >"$1" &
    echo $! >"$TAPECALC_PULSE_DIR/recorder.pid"
    sleep 0.5 # the recorder connects and starts taking samples
}
stop_recording() {
    local pidfile=$TAPECALC_PULSE_DIR/recorder.pid pid
    pid=$(cat "$pidfile" 2>/dev/null) || return 0
    sleep 0.5 # what the recorder has not read yet
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    rm -f "$pidfile"
}

# Ends the server start_pulse started (its pid file and listener are in its folder)
# and removes the folder. Safe to call twice or when nothing was started.
stop_pulse() {
    local dir=${TAPECALC_PULSE_DIR:-}
    [ -n "$dir" ] && [ -f "$dir/tapecalc-pulse" ] || return 0
    local pid
    for pidfile in "$dir/recorder.pid" "$dir/listener.pid" "$dir/run/pid"; do
        pid=$(head -n 1 "$pidfile" 2>/dev/null) || continue
        [ -n "$pid" ] || continue
        kill "$pid" 2>/dev/null || continue
        for _ in $(seq 1 50); do
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.1
        done
    done
    rm -rf "$dir"
    unset TAPECALC_PULSE_DIR PULSE_RUNTIME_PATH PULSE_STATE_PATH PULSE_CONFIG_PATH PULSE_COOKIE \
        PULSE_SERVER TAPECALC_PULSE_CLI TAPECALC_PULSE_TAP
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
    set -euo pipefail
    if [ "${1:-}" = "--stop" ]; then
        stop_pulse
        exit 0
    fi
    start_pulse >&2 || exit 1
    for name in TAPECALC_PULSE_DIR PULSE_RUNTIME_PATH PULSE_STATE_PATH PULSE_CONFIG_PATH \
        PULSE_COOKIE PULSE_SERVER TAPECALC_PULSE_CLI TAPECALC_PULSE_TAP; do
        printf 'export %s=%q\n' "$name" "${!name}"
    done
    echo "start-pulse: stop it with: bash tools/start-pulse.sh --stop" >&2
fi
