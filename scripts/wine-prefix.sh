#!/usr/bin/env bash
# Prepares a private Wine prefix for running the program and its tests, then
# starts a persistent wineserver for it. Usage: wine-prefix.sh PREFIX [start|stop]
#  - reports Windows 10 (Wine's default is Windows 7); the test program
#    win_version7_tests.exe alone is told it runs on Windows 7;
#  - Wine draws its own window frames (no stalls without a window manager);
#  - Wine's fonts are installed in the prefix (MS Sans Serif, Tahoma, Marlett);
#  - extra drives D: to H: (labels, one CD-ROM) for the drive-list tests;
#  - with DPI given (such as 144), screens of that DPI instead of 96.
set -euo pipefail
prefix=${1:?usage: wine-prefix.sh PREFIX [start|stop] [DPI]}
action=${2:-start}
dpi=${3:-}
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
quiet() { "$@" >/dev/null 2>&1 </dev/null; }

if [ "$action" = stop ]; then
    quiet wineserver -k || true
    exit 0
fi

if [ ! -f "$prefix/.kestro-ready" ]; then
    mkdir -p "$prefix"
    quiet wineboot -i
    quiet wineserver -w || true
    quiet wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f
    quiet wine reg add 'HKCU\Software\Wine\AppDefaults\win_version7_tests.exe' /v Version /d win7 /f
    quiet wine winecfg -v win10
    # Wine's own fonts (MS Sans Serif, Tahoma, Marlett for the caption buttons)
    # are not found in its data folder here; without them every face falls back
    # to a much wider font and labels no longer fit their places.
    mkdir -p "$prefix/drive_c/windows/Fonts"
    cp -n /usr/share/wine/fonts/* "$prefix/drive_c/windows/Fonts/" 2>/dev/null || true
    # Extra drives: more than four roots overflow a 20-character drive-string buffer.
    for d in d e f g h; do
        mkdir -p "$prefix/drives/$d"
        ln -sfn "$prefix/drives/$d" "$prefix/dosdevices/$d:"
    done
    printf 'Data (old)' >"$prefix/drives/d/.windows-label"
    printf 'Rescue' >"$prefix/drives/e/.windows-label"
    printf '1A2B3C4D' >"$prefix/drives/e/.windows-serial"
    quiet wine reg add 'HKLM\Software\Wine\Drives' /v h: /d cdrom /f
    if [ -n "$dpi" ]; then
        quiet wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f
        quiet wine reg add 'HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts' \
            /v LogPixels /t REG_DWORD /d "$dpi" /f
    fi
    quiet wineserver -k || true
    touch "$prefix/.kestro-ready"
fi
quiet wineserver -p || true
quiet wine cmd /c exit || true
