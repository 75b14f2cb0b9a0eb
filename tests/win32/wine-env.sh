#!/usr/bin/env bash
# The environment the Windows test layer runs in: the desktop of tests/env/desktop-env.sh (Xvfb,
# PulseAudio null sink "cap") and a private Wine prefix for one architecture. Source this file,
# then wine_env_start ARCH; wine_env_stop ends what it started.
#
#   ARCH            win64 (the 64-bit loader, /usr/lib/wine/wine64) or win32 (the 32-bit one,
#                   only where the machine can execute 32-bit programs)
#   WINE_ENV_ROOT   where the prefixes live (default: build/wine-env)
source "$(dirname "${BASH_SOURCE[0]}")/../env/desktop-env.sh"

wine_env_root() { echo "${WINE_ENV_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)/build/wine-env}"; }

# Sets WINE_LOADER and WINE_SERVER for ARCH. The loaders are called by their full paths:
# /usr/bin/wine picks the 32-bit one whenever it is installed.
wine_env_select() {
    case "$1" in
        win64) WINE_LOADER=/usr/lib/wine/wine64 WINE_SERVER=/usr/lib/wine/wineserver64 ;;
        win32) WINE_LOADER=/usr/lib/wine/wine WINE_SERVER=/usr/lib/wine/wineserver32 ;;
        *) echo "wine-env.sh: unknown architecture '$1' (win32 or win64)" >&2; return 1 ;;
    esac
    export WINE_LOADER WINE_SERVER
}

# Whether this machine can start Wine for ARCH: some machines cannot execute 32-bit programs at
# all ("Exec format error"), so the loader's server is asked for its version.
wine_env_available() {
    wine_env_select "$1" || return 1
    [ -x "$WINE_SERVER" ] && "$WINE_SERVER" --version >/dev/null 2>&1
}

# One line on why wine_env_available said no, for the test summary.
wine_env_unavailable_reason() {
    wine_env_select "$1" || return
    if [ ! -x "$WINE_SERVER" ]; then
        echo "$WINE_SERVER is not installed"
    elif ! "$(dirname "${BASH_SOURCE[0]}")/../../tools/can-run-32bit.sh"; then
        echo "this machine cannot execute 32-bit programs"
    else
        echo "$("$WINE_SERVER" --version 2>&1 | head -n 1)"
    fi
}

wine_env_start() {
    local arch=$1 root
    wine_env_select "$arch" || return 1
    root=$(wine_env_root)
    mkdir -p "$root"
    desktop_env_start

    export WINEARCH=$arch
    export WINEDEBUG=-all
    # No Mono or Gecko installer prompt may block a headless run.
    export WINEDLLOVERRIDES="mscoree,mshtml="
    export WINEPREFIX="$root/prefix-$arch"

    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        "$WINE_LOADER" wineboot -i >"$root/wineboot-$arch.log" 2>&1
    fi
    "$WINE_SERVER" -w
    # Every Wine process goes through the server for its waits and locks: give it, like the
    # sound server, the priority a desktop gives audio, so that a machine busy compiling does not
    # stall the playing tests (as root; elsewhere it runs as it is). It stays until wine_env_stop,
    # and so do the prefix's service processes: start them here, with no output, or the first
    # test would leave them holding its output pipe open.
    nice -n -10 "$WINE_SERVER" -p >/dev/null 2>&1
    "$WINE_LOADER" wineboot >/dev/null 2>&1 </dev/null
}

wine_env_stop() {
    [ -n "${WINEPREFIX:-}" ] && [ -n "${WINE_SERVER:-}" ] && "$WINE_SERVER" -k >/dev/null 2>&1
    desktop_env_stop
}
