#!/usr/bin/env bash
# A desktop of the tests' own: an Xvfb display for message boxes, dialogs and the emulator's
# window, and a private PulseAudio server with a 44100 Hz null sink "cap" whose monitor the
# playback tests record. Source this file, then desktop_env_start; desktop_env_stop ends what it
# started, by process id, so nothing else on the machine is touched.
#
#   DESKTOP_ENV_ROOT   where the runtime dirs and logs live (default: build/desktop-env)

desktop_env_root() {
    echo "${DESKTOP_ENV_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)/build/desktop-env}"
}

# pulse_server_start DIR HOME LOG: a PulseAudio server whose socket, pid file and runtime files
# are in DIR, with the null sink "cap" at 44100 Hz. Returns once the socket is there (status 1
# if it never came). Clients use PULSE_SERVER=unix:DIR/native.
pulse_server_start() {
    local dir=$1 home=$2 log=$3
    mkdir -p "$dir" "$home"
    chmod 700 "$dir"
    rm -f "$dir/native" "$dir/pid"
    # PulseAudio refuses to run as root without a home and runtime directory of its own. The
    # machines that run the tests are often busy compiling: the sound server gets the priority a
    # desktop gives it (negative niceness works as root; elsewhere nice runs it as it is).
    HOME="$home" XDG_RUNTIME_DIR="$dir" PULSE_RUNTIME_PATH="$dir" \
        nice -n -10 pulseaudio -D --high-priority=yes --exit-idle-time=-1 -n --system=false \
        --use-pid-file=yes --disallow-exit \
        --load="module-null-sink sink_name=cap rate=44100" \
        --load="module-native-protocol-unix auth-anonymous=1 socket=$dir/native" \
        >"$log" 2>&1
    for _ in $(seq 50); do [ -S "$dir/native" ] && return 0; sleep 0.1; done
    return 1
}

# pulse_server_stop DIR: stops the server started in DIR, by its process id.
pulse_server_stop() {
    [ -f "$1/pid" ] && kill "$(cat "$1/pid")" >/dev/null 2>&1
    rm -f "$1/pid"
    return 0
}

desktop_env_start() {
    local root
    root=$(desktop_env_root)
    mkdir -p "$root/runtime" "$root/home"
    chmod 700 "$root/runtime"

    export XDG_RUNTIME_DIR="$root/runtime"
    export PULSE_RUNTIME_PATH="$root/runtime/pulse"
    export PULSE_SERVER="unix:$root/runtime/pulse/native"

    # Display: the first free number from 90 up.
    local n=90
    while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >"$root/xvfb.log" 2>&1 &
    DESKTOP_ENV_XVFB_PID=$!
    export DISPLAY=":$n"
    for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done

    pulse_server_start "$PULSE_RUNTIME_PATH" "$root/home" "$root/pulse.log"
    pactl set-default-sink cap >/dev/null 2>&1 || true
    export DESKTOP_ENV_XVFB_PID
}

desktop_env_stop() {
    [ -n "${PULSE_RUNTIME_PATH:-}" ] && pulse_server_stop "$PULSE_RUNTIME_PATH"
    [ -n "${DESKTOP_ENV_XVFB_PID:-}" ] && kill "$DESKTOP_ENV_XVFB_PID" >/dev/null 2>&1
    DESKTOP_ENV_XVFB_PID=
}
