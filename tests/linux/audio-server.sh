#!/usr/bin/env bash
# A private PulseAudio server with a null sink "cap" (44100 Hz) whose monitor a test records,
# for the tests that play through the Linux plug-in's real audio device. The server lives in
# DIR and is stopped by its process id, so nothing else on the machine is touched.
#   audio-server.sh start DIR   starts it; clients use PULSE_SERVER=unix:DIR/native
#   audio-server.sh stop DIR    stops it
set -euo pipefail
command=${1:?start or stop}
dir=${2:?directory}

case "$command" in
start)
    mkdir -p "$dir/home"
    chmod 700 "$dir"
    "$0" stop "$dir"
    # PulseAudio refuses to run as root without a home and runtime directory of its own.
    HOME="$dir/home" XDG_RUNTIME_DIR="$dir" PULSE_RUNTIME_PATH="$dir" \
        pulseaudio -D --exit-idle-time=-1 -n --system=false --use-pid-file=yes \
        --disallow-exit --disallow-module-loading=false \
        --load="module-null-sink sink_name=cap rate=44100" \
        --load="module-native-protocol-unix auth-anonymous=1 socket=$dir/native" \
        >"$dir/pulse.log" 2>&1
    for _ in $(seq 50); do [ -S "$dir/native" ] && break; sleep 0.1; done
    [ -S "$dir/native" ] || { cat "$dir/pulse.log" >&2; exit 1; }
    PULSE_SERVER="unix:$dir/native" pactl set-default-sink cap
    ;;
stop)
    if [ -f "$dir/pid" ]; then
        kill "$(cat "$dir/pid")" 2>/dev/null || true
        rm -f "$dir/pid"
    fi
    ;;
*)
    echo "usage: $0 start|stop DIR" >&2
    exit 2
    ;;
esac
