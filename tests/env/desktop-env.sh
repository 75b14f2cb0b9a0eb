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

# pulse_server_start DIR HOME LOG: a PulseAudio server with the null sink "cap" at 44100 Hz.
# Its socket, pid file and runtime files live in a short private directory under /tmp, since a
# unix socket address holds at most 107 bytes and DIR may lie deep in a checkout; DIR/runtime
# links to that directory and DIR/server holds the address clients use
# (PULSE_SERVER=$(cat DIR/server)). Returns once the socket is there (status 1 if it never came).
pulse_server_start() {
    local dir=$1 home=$2 log=$3 runtime
    mkdir -p "$dir" "$home"
    runtime=$(mktemp -d /tmp/spuTarn-pulse.XXXXXX) || return 1
    ln -sfn "$runtime" "$dir/runtime"
    echo "unix:$runtime/native" >"$dir/server"
    # PulseAudio refuses to run as root without a home and runtime directory of its own. The
    # machines that run the tests are often busy compiling: the sound server gets the priority a
    # desktop gives it (negative niceness works as root; elsewhere nice runs it as it is).
    HOME="$home" XDG_RUNTIME_DIR="$runtime" PULSE_RUNTIME_PATH="$runtime" \
        nice -n -10 pulseaudio -D --high-priority=yes --exit-idle-time=-1 -n --system=false \
        --use-pid-file=yes --disallow-exit \
        --load="module-null-sink sink_name=cap rate=44100" \
        --load="module-native-protocol-unix auth-anonymous=1 socket=$runtime/native" \
        >"$log" 2>&1
    for _ in $(seq 50); do [ -S "$runtime/native" ] && return 0; sleep 0.1; done
    return 1
}

# pulse_server_stop DIR: stops the server started with DIR, by its process id, and removes its
# private directory.
pulse_server_stop() {
    local runtime
    runtime=$(readlink "$1/runtime" 2>/dev/null) || return 0
    [ -f "$runtime/pid" ] && kill "$(cat "$runtime/pid")" >/dev/null 2>&1
    case "$runtime" in /tmp/spuTarn-pulse.*) rm -rf "$runtime" ;; esac
    rm -f "$1/runtime" "$1/server"
    return 0
}

desktop_env_start() {
    local root
    root=$(desktop_env_root)
    mkdir -p "$root/runtime" "$root/home"
    chmod 700 "$root/runtime"

    export XDG_RUNTIME_DIR="$root/runtime"
    DESKTOP_ENV_PULSE_DIR="$root/pulse"

    # Display: the first free number from 90 up.
    local n=90
    while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >"$root/xvfb.log" 2>&1 &
    DESKTOP_ENV_XVFB_PID=$!
    export DISPLAY=":$n"
    for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done

    pulse_server_start "$DESKTOP_ENV_PULSE_DIR" "$root/home" "$root/pulse.log"
    PULSE_SERVER=$(cat "$DESKTOP_ENV_PULSE_DIR/server")
    PULSE_RUNTIME_PATH=$(readlink "$DESKTOP_ENV_PULSE_DIR/runtime")
    export PULSE_SERVER PULSE_RUNTIME_PATH
    pactl set-default-sink cap >/dev/null 2>&1 || true
    export DESKTOP_ENV_XVFB_PID DESKTOP_ENV_PULSE_DIR
}

desktop_env_stop() {
    [ -n "${DESKTOP_ENV_PULSE_DIR:-}" ] && pulse_server_stop "$DESKTOP_ENV_PULSE_DIR"
    [ -n "${DESKTOP_ENV_XVFB_PID:-}" ] && kill "$DESKTOP_ENV_XVFB_PID" >/dev/null 2>&1
    DESKTOP_ENV_XVFB_PID=
}
