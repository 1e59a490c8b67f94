#!/usr/bin/env bash
# Sets up this machine, builds everything and runs every test: the portable
# core natively (also under AddressSanitizer and UndefinedBehaviorSanitizer,
# and a short run of each fuzz target), then the Windows programs under Wine on
# a private X display with a Wine prefix of their own. Exits non-zero when
# anything fails.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
source scripts/xvfb.sh
jobs=$(nproc)
logs="$root/build/logs"

"$root/scripts/setup.sh" || exit 1
mkdir -p "$logs"

build() { # preset, log name
    if ! { cmake --preset "$1" -DKESTRO_WERROR=ON && cmake --build --preset "$1" -j"$jobs"; } >"$logs/$2.log" 2>&1; then
        grep -E 'error|Error|warning' "$logs/$2.log" | head -n 40
        echo "build of '$1' failed (full log: $logs/$2.log)"
        exit 1
    fi
}

status=0
echo "== Native suite"
build linux build-linux
ctest --preset linux -j"$jobs" --timeout 300 || status=1

echo "== Native suite under AddressSanitizer + UndefinedBehaviorSanitizer"
build linux-asan build-linux-asan
ctest --preset linux-asan -j"$jobs" --timeout 300 || status=1

echo "== Fuzzing (60 s per target)"
scripts/fuzz.sh 60 || status=1

echo "== Windows suite under Wine"
build win32 build-win32
start_private_display || exit 1
ctest --preset win32 --timeout 600 || status=1
exit $status
