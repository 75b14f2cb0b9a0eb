#!/usr/bin/env bash
# Runs every test layer: unit and plug-in tests natively (the shipped Linux plug-in among them,
# on a private PulseAudio null sink), again under AddressSanitizer + UndefinedBehaviorSanitizer,
# the streaming-thread tests under ThreadSanitizer, and the Windows layer: the x86-64 builds
# under wine64 (with Xvfb and a PulseAudio null sink), the 32-bit DLLs checked statically, and
# run under 32-bit Wine where this machine can execute 32-bit programs. Then the real host:
# Debian's pcsxr emulator runs a PS1 program of ours through both Linux plug-ins. Ends with one
# summary line that counts only the tests that ran.
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

# run_layer NAME PRESET BUILD_TARGETS CTEST_ARGS: configures and builds the preset (all targets
# when BUILD_TARGETS is empty), then runs its tests.
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
    # The Wine harnesses share one display and sound card: they run one at a time.
    case "$preset" in win*) ;; *) test_args+=(-j"$jobs") ;; esac
    [ -n "$ctest_extra" ] && test_args+=($ctest_extra)
    ctest "${test_args[@]}" 2>&1 | tee "$log" | grep -E '(\*\*\*|tests passed|^The following tests FAILED|^[[:space:]]+[0-9]+ - )' || true
    count_layer "$name" "$log"
}

# run_script NAME COMMAND...: a layer driven by a script of its own that ends with a line
# "NAME: N passed, M failed".
run_script() {
    local name=$1 log="$logdir/$1.log" line
    shift
    echo "== $name: running"
    "$@" >"$log" 2>&1
    line=$(grep -E "^$name: [0-9]+ passed, [0-9]+ failed" "$log" | tail -n 1)
    if [ -z "$line" ]; then
        tail -n 30 "$log"
        echo "== $name: no summary (the script did not finish)"
        failed=$((failed + 1))
        status=1
        return
    fi
    grep -E '^(FAIL|SKIP)' "$log" || true
    local p f
    p=$(sed -E 's/.*: ([0-9]+) passed, ([0-9]+) failed.*/\1/' <<<"$line")
    f=$(sed -E 's/.*: ([0-9]+) passed, ([0-9]+) failed.*/\2/' <<<"$line")
    passed=$((passed + p))
    failed=$((failed + f))
    [ "$f" -eq 0 ] || status=1
    echo "== $line"
}

run_layer native native "" ""
# LeakSanitizer leaves the threads' dynamic TLS out of its root set: its tracer (GCC 12's
# runtime, glibc 2.36) reads a slot of the thread vector that glibc has not allocated for the
# dlopen'ed plug-in and dies of SIGSEGV after two plug-in tests have passed. Nothing of ours
# lives in TLS but a call-depth counter; glibc's own thread-local dlerror buffer is suppressed
# (lsan.supp).
LSAN_OPTIONS="use_tls=0:suppressions=$PWD/tests/lsan.supp" run_layer asan native-asan "" ""
# ThreadSanitizer: the sound plug-in, whose streaming thread races the host's threads, and the
# platform it runs on.
run_layer tsan native-tsan "spu_plugin_tests spu_exact_plugin_tests spu_plugin_thread_tests platform_tests cdbridge_plugin_tests" "-L thread|plugin|platform|bridge"

# libFuzzer: each target a few seconds from its seed corpus, so a regression shows at once.
run_script fuzz tests/fuzz/run-fuzz.sh 7

# The Windows layer needs Wine, an X display and an audio server of its own.
source tests/win32/wine-env.sh
trap wine_env_stop EXIT
wine_env_start win64
run_layer wine64 win64 "" ""
wine_env_stop

# The 32-bit DLLs the hosts load: always read and checked; run under Wine only where the
# machine can start 32-bit Wine.
if wine_env_available win32; then
    wine_env_start win32
    run_layer wine32 win32 "" ""
    wine_env_stop
else
    echo "== wine32: skipped running the 32-bit DLLs under Wine: $(wine_env_unavailable_reason win32); checking them statically"
    run_layer win32-static win32 "spuTarn spuTarnExact cdferro" "-L static"
fi
trap - EXIT

# The real host: Debian's pcsxr boots our PS1 test program and plays through the Linux plug-ins.
# The shipped plug-ins (built by the native layer above), which play through SDL2.
run_script pcsxr env PCSXR_TEST_AUDIO=yes tests/pcsxr/run-pcsxr-test.sh build/native/linux/libspuTarn.so
# The hardware-faithful plug-in, also with the CD audio disc: CD audio, the interrupt, reverb and
# the console's recordings inside the real host.
run_script pcsxr-exact env PCSXR_TEST_AUDIO=yes PCSXR_TEST_NAME=pcsxr-exact \
    PCSXR_TEST_DIR="$PWD/build/pcsxr-test-exact" \
    tests/pcsxr/run-pcsxr-test.sh build/native/linux/libspuTarnExact.so

echo "tests: $passed passed, $failed failed"
exit $status
