#!/usr/bin/env bash
# Runs every libFuzzer target for SECONDS_PER_TARGET seconds, one after the other, starting
# from the checked-in seed corpus (tests/fuzz/corpus/<target>/) and a work corpus that persists
# in build/fuzz/corpus/<target>/ between runs. Builds the "fuzz" preset first when needed.
# Prints one line per target (executions, coverage) and ends with "fuzz: N passed, M failed".
# A crash leaves its input in build/fuzz/artifacts/ and the log in build/fuzz/logs/.
#   tests/fuzz/run-fuzz.sh 7       the short run of ./test.sh
#   tests/fuzz/run-fuzz.sh 600     ten minutes per target
set -uo pipefail
cd "$(dirname "$0")/../.."

seconds=${1:-}
if ! [[ "$seconds" =~ ^[0-9]+$ ]] || [ "$seconds" -lt 1 ]; then
    echo "usage: $0 SECONDS_PER_TARGET" >&2
    exit 2
fi

targets=(spu_core spu_plugin cdbridge)
out=build/fuzz
mkdir -p "$out/logs" "$out/artifacts"

if ! { cmake --preset fuzz && cmake --build --preset fuzz -j2; } >"$out/logs/build.log" 2>&1; then
    tail -n 40 "$out/logs/build.log"
    echo "fuzz: 0 passed, ${#targets[@]} failed"
    exit 1
fi

passed=0
failed=0
for target in "${targets[@]}"; do
    work="$out/corpus/$target"
    log="$out/logs/$target.log"
    mkdir -p "$work"
    # -timeout: no single input may run long; -rss_limit_mb: the machine is shared.
    "$out/tests/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$out/artifacts/$target-" \
        "$work" "tests/fuzz/corpus/$target" >"$log" 2>&1
    rc=$?
    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    cov=$(grep -oE 'cov: [0-9]+ ft: [0-9]+' "$log" | tail -n 1)
    corpus=$(ls "$work" | wc -l)
    if [ "$rc" -eq 0 ]; then
        passed=$((passed + 1))
        echo "fuzz $target: ${execs:-0} executions, ${cov:-no coverage line}, corpus $corpus: ok"
    else
        failed=$((failed + 1))
        echo "fuzz $target: failed (exit $rc), see $log"
        grep -E '^(SUMMARY|==[0-9]+==ERROR)|runtime error' "$log" | head -n 5
    fi
done
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
