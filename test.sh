#!/usr/bin/env bash
# Runs every test layer: unit and plug-in tests natively (the shipped Linux plug-in among them,
# on a private PulseAudio null sink), again under AddressSanitizer + UndefinedBehaviorSanitizer,
# the streaming-thread tests under ThreadSanitizer, and the Windows layer under Wine (with Xvfb
# and a PulseAudio null sink). Ends with one summary line.
set -uo pipefail
cd "$(dirname "$0")"

tools/ensure-packages.sh test || exit 1

jobs=$(nproc 2>/dev/null || echo 2)
logdir=build/test-logs
mkdir -p "$logdir"
passed=0
failed=0
status=0

# Adds a ctest log's counts to the totals; a layer that ran no test or did not finish counts as
# a failure, so a broken build can never look green.
count_layer() {
    local name=$1 log=$2 line
    line=$(grep -E '[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
    if [ -z "$line" ]; then
        echo "== $name: no test summary (build or run failed)"
        failed=$((failed + 1))
        status=1
        return
    fi
    local f t
    f=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$line")
    t=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\2/' <<<"$line")
    passed=$((passed + t - f))
    failed=$((failed + f))
    [ "$f" -eq 0 ] || status=1
    echo "== $name: $line"
}

run_layer() {
    local name=$1 preset=$2 targets=$3 ctest_extra=$4
    local log="$logdir/$name.log"
    echo "== $name: building"
    if ! cmake --preset "$preset" >"$logdir/$name.configure.log" 2>&1; then
        cat "$logdir/$name.configure.log"
        count_layer "$name" /dev/null
        return
    fi
    local build_args=(--build --preset "$preset" -j"$jobs")
    [ -n "$targets" ] && build_args+=(--target $targets)
    if ! cmake "${build_args[@]}" >"$logdir/$name.build.log" 2>&1; then
        tail -n 60 "$logdir/$name.build.log"
        count_layer "$name" /dev/null
        return
    fi
    echo "== $name: testing"
    local test_args=(--test-dir "build/$preset" --output-on-failure --timeout 300)
    [ "$preset" = win32 ] || test_args+=(-j"$jobs")
    [ -n "$ctest_extra" ] && test_args+=($ctest_extra)
    ctest "${test_args[@]}" 2>&1 | tee "$log" | grep -E '(\*\*\*|tests passed|^The following tests FAILED|^[[:space:]]+[0-9]+ - )' || true
    count_layer "$name" "$log"
}

run_layer native native "" ""
run_layer asan native-asan "" ""
# ThreadSanitizer: the sound plug-in, whose streaming thread races the host's threads, and the
# platform it runs on.
run_layer tsan native-tsan "spu_plugin_tests spu_plugin_thread_tests platform_tests" "-L thread|plugin|platform"

# The Windows layer needs Wine, an X display and an audio server of its own.
source tests/win32/wine-env.sh
wine_env_start
trap wine_env_stop EXIT
run_layer wine win32 "" ""
wine_env_stop
trap - EXIT

echo "tests: $passed passed, $failed failed"
exit $status
