#!/usr/bin/env bash
# Sets up this machine, checks the size of every function and file of our code
# (scripts/complexity.sh), builds everything and runs every test: the portable
# core natively (also under AddressSanitizer and UndefinedBehaviorSanitizer,
# and a short run of each fuzz target), then the Windows programs under Wine on
# a private X display with Wine prefixes of their own: the 64-bit build always,
# the 32-bit build too where this machine can run 32-bit programs. Both Windows
# builds are always compiled, the 64-bit one a second time by clang (its core
# tests run under Wine too). Last, the release is made twice from clean clones of
# the last commit, which must give the same bytes. Exits non-zero when anything
# fails, and when no Windows test could run at all.
#   KESTRO_WINE_ARCHS=64   test the 64-bit build only, even where 32-bit would run
#   KESTRO_FUZZ_SECONDS=N  fuzz each target for N seconds (default 20)
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
source scripts/xvfb.sh
jobs=$(nproc)
logs="$root/build/logs"
fuzz_seconds=${KESTRO_FUZZ_SECONDS:-20}
started=$(date +%s)

"$root/scripts/setup.sh" || exit 1
mkdir -p "$logs"

build() { # preset, log name
    if ! { cmake --preset "$1" -DKESTRO_WERROR=ON && cmake --build --preset "$1" -j"$jobs"; } >"$logs/$2.log" 2>&1; then
        grep -E 'error|Error|warning' "$logs/$2.log" | head -n 40
        echo "build of '$1' failed (full log: $logs/$2.log)"
        exit 1
    fi
}

# Seconds since the time given, for the steps whose cost is worth seeing.
took() { echo "   ($(( $(date +%s) - $1 )) s)"; }

# The release made by scripts/release.sh in two clones of the last commit, at paths of different
# lengths and minutes apart: the zips must be the same bytes, their sums must check, and each zip
# must hold the program of its architecture and the README.
release_check() {
    local head tmp dir arch zip kind ok=0
    head=$(git rev-parse HEAD) || return 1
    if [ -n "$(git status --porcelain)" ]; then
        echo "   (made from commit ${head:0:7}: uncommitted changes are not part of it)"
    fi
    tmp=$(mktemp -d "${TMPDIR:-/tmp}/kestro-release.XXXXXX")
    local clones=("$tmp/a" "$tmp/second/clone-b")
    for dir in "${clones[@]}"; do
        if ! { git clone -q --no-checkout "$root" "$dir" && git -C "$dir" checkout -q --detach "$head" &&
               "$dir/scripts/release.sh"; } >"$logs/release-${dir##*/}.log" 2>&1; then
            tail -n 20 "$logs/release-${dir##*/}.log"
            echo "the release in $dir failed (full log: $logs/release-${dir##*/}.log)"
            rm -rf "$tmp"
            return 1
        fi
    done
    local a=${clones[0]}/dist b=${clones[1]}/dist
    if ! cmp -s "$a/SHA256SUMS" "$b/SHA256SUMS"; then
        echo "the two releases differ:"
        diff "$a/SHA256SUMS" "$b/SHA256SUMS"
        ok=1
    fi
    (cd "$b" && sha256sum -c "$a/SHA256SUMS") || ok=1
    for arch in 32 64; do
        zip=$(ls "$b"/KestroRefindor-*-win$arch.zip)
        if [ "$(unzip -Z1 "$zip" | tr '\n' ' ')" != "Tarvask.exe README.txt " ]; then
            echo "${zip##*/} holds: $(unzip -Z1 "$zip" | tr '\n' ' ')"
            ok=1
        fi
        kind=$(unzip -p "$zip" Tarvask.exe | file -b -)
        echo "${zip##*/}: Tarvask.exe: $kind"
        case "$arch:$kind" in
        "32:PE32 executable (GUI) Intel 80386"* | "64:PE32+ executable (GUI) x86-64"*) ;;
        *) echo "not the ${arch}-bit Windows program"; ok=1 ;;
        esac
    done
    cat "$a/SHA256SUMS"
    rm -rf "$tmp"
    return $ok
}

status=0
echo "== Function size and file length (scripts/complexity.sh)"
scripts/complexity.sh || status=1

echo "== Layers of src/ (scripts/check-layers.sh)"
scripts/check-layers.sh || status=1

echo "== Native suite"
build linux build-linux
ctest --preset linux -j"$jobs" --timeout 300 --no-tests=error || status=1

echo "== Native suite under AddressSanitizer + UndefinedBehaviorSanitizer"
build linux-asan build-linux-asan
ctest --preset linux-asan -j"$jobs" --timeout 300 --no-tests=error || status=1

echo "== Fuzzing ($fuzz_seconds s per target)"
scripts/fuzz.sh "$fuzz_seconds" || status=1

echo "== Windows builds (32-bit and 64-bit)"
build win32 build-win32
build win64 build-win64
echo "== The 64-bit Windows build by the second compiler (clang and lld)"
step=$(date +%s)
build win64-clang build-win64-clang
took "$step"

start_private_display || exit 1
tested=()
skipped=()
ran64=0
for arch in 64 32; do
    if ! why=$(scripts/wine.sh can-run "$arch"); then
        skipped+=("win$arch ($why)")
        continue
    fi
    echo "== Windows suite, ${arch}-bit build, under ${arch}-bit Wine"
    [ "$arch" = 64 ] && ran64=1
    if ctest --preset "win$arch" --timeout 600 --no-tests=error; then
        tested+=("win$arch passed")
    else
        tested+=("win$arch FAILED")
        status=1
    fi
    if [ "$arch" = 64 ]; then
        echo "== Core tests of the clang build, under 64-bit Wine"
        step=$(date +%s)
        if ctest --preset win64-clang --timeout 600 --no-tests=error; then
            tested+=("win64-clang core tests passed")
        else
            tested+=("win64-clang core tests FAILED")
            status=1
        fi
        took "$step"
    fi
done

echo "== Reproducible release: scripts/release.sh in two clean clones of the last commit"
step=$(date +%s)
release_check || { echo "FAILED: the release check"; status=1; }
took "$step"

join() { local IFS=,; echo "${*:-none}" | sed 's/,/, /g'; }
summary="Windows suites tested: $(join "${tested[@]}")"
[ "${#skipped[@]}" -gt 0 ] && summary="$summary; skipped: $(join "${skipped[@]}")"
echo "$summary"
if [ "$ran64" -eq 0 ]; then
    echo "FAILED: the 64-bit Windows suite did not run, and it must run on every machine"
    status=1
fi
echo "Total time: $(( $(date +%s) - started )) s"
exit $status
