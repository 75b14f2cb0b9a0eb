#!/usr/bin/env bash
# The environment the Windows test layer runs in: a private Wine prefix, an Xvfb display for the
# message boxes and dialogs, and a PulseAudio server with a null sink "cap" whose monitor the
# playback tests record. Source this file, then wine_env_start; wine_env_stop ends what it started
# (by process id, so nothing else on the machine is touched).
#
#   WINE_ENV_ROOT   where the prefix and runtime dirs live (default: build/wine-env)

wine_env_root() { echo "${WINE_ENV_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)/build/wine-env}"; }

wine_env_start() {
    local root
    root=$(wine_env_root)
    mkdir -p "$root/runtime" "$root/home"
    chmod 700 "$root/runtime"

    export WINEARCH=win32
    export WINEDEBUG=-all
    # No Mono or Gecko installer prompt may block a headless run.
    export WINEDLLOVERRIDES="mscoree,mshtml="
    export WINEPREFIX="$root/prefix"
    export XDG_RUNTIME_DIR="$root/runtime"
    export PULSE_RUNTIME_PATH="$root/runtime/pulse"
    export PULSE_SERVER="unix:$root/runtime/pulse/native"
    # PulseAudio refuses to run as root without a home and config of its own.
    export HOME_FOR_PULSE="$root/home"

    # Display: the first free number from 90 up.
    local n=90
    while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >"$root/xvfb.log" 2>&1 &
    WINE_ENV_XVFB_PID=$!
    export DISPLAY=":$n"
    for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done

    rm -rf "$PULSE_RUNTIME_PATH"
    HOME="$HOME_FOR_PULSE" pulseaudio -D --exit-idle-time=-1 -n --system=false \
        --use-pid-file=yes --disallow-exit \
        --load="module-null-sink sink_name=cap rate=44100" \
        --load="module-native-protocol-unix auth-anonymous=1 socket=$PULSE_RUNTIME_PATH/native" \
        >"$root/pulse.log" 2>&1
    for _ in $(seq 50); do [ -S "$PULSE_RUNTIME_PATH/native" ] && break; sleep 0.1; done
    WINE_ENV_PULSE_PID=$(cat "$PULSE_RUNTIME_PATH/pid" 2>/dev/null)
    pactl set-default-sink cap >/dev/null 2>&1 || true

    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        wineboot -i >"$root/wineboot.log" 2>&1
    fi
    wineserver -w
    export WINE_ENV_XVFB_PID WINE_ENV_PULSE_PID
}

wine_env_stop() {
    [ -n "${WINEPREFIX:-}" ] && wineserver -k >/dev/null 2>&1
    [ -n "${WINE_ENV_PULSE_PID:-}" ] && kill "$WINE_ENV_PULSE_PID" >/dev/null 2>&1
    [ -n "${WINE_ENV_XVFB_PID:-}" ] && kill "$WINE_ENV_XVFB_PID" >/dev/null 2>&1
    WINE_ENV_PULSE_PID=
    WINE_ENV_XVFB_PID=
}
