#!/usr/bin/env bash
# Installs the Debian packages the build or the tests need, when they are missing.
#   ensure-packages.sh build   compilers and libraries for ./build.sh (SDL2 for the Linux plug-in)
#   ensure-packages.sh test    all of that, and Wine, Xvfb and PulseAudio for the Windows layer
#                              (32-bit Wine only where the machine can execute 32-bit programs)
#                              and the Linux plug-in's audio test; the pcsxr emulator, a MIPS
#                              cross compiler, genisoimage, xdotool and Mesa (the host's OpenGL
#                              GPU plug-in under Xvfb) for the real-host layer; clang and its
#                              runtime for the fuzz targets
# As root with apt it installs them; otherwise it says what to install and fails.
set -euo pipefail

want=(cmake g++ make g++-mingw-w64-i686 g++-mingw-w64-x86-64 googletest libgtest-dev
      libbenchmark-dev libsdl2-dev)
if [ "${1:-build}" = test ]; then
    want+=(wine wine64 xvfb pulseaudio pulseaudio-utils imagemagick python3)
    "$(dirname "$0")/can-run-32bit.sh" && want+=(wine32:i386)
    want+=(pcsxr gcc-mipsel-linux-gnu genisoimage xdotool libgl1-mesa-dri)
    want+=(clang libclang-rt-14-dev)
fi

missing=()
for p in "${want[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ] || ! command -v apt-get >/dev/null; then
    echo "Missing Debian packages: ${missing[*]}" >&2
    echo "Install them as root:" >&2
    case " ${missing[*]} " in *":i386 "*) echo "  dpkg --add-architecture i386" >&2 ;; esac
    echo "  apt-get update && apt-get install -y ${missing[*]}" >&2
    exit 1
fi

echo "Installing: ${missing[*]}"
case " ${missing[*]} " in
    *":i386 "*) dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386 ;;
esac
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
