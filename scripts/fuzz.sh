#!/usr/bin/env bash
# Builds the libFuzzer harnesses of tests/fuzz with clang, AddressSanitizer and UndefinedBehaviorSanitizer (build
# directory FUZZ_BUILD_DIR, default build-fuzz) and runs each for SECONDS (default 20) from its corpus in
# tests/fuzz/corpus/<harness>/. New inputs go to the build directory, not to the repository. A finding stops the
# script with the harness's output; the input that caused it is left in <build>/findings/.
# FUZZ_SKIP names harnesses that are built but not run (a known finding waiting for its fix). FUZZ_SEED (default 1)
# makes the inputs a run tries the same each time; 0 lets every run try others. FUZZ_RUNS stops each harness after
# that many inputs (SECONDS 0: no time limit).
# Usage: scripts/fuzz.sh [SECONDS] [HARNESS...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-20}"
shift || true
bash scripts/install-deps.sh
build="${FUZZ_BUILD_DIR:-build-fuzz}"
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZEL_FUZZ=ON \
    -DZEL_BUILD_TESTS=OFF -DZEL_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --target fuzz_harnesses
harnesses=("$@")
if [ ${#harnesses[@]} -eq 0 ]; then
    harnesses=($(ls tests/fuzz/corpus))
fi
mkdir -p "$build/findings" "$build/logs"
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1}"
for harness in "${harnesses[@]}"; do
    if [[ " ${FUZZ_SKIP:-} " == *" $harness "* ]]; then
        echo "fuzz: $harness: skipped (FUZZ_SKIP)"
        continue
    fi
    work="$build/corpus/$harness"
    log="$build/logs/$harness.txt"
    mkdir -p "$work"
    # Memory above 2 GB (also a single allocation of that size) counts as a finding; so does an input that runs
    # for more than 10 s.
    if ! "$build/fuzz/$harness" -max_total_time="$seconds" ${FUZZ_RUNS:+-runs=$FUZZ_RUNS} -seed="${FUZZ_SEED:-1}" \
        -rss_limit_mb=2048 -timeout=10 -print_final_stats=1 \
        -artifact_prefix="$build/findings/$harness-" "$work" "tests/fuzz/corpus/$harness" >"$log" 2>&1; then
        tail -n 60 "$log"
        echo "fuzz: $harness found a fault; the input is in $build/findings/" >&2
        exit 1
    fi
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
    echo "fuzz: $harness: ${runs:-?} inputs (${rate:-?} per second), no finding"
done
