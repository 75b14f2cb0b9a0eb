#!/usr/bin/env bash
# Photographs the bridge's dialog under Xvfb: the harness opens it and announces it with a
# marker file, this script takes the picture of the display and tells the harness to go on.
#   screenshot.sh EMULATOR HARNESS OUTPUT_PNG
set -u
emulator=$1 harness=$2 output=$3
dir=$(dirname "$output")
mkdir -p "$dir"
rm -f "$dir/dialog-open" "$dir/shot.done" "$output"
# Xvfb runs no window manager, so windows left to X get no frame: have Wine draw caption and
# frame itself, as the user would see them.
"$emulator" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1 || true
CDFERRO_SHOT_DIR="Z:$dir" "$emulator" "$harness" --gtest_filter='BridgeDllScreenshot.*' &
pid=$!
for _ in $(seq 300); do
    [ -e "$dir/dialog-open" ] && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
done
status=1
if [ -e "$dir/dialog-open" ]; then
    import -window root "$output" && status=0
fi
touch "$dir/shot.done"
wait "$pid" || status=1
[ -s "$output" ] || status=1
[ $status -eq 0 ] && echo "dialog screenshot: $output"
exit $status
