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

    # PulseAudio refuses to run as root without a home and config of its own. The machines that
    # run the tests are often busy compiling: the sound server gets the priority a desktop gives
    # it (negative niceness works as root; elsewhere nice runs it as it is).
    rm -rf "$PULSE_RUNTIME_PATH"
    HOME="$root/home" nice -n -10 pulseaudio -D --high-priority=yes --exit-idle-time=-1 -n --system=false \
        --use-pid-file=yes --disallow-exit \
        --load="module-null-sink sink_name=cap rate=44100" \
        --load="module-native-protocol-unix auth-anonymous=1 socket=$PULSE_RUNTIME_PATH/native" \
        >"$root/pulse.log" 2>&1
    for _ in $(seq 50); do [ -S "$PULSE_RUNTIME_PATH/native" ] && break; sleep 0.1; done
    DESKTOP_ENV_PULSE_PID=$(cat "$PULSE_RUNTIME_PATH/pid" 2>/dev/null)
    pactl set-default-sink cap >/dev/null 2>&1 || true
    export DESKTOP_ENV_XVFB_PID DESKTOP_ENV_PULSE_PID
}

desktop_env_stop() {
    [ -n "${DESKTOP_ENV_PULSE_PID:-}" ] && kill "$DESKTOP_ENV_PULSE_PID" >/dev/null 2>&1
    [ -n "${DESKTOP_ENV_XVFB_PID:-}" ] && kill "$DESKTOP_ENV_XVFB_PID" >/dev/null 2>&1
    DESKTOP_ENV_PULSE_PID=
    DESKTOP_ENV_XVFB_PID=
}
