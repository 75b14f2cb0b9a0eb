#!/usr/bin/env bash
# Builds both plug-ins (native and 32-bit Windows), puts the DLLs into dist/ and the Linux sound
# plug-in into dist/linux/, and plays the built-in demo through the sound plug-in into
# dist/demo.wav.
set -euo pipefail
cd "$(dirname "$0")"

tools/ensure-packages.sh build

jobs=$(nproc 2>/dev/null || echo 2)
cmake --preset native >/dev/null
cmake --build --preset native -j"$jobs"
cmake --preset win32 >/dev/null
cmake --build --preset win32 -j"$jobs" --target spuTarn cdferro

mkdir -p dist dist/linux
cp build/win32/spu/spuTarn.dll build/win32/cdbridge/cdferro.dll dist/
cp build/native/linux/libspuTarn.so dist/linux/
# Self-contained: nothing it needs may come from the build tree.
if ldd dist/linux/libspuTarn.so | grep -q "$(pwd)"; then
    echo "dist/linux/libspuTarn.so depends on the build tree:" >&2
    ldd dist/linux/libspuTarn.so >&2
    exit 1
fi
echo "dist/spuTarn.dll, dist/cdferro.dll and dist/linux/libspuTarn.so are ready."

# The main job: a command-line host loads the plug-in by its exports and plays the demo phrase.
build/native/tools/spu-play/spu-play --plugin build/native/spu/libspuTarn.so --out dist/demo.wav
