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
# The Windows figures are taken on every build this machine runs: the 32-bit one and the 64-bit
# one where it can run 32-bit programs, the 64-bit one alone otherwise (KESTRO_WINE_ARCHS=64
# keeps to it anyway, KESTRO_WINE_ARCHS=32 to the 32-bit one); the table names the build of each
# figure.
# Build folders: build/bench-linux and build/bench-win32, build/bench-win64
# (KESTRO_BENCH_NATIVE_BUILD; KESTRO_BENCH_WIN_BUILD when one build is measured); KESTRO_BENCH_DISPLAY=:N
# uses that X display number.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
source scripts/xvfb.sh
archs=$(scripts/wine.sh archs)
if [ -z "$archs" ]; then
    echo "bench: Wine cannot run Windows programs here: $(scripts/wine.sh can-run 64)"
    exit 1
fi
skipped=""
for arch in 32 64; do
    if ! why=$(scripts/wine.sh can-run "$arch"); then
        skipped="$skipped${skipped:+; }win$arch ($why)"
    fi
done
native=${KESTRO_BENCH_NATIVE_BUILD:-$root/build/bench-linux}
logs="$native/bench-logs"
jobs=$(nproc)

"$root/scripts/setup.sh" || exit 1
mkdir -p "$native" "$logs"
rows="$logs/rows.tsv"
: >"$rows"

step() { # log name, command...
    local log="${steplogs:-$logs}/$1.log"
    shift
    if ! "$@" >"$log" 2>&1; then
        grep -E 'error|Error|warning' "$log" | head -n 30
        echo "bench: '$*' failed (full log: $log)"
        exit 1
    fi
}

echo "== Building the native benchmark"
step native-build bash -c "cmake -S '$root' -B '$native' -DCMAKE_BUILD_TYPE=Release -DKESTRO_WERROR=ON -DKESTRO_BENCH=ON &&
    cmake --build '$native' --target interpreter_bench -j$jobs"

echo "== Interpreter throughput (native, about half a minute)"
if ! "$native/bench/interpreter_bench" --table="$logs/native.tsv" >"$logs/interpreter_bench.log" 2>&1; then
    tail -n 20 "$logs/interpreter_bench.log"
    echo "bench: the interpreter benchmark failed (log: $logs/interpreter_bench.log)"
    exit 1
fi
sed 's/^/native\t/' "$logs/native.tsv" >>"$rows"

# The Windows figures of one build: ARCH (32 or 64).
measure_windows() {
    local arch=$1 toolchain name
    case "$arch" in
    32) toolchain=mingw-i686 name="win32" ;;
    64) toolchain=mingw-x86_64 name="win64" ;;
    esac
    local win=$root/build/bench-$name
    if [ -n "${KESTRO_BENCH_WIN_BUILD:-}" ] && [ "$(echo $archs | wc -w)" = 1 ]; then
        win=$KESTRO_BENCH_WIN_BUILD
    fi
    local steplogs="$win/bench-logs"
    mkdir -p "$steplogs"
    echo "== Building $name (Tarvask.exe, the simulator, the helpers)"
    step win-build bash -c "cmake -S '$root' -B '$win' -DCMAKE_TOOLCHAIN_FILE='$root/cmake/$toolchain.cmake' \
        -DCMAKE_BUILD_TYPE=Release -DKESTRO_WERROR=ON && cmake --build '$win' --target Tarvask winfr-sim -j$jobs"
    # The helper programs come with the Windows build once cmake/windows.cmake includes tools/bench;
    # until then they are built on their own beside it.
    local tools
    if [ -d "$win/tools/bench/CMakeFiles" ]; then
        step bench-tools-build cmake --build "$win" --target bench-driver bench-pipe-baseline bench-minimal-window \
            bench-same-controls-window bench-event-queue -j"$jobs"
        tools="$win/bin"
    else
        step bench-tools-build bash -c "cmake -S '$root/tools/bench' -B '$win/bench-tools' \
            -DCMAKE_TOOLCHAIN_FILE='$root/cmake/$toolchain.cmake' -DCMAKE_BUILD_TYPE=Release &&
            cmake --build '$win/bench-tools' -j$jobs"
        tools="$win/bench-tools/bin"
    fi
    echo "== Tarvask.exe under Wine, build $name (about two minutes)"
    local prefix="$win/bench-wineprefix"
    rm -rf "$prefix"
    export WINEPREFIX="$prefix"
    cur_arch=$arch cur_prefix=$prefix
    step wine-prefix env KESTRO_WINFR="$win/bin/winfr-sim.exe" "$root/scripts/wine-prefix.sh" "$arch" "$prefix" start
    # The work folder lives on drive D: of the prefix, the source drive being C:.
    local wine_rows="$steplogs/wine.tsv"
    rm -f "$wine_rows"
    # Wine's helper processes keep inherited pipes open: output goes to a file, never into a pipe.
    timeout -k 10 1500 "$root/scripts/wine.sh" run "$arch" "$tools/bench-driver.exe" \
        --program "Z:$win/bin/Tarvask.exe" --tool "Z:$win/bin/winfr.exe" \
        --baseline "Z:$tools/bench-pipe-baseline.exe" --window "Z:$tools/bench-minimal-window.exe" \
        --controls "Z:$tools/bench-same-controls-window.exe" --work 'D:\kestro-bench' --out "Z:$wine_rows" \
        --runs 9 --startups 9 --idle-seconds 10 --flood-lines 200000 >"$steplogs/driver.log" 2>&1 </dev/null
    if [ -x "$tools/bench-event-queue.exe" ]; then
        timeout -k 10 300 "$root/scripts/wine.sh" run "$arch" "$tools/bench-event-queue.exe" \
            'D:\kestro-bench' "Z:$steplogs/event-queue.tsv" 200000 >"$steplogs/event-queue.log" 2>&1 </dev/null || true
        cat "$steplogs/event-queue.tsv" >>"$wine_rows" 2>/dev/null || true
    fi
    "$root/scripts/wine-prefix.sh" "$arch" "$prefix" stop >/dev/null 2>&1
    cur_prefix=""
    if [ ! -s "$wine_rows" ]; then
        tail -n 20 "$steplogs/driver.log"
        echo "bench: the Wine measurements of $name gave no figures (log: $steplogs/driver.log)"
        exit 1
    fi
    sed "s/^/$name\t/" "$wine_rows" >>"$rows"
    measured="$measured${measured:+, }$name (${win#$root/}/bench-logs)"
}

