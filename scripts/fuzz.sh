#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a fixed time, as many
# at once as there are processors.
# Usage: scripts/fuzz.sh [SECONDS]   (per target; default 60)
# The committed seeds in fuzz/corpus/<target> are read, never written: what a
# run finds goes to the build folder. Exits non-zero when a target crashes,
# hangs or a sanitizer reports; the input that did it is kept under
# <build>/fuzz-artifacts/ and the end of the log is printed.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
seconds=${1:-60}
build=${KESTRO_FUZZ_BUILD:-$root/build/fuzz}
logs="$build/fuzz-logs"
targets=(output arguments settings custom_types)

if ! [[ "$seconds" =~ ^[0-9]+$ ]] || [ "$seconds" -lt 1 ]; then
    echo "usage: scripts/fuzz.sh [SECONDS per target]" >&2
    exit 2
fi

"$root/scripts/setup.sh" || exit 1
mkdir -p "$build"
if ! { CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DKESTRO_FUZZ=ON -DKESTRO_BENCH=OFF -DKESTRO_WERROR=ON &&
       cmake --build "$build" --target fuzzers -j"$(nproc)"; } >"$build/fuzz-build.log" 2>&1; then
    grep -E 'error|warning' "$build/fuzz-build.log" | head -n 40
    echo "fuzz: building the fuzz targets failed (full log: $build/fuzz-build.log)"
    exit 1
fi

mkdir -p "$logs" "$build/fuzz-artifacts"
rm -f "$logs"/*.rc
# One fuzzer per processor at a time: each is single-threaded.
run_target() {
    local t=$1 work="$build/fuzz-corpus/$1"
    mkdir -p "$work"
    # A hard limit beyond the run time, in case the fuzzer itself stops answering.
    timeout -k 10 $((seconds + 120)) "$build/fuzz/${t}_fuzzer" "$work" "$root/fuzz/corpus/$t" \
        -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$build/fuzz-artifacts/$t-" >"$logs/$t.log" 2>&1
    echo $? >"$logs/$t.rc"
}
for t in "${targets[@]}"; do
    while [ "$(jobs -rp | wc -l)" -ge "$(nproc)" ]; do
        wait -n
    done
    run_target "$t" &
done
wait

passed=0
failed=0
for t in "${targets[@]}"; do
    log="$logs/$t.log"
    rc=$(cat "$logs/$t.rc" 2>/dev/null || echo "?")
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    if [ "$rc" = 0 ] && ! grep -qE 'ERROR: (AddressSanitizer|LeakSanitizer|UndefinedBehaviorSanitizer)|runtime error:' "$log"; then
        printf 'fuzz: %-13s ok      %s runs in %s s\n' "$t" "${runs:-?}" "$seconds"
        passed=$((passed + 1))
    else
        printf 'fuzz: %-13s FAILED  (exit %s; log %s)\n' "$t" "$rc" "$log"
        grep -E 'ERROR:|runtime error:|fuzz check failed|Test unit written|SUMMARY' "$log" | head -n 20 | sed 's/^/    /'
        failed=$((failed + 1))
    fi
done
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
