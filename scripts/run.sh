#!/usr/bin/env bash
# Sets up this machine, builds Tarvask.exe and the winfr simulator, and starts
# the program under Wine in a prefix of its own that reports Windows 10, with
# the simulator where Windows keeps winfr for the account (AppData\Local\Microsoft\
# WindowsApps\winfr.exe), the one place besides the system folder that the program
# looks. The 32-bit program runs where this
# machine can run 32-bit programs, the 64-bit one otherwise (KESTRO_WINE_ARCHS=64
# picks it anyway). On a machine without a display it runs on a private X
# display and writes screenshots instead.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
source scripts/xvfb.sh

"$root/scripts/setup.sh"
if why32=$(scripts/wine.sh can-run 32); then
    arch=32
    echo "Running the 32-bit program (build/win32)."
elif why64=$(scripts/wine.sh can-run 64); then
    arch=64
    echo "Running the 64-bit program (build/win64): the 32-bit one cannot run here: $why32."
else
    echo "run: Wine cannot run the program here: $why64" >&2
    exit 1
fi
build="$root/build/win$arch"
cmake --preset "win$arch" >/dev/null
cmake --build --preset "win$arch" -j"$(nproc)" --target Tarvask winfr-sim >/dev/null
bin="$build/bin"
prefix="$build/run-prefix"
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export KESTRO_WINFR="$bin/winfr-sim.exe"
# Wine binds its desktop to the display of the session's first program: end an
# earlier session and pick the display before anything starts.
"$root/scripts/wine.sh" server -k >/dev/null 2>&1 || true

if [ -n "${DISPLAY:-}" ]; then
    "$root/scripts/wine-prefix.sh" "$arch" "$prefix" start
    echo "Starting Tarvask.exe on $DISPLAY (the simulator plays winfr; drive D: is a good destination)."
    exec "$root/scripts/wine.sh" run "$arch" "$bin/Tarvask.exe" >/dev/null 2>&1 </dev/null
fi

# A screenshot of the screen with the program's windows laid over it one by one,
# bottom first: on Xvfb, windows that Wine maps over others read back black from
# the root window, while each window reads back whole on its own.
shot() {
    local out=$1 tmp
    tmp=$(mktemp -d)
    xwd -root -silent | convert xwd:- "$tmp/screen.png"
    local layers=()
    while read -r id geometry; do
        xwd -silent -id "$id" 2>/dev/null | convert xwd:- "$tmp/$id.png" 2>/dev/null || continue
        layers+=("$tmp/$id.png" -geometry "+${geometry#*+}" -composite)
    done < <(xwininfo -root -children | grep -i 'tarvask.exe' | grep -v 'has no name' |
        sed -E 's/^ *(0x[0-9a-f]+) .* ([0-9]+x[0-9]+[+-][0-9]+[+-][0-9]+) .*/\1 \2/' | tac)
    convert "$tmp/screen.png" "${layers[@]}" "$out"
    rm -rf "$tmp"
}

start_private_display
"$root/scripts/wine-prefix.sh" "$arch" "$prefix" start
shots="$build/screenshots"
mkdir -p "$shots"
# Slow enough that the demo's screenshots catch the scan under way.
export WINFR_SIM_DELAY_MS="${WINFR_SIM_DELAY_MS:-150}"
"$root/scripts/wine.sh" run "$arch" "$bin/Tarvask.exe" >/dev/null 2>&1 </dev/null &
app=$!
window=""
for _ in $(seq 1 100); do
    window=$(xdotool search --onlyvisible --name '^Kestro Refindor 2\.0$' 2>/dev/null | head -n 1 || true)
    [ -n "$window" ] && break
    sleep 0.2
done
[ -n "$window" ] || { echo "the main window did not appear"; kill "$app" 2>/dev/null; exit 1; }
sleep 1
shot "$shots/run-main.png"
echo "Main window: $shots/run-main.png"
# A whole recovery: press Start (Tab to it from the first control, then Space).
if [ "${KESTRO_DEMO_RECOVERY:-1}" = 1 ]; then
    xdotool key --window "$window" Tab Tab Tab Tab Tab Tab Tab Tab space
    sleep 2
    shot "$shots/run-scanning.png"
    echo "Scanning dialog: $shots/run-scanning.png"
    sleep 8
    shot "$shots/run-outcome.png"
    echo "Outcome: $shots/run-outcome.png"
fi
kill "$app" 2>/dev/null || true
"$root/scripts/wine.sh" server -k >/dev/null 2>&1 || true
