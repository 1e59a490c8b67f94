#!/usr/bin/env bash
# Runs every benchmark and prints one table: each figure, its baseline measured
# in the same run, the ratio, the target and whether it holds, then a line for
# every target not met. Results are reported, never asserted: the exit code is
# non-zero only when something could not be built or measured.
#   - natively (Google Benchmark): the output decoder + interpreter against a
#     floor that only finds line ends and decodes UTF-16;
#   - under Wine, on a private X display with a fresh Wine prefix: Tarvask.exe
#     driven from outside against a pipe-only baseline and a minimal window
#     program (tools/bench).
# The Windows figures are taken on the 32-bit build where this machine can run
# 32-bit programs, on the 64-bit build otherwise (KESTRO_WINE_ARCHS=64 picks it
# anyway); the table names the build measured.
# Build folders: build/bench-linux and build/bench-win32 or build/bench-win64
# (KESTRO_BENCH_NATIVE_BUILD, KESTRO_BENCH_WIN_BUILD); KESTRO_BENCH_DISPLAY=:N
# uses that X display number.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
source scripts/xvfb.sh
if why32=$(scripts/wine.sh can-run 32); then
    arch=32 toolchain=mingw-i686 measured="win32 (32-bit, i686)"
elif why64=$(scripts/wine.sh can-run 64); then
    arch=64 toolchain=mingw-x86_64 measured="win64 (64-bit, x86-64; the 32-bit build cannot run here: $why32)"
else
    echo "bench: Wine cannot run Windows programs here: $why64"
    exit 1
fi
native=${KESTRO_BENCH_NATIVE_BUILD:-$root/build/bench-linux}
win=${KESTRO_BENCH_WIN_BUILD:-$root/build/bench-win$arch}
logs="$win/bench-logs"
jobs=$(nproc)

"$root/scripts/setup.sh" || exit 1
mkdir -p "$native" "$win" "$logs"
rows="$logs/rows.tsv"
: >"$rows"

step() { # log name, command...
    local log="$logs/$1.log"
    shift
    if ! "$@" >"$log" 2>&1; then
        grep -E 'error|Error|warning' "$log" | head -n 30
        echo "bench: '$*' failed (full log: $log)"
        exit 1
    fi
}

echo "== Building (native, then Windows)"
step native-build bash -c "cmake -S '$root' -B '$native' -DCMAKE_BUILD_TYPE=Release -DKESTRO_WERROR=ON -DKESTRO_BENCH=ON &&
    cmake --build '$native' --target interpreter_bench -j$jobs"
step win-build bash -c "cmake -S '$root' -B '$win' -DCMAKE_TOOLCHAIN_FILE='$root/cmake/$toolchain.cmake' \
    -DCMAKE_BUILD_TYPE=Release -DKESTRO_WERROR=ON && cmake --build '$win' --target Tarvask winfr-sim -j$jobs"
# The helper programs come with the Windows build once cmake/windows.cmake includes tools/bench;
# until then they are built on their own beside it.
if [ -d "$win/tools/bench/CMakeFiles" ]; then
    step bench-tools-build cmake --build "$win" --target bench-driver bench-pipe-baseline bench-minimal-window -j"$jobs"
    tools="$win/bin"
else
    step bench-tools-build bash -c "cmake -S '$root/tools/bench' -B '$win/bench-tools' \
        -DCMAKE_TOOLCHAIN_FILE='$root/cmake/$toolchain.cmake' -DCMAKE_BUILD_TYPE=Release &&
        cmake --build '$win/bench-tools' -j$jobs"
    tools="$win/bench-tools/bin"
fi

echo "== Interpreter throughput (native, about half a minute)"
if ! "$native/bench/interpreter_bench" --table="$logs/native.tsv" >"$logs/interpreter_bench.log" 2>&1; then
    tail -n 20 "$logs/interpreter_bench.log"
    echo "bench: the interpreter benchmark failed (log: $logs/interpreter_bench.log)"
    exit 1
fi
cat "$logs/native.tsv" >>"$rows"

echo "== Tarvask.exe under Wine, build $measured (about two minutes)"
prefix="$win/bench-wineprefix"
rm -rf "$prefix"
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ -n "${KESTRO_BENCH_DISPLAY:-}" ]; then
    Xvfb "$KESTRO_BENCH_DISPLAY" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 </dev/null &
    KESTRO_XVFB_PID=$!
    export DISPLAY="$KESTRO_BENCH_DISPLAY"
    sleep 1
else
    start_private_display || exit 1
fi
cleanup() {
    "$root/scripts/wine-prefix.sh" "$arch" "$prefix" stop >/dev/null 2>&1
    kill "$KESTRO_XVFB_PID" 2>/dev/null || true
}
trap cleanup EXIT
step wine-prefix "$root/scripts/wine-prefix.sh" "$arch" "$prefix" start
# The work folder lives on drive D: of the prefix, the source drive being C:.
wine_rows="$logs/wine.tsv"
rm -f "$wine_rows"
# Wine's helper processes keep inherited pipes open: output goes to a file, never into a pipe.
timeout -k 10 600 "$root/scripts/wine.sh" run "$arch" "$tools/bench-driver.exe" \
    --program "Z:$win/bin/Tarvask.exe" --tool "Z:$win/bin/winfr.exe" \
    --baseline "Z:$tools/bench-pipe-baseline.exe" --window "Z:$tools/bench-minimal-window.exe" \
    --work 'D:\kestro-bench' --out "Z:$wine_rows" \
    --runs 5 --startups 5 --idle-seconds 10 --flood-lines 200000 >"$logs/driver.log" 2>&1 </dev/null
if [ ! -s "$wine_rows" ]; then
    tail -n 20 "$logs/driver.log"
    echo "bench: the Wine measurements gave no figures (log: $logs/driver.log)"
    exit 1
fi
cat "$wine_rows" >>"$rows"

echo
echo "Windows figures measured on the $measured build."
awk -F'\t' '
    { n++; for (i = 1; i <= 6; i++) { cell[n, i] = $i; if (length($i) > w[i]) w[i] = length($i) } note[n] = $7 }
    END {
        split("Figure|Value|Baseline (same run)|Ratio|Target|Holds", head, "|")
        for (i = 1; i <= 6; i++) if (length(head[i]) > w[i]) w[i] = length(head[i])
        line = ""
        for (i = 1; i <= 6; i++) line = line sprintf("%-" w[i] "s  ", head[i])
        print line
        line = ""
        for (i = 1; i <= 6; i++) { dash = sprintf("%" w[i] "s", ""); gsub(/ /, "-", dash); line = line dash "  " }
        print line
        for (r = 1; r <= n; r++) {
            line = ""
            for (i = 1; i <= 6; i++) line = line sprintf("%-" w[i] "s  ", cell[r, i])
            print line
        }
        print ""
        print "Notes:"
        for (r = 1; r <= n; r++) if (note[r] != "") printf "  %s: %s\n", cell[r, 1], note[r]
        missed = 0
        for (r = 1; r <= n; r++) {
            if (cell[r, 6] == "no") {
                if (!missed) { print ""; print "Not met:" }
                missed = 1
                ratio = cell[r, 4] == "-" ? "" : sprintf(" (ratio %s)", cell[r, 4])
                printf "  %s: %s%s, target %s. %s\n", cell[r, 1], cell[r, 2], ratio, cell[r, 5], note[r]
            }
        }
        if (!missed) { print ""; print "Every target is met on this run." }
    }' "$rows"
echo
echo "Logs: $logs (Google Benchmark report: interpreter_bench.log, Wine driver: driver.log)"
