#!/usr/bin/env bash
# Builds both plug-ins (native and 32-bit Windows), puts the DLLs into dist/ and plays the
# built-in demo through the sound plug-in into dist/demo.wav.
set -euo pipefail
cd "$(dirname "$0")"

tools/ensure-packages.sh build

jobs=$(nproc 2>/dev/null || echo 2)
cmake --preset native >/dev/null
cmake --build --preset native -j"$jobs"
cmake --preset win32 >/dev/null
cmake --build --preset win32 -j"$jobs" --target spuTarn cdferro

mkdir -p dist
cp build/win32/spu/spuTarn.dll build/win32/cdbridge/cdferro.dll dist/
echo "dist/spuTarn.dll and dist/cdferro.dll are ready."

# The main job: a command-line host loads the plug-in by its exports and plays the demo phrase.
build/native/tools/spu-play/spu-play --plugin build/native/spu/libspuTarn.so --out dist/demo.wav