export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ -n "${KESTRO_BENCH_DISPLAY:-}" ]; then
    Xvfb "$KESTRO_BENCH_DISPLAY" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 </dev/null &
    KESTRO_XVFB_PID=$!
    export DISPLAY="$KESTRO_BENCH_DISPLAY"
    sleep 1
else
    start_private_display || exit 1
fi
cleanup() {
    if [ -n "${cur_prefix:-}" ]; then
        "$root/scripts/wine-prefix.sh" "$cur_arch" "$cur_prefix" stop >/dev/null 2>&1
    fi
    kill "$KESTRO_XVFB_PID" 2>/dev/null || true
}
trap cleanup EXIT
measured=""
for arch in $archs; do
    measure_windows "$arch"
done

echo
echo "Windows figures measured on: $measured."
[ -n "$skipped" ] && echo "Not measured: $skipped."
awk -F'\t' '
    # Columns: build, figure, value, baseline, ratio, target, holds, note.
    { n++; for (i = 1; i <= 7; i++) { cell[n, i] = $i; if (length($i) > w[i]) w[i] = length($i) } note[n] = $8 }
    END {
        split("Build|Figure|Value|Baseline (same run)|Ratio|Target|Holds", head, "|")
        for (i = 1; i <= 7; i++) if (length(head[i]) > w[i]) w[i] = length(head[i])
        line = ""
        for (i = 1; i <= 7; i++) line = line sprintf("%-" w[i] "s  ", head[i])
        print line
        line = ""
        for (i = 1; i <= 7; i++) { dash = sprintf("%" w[i] "s", ""); gsub(/ /, "-", dash); line = line dash "  " }
        print line
        for (r = 1; r <= n; r++) {
            line = ""
            for (i = 1; i <= 7; i++) line = line sprintf("%-" w[i] "s  ", cell[r, i])
            print line
        }
        print ""
        print "Notes:"
        for (r = 1; r <= n; r++) if (note[r] != "") printf "  %s, %s: %s\n", cell[r, 1], cell[r, 2], note[r]
        missed = 0
        for (r = 1; r <= n; r++) {
            if (cell[r, 7] == "no") {
                if (!missed) { print ""; print "Not met:" }
                missed = 1
                ratio = cell[r, 5] == "-" ? "" : sprintf(" (ratio %s)", cell[r, 5])
                printf "  %s, %s: %s%s, target %s. %s\n", cell[r, 1], cell[r, 2], cell[r, 3], ratio, cell[r, 6], note[r]
            }
        }
        if (!missed) { print ""; print "Every target is met on this run." }
    }' "$rows"
echo
echo "Logs: $logs (Google Benchmark report: interpreter_bench.log) and the bench-logs of each build (Wine driver: driver.log)"
