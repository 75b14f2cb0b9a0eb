#!/usr/bin/env bash
# A private PulseAudio server with a null sink "cap" (44100 Hz) whose monitor a test records,
# for the tests that play through the Linux plug-in's real audio device. The server lives in
# DIR and is stopped by its process id, so nothing else on the machine is touched.
#   audio-server.sh start DIR   starts it; clients use PULSE_SERVER=$(cat DIR/server)
#   audio-server.sh stop DIR    stops it
set -uo pipefail
source "$(dirname "$0")/../env/desktop-env.sh"
command=${1:?start or stop}
dir=${2:?directory}

case "$command" in
start)
    pulse_server_stop "$dir"
    if ! pulse_server_start "$dir" "$dir/home" "$dir/pulse.log"; then
        cat "$dir/pulse.log" >&2
        exit 1
    fi
    PULSE_SERVER=$(cat "$dir/server") pactl set-default-sink cap
    ;;
stop)
    pulse_server_stop "$dir"
    ;;
*)
    echo "usage: $0 start|stop DIR" >&2
    exit 2
    ;;
esac
