#!/usr/bin/env bash
# Builds the plug-ins (native, 32-bit Windows, and the sound plug-ins for 64-bit Windows), puts
# the DLLs into dist/ and the Linux sound plug-ins into dist/linux/, and plays the built-in demo
# through the sound plug-in into dist/demo.wav. The sound plug-ins are spuTarn and spuTarnExact.
set -euo pipefail
cd "$(dirname "$0")"

tools/ensure-packages.sh build

jobs=$(nproc 2>/dev/null || echo 2)
cmake --preset native >/dev/null
cmake --build --preset native -j"$jobs"
cmake --preset win32 >/dev/null
cmake --build --preset win32 -j"$jobs" --target spuTarn spuTarnExact cdferro
# 64-bit hosts get the sound plug-ins only: the CD bridge's host is 32-bit.
cmake --preset win64 >/dev/null
cmake --build --preset win64 -j"$jobs" --target spuTarn spuTarnExact

mkdir -p dist/x64 dist/linux
cp build/win32/spu/spuTarn.dll build/win32/spu/spuTarnExact.dll build/win32/cdbridge/cdferro.dll dist/
cp build/win64/spu/spuTarn.dll build/win64/spu/spuTarnExact.dll dist/x64/
for so in libspuTarn.so libspuTarnExact.so; do
    # Shipped without its debug information (a third of the size); the exports stay as they are.
    strip --strip-unneeded -o "dist/linux/$so" "build/native/linux/$so"
    # Self-contained: nothing it needs may come from the build tree.
    if ldd "dist/linux/$so" | grep -q "$(pwd)"; then
        echo "dist/linux/$so depends on the build tree:" >&2
        ldd "dist/linux/$so" >&2
        exit 1
    fi
done
echo "dist/spuTarn.dll, dist/spuTarnExact.dll, dist/cdferro.dll (32-bit hosts), dist/x64/spuTarn.dll,"
echo "dist/x64/spuTarnExact.dll (64-bit hosts) and dist/linux/libspuTarn.so,"
echo "dist/linux/libspuTarnExact.so (Linux hosts) are ready."

# The main job: a command-line host loads the plug-in by its exports and plays the demo phrase.
build/native/tools/spu-play/spu-play --plugin build/native/spu/libspuTarn.so --out dist/demo.wav
