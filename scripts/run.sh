#!/usr/bin/env bash
# Sets up this machine, builds Tarvask.exe and the winfr simulator, and starts
# the program under Wine in a prefix of its own that reports Windows 10, with
# the simulator beside it as winfr.exe. On a machine without a display it runs
# on a private X display and writes screenshots instead.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
source scripts/xvfb.sh

"$root/scripts/setup.sh"
cmake --preset win32 >/dev/null
cmake --build --preset win32 -j"$(nproc)" --target Tarvask winfr-sim >/dev/null
bin="$root/build/win32/bin"
prefix="$root/build/win32/run-prefix"
"$root/scripts/wine-prefix.sh" "$prefix" start
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

if [ -n "${DISPLAY:-}" ]; then
    echo "Starting Tarvask.exe on $DISPLAY (the simulator plays winfr; drive D: is a good destination)."
    exec wine "$bin/Tarvask.exe" >/dev/null 2>&1 </dev/null
fi

start_private_display
shots="$root/build/win32/screenshots"
mkdir -p "$shots"
wine "$bin/Tarvask.exe" >/dev/null 2>&1 </dev/null &
app=$!
window=""
for _ in $(seq 1 100); do
    window=$(xdotool search --onlyvisible --name '^Kestro Refindor 2\.0$' 2>/dev/null | head -n 1 || true)
    [ -n "$window" ] && break
    sleep 0.2
done
[ -n "$window" ] || { echo "the main window did not appear"; kill "$app" 2>/dev/null; exit 1; }
sleep 1
xwd -root -silent | convert xwd:- "$shots/run-main.png"
echo "Main window: $shots/run-main.png"
# A whole recovery: press Start (Tab to it from the first control, then Space).
if [ "${KESTRO_DEMO_RECOVERY:-1}" = 1 ]; then
    xdotool key --window "$window" Tab Tab Tab Tab Tab Tab Tab Tab space
    sleep 2
    xwd -root -silent | convert xwd:- "$shots/run-scanning.png"
    echo "Scanning dialog: $shots/run-scanning.png"
    sleep 8
    xwd -root -silent | convert xwd:- "$shots/run-outcome.png"
    echo "Outcome: $shots/run-outcome.png"
fi
kill "$app" 2>/dev/null || true
wineserver -k >/dev/null 2>&1 || true
