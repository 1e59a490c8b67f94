#!/usr/bin/env bash
# Prepares a private Wine prefix for running the program and its tests, then
# starts a persistent wineserver for it. Usage: wine-prefix.sh ARCH PREFIX [start|stop] [DPI]
#  - ARCH 32 makes a 32-bit prefix run by Wine's 32-bit loader, 64 a 64-bit one
#    run by the 64-bit loader (scripts/wine.sh picks them);
#  - reports Windows 10 (Wine's default is Windows 7); the test program
#    win_version7_tests.exe alone is told it runs on Windows 7;
#  - Wine draws its own window frames (no stalls without a window manager);
#  - Wine's fonts are installed in the prefix (MS Sans Serif, Tahoma, Marlett), and a
#    Chinese and Japanese face;
#  - extra drives D: to H: (labels, one CD-ROM) for the drive-list tests;
#  - with DPI given (such as 144), screens of that DPI instead of 96;
#  - with KESTRO_WINFR naming the simulator (winfr-sim.exe), it is put where Windows keeps winfr
#    for the account, as Microsoft Store does: users/<name>/AppData/Local/Microsoft/WindowsApps.
#    The program looks for winfr there and in the system folder only.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
arch=${1:?usage: wine-prefix.sh 32|64 PREFIX [start|stop] [DPI]}
prefix=${2:?usage: wine-prefix.sh 32|64 PREFIX [start|stop] [DPI]}
action=${3:-start}
dpi=${4:-}
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
quiet() { "$@" >/dev/null 2>&1 </dev/null; }
wine() { quiet "$here/wine.sh" run "$arch" "$@"; }

if [ "$action" = stop ]; then
    quiet "$here/wine.sh" server -k || true
    exit 0
fi

if ! why=$("$here/wine.sh" can-run "$arch"); then
    echo "wine-prefix: cannot prepare a ${arch}-bit prefix: $why" >&2
    exit 1
fi

if [ ! -f "$prefix/.kestro-ready" ]; then
    rm -rf "$prefix"
    mkdir -p "$prefix"
    if [ "$arch" = 32 ]; then export WINEARCH=win32; else export WINEARCH=win64; fi
    # A fresh 64-bit prefix reports one harmless error about syswow64\rundll32.exe here.
    wine wineboot.exe -i || true
    quiet "$here/wine.sh" server -w || true
    [ -f "$prefix/system.reg" ] || { echo "wine-prefix: wineboot did not create $prefix" >&2; exit 1; }
    wine reg.exe add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f
    wine reg.exe add 'HKCU\Software\Wine\AppDefaults\win_version7_tests.exe' /v Version /d win7 /f
    wine winecfg.exe -v win10
    # Wine's own fonts (MS Sans Serif, Tahoma, Marlett for the caption buttons)
    # are not found in its data folder here; without them every face falls back
    # to a much wider font and labels no longer fit their places.
    mkdir -p "$prefix/drive_c/windows/Fonts"
    cp -n /usr/share/wine/fonts/* "$prefix/drive_c/windows/Fonts/" 2>/dev/null || true
    # A face with Chinese and Japanese glyphs (fonts-wqy-microhei), so that those languages are
    # drawn and measured with real glyphs.
    cp -n /usr/share/fonts/truetype/wqy/wqy-microhei.ttc "$prefix/drive_c/windows/Fonts/" 2>/dev/null || true
    # Extra drives: more than four roots overflow a 20-character drive-string buffer.
    for d in d e f g h; do
        mkdir -p "$prefix/drives/$d"
        ln -sfn "$prefix/drives/$d" "$prefix/dosdevices/$d:"
    done
    printf 'Data (old)' >"$prefix/drives/d/.windows-label"
    printf 'Rescue' >"$prefix/drives/e/.windows-label"
    printf '1A2B3C4D' >"$prefix/drives/e/.windows-serial"
    wine reg.exe add 'HKLM\Software\Wine\Drives' /v h: /d cdrom /f
    if [ -n "$dpi" ]; then
        wine reg.exe add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f
        wine reg.exe add 'HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts' \
            /v LogPixels /t REG_DWORD /d "$dpi" /f
    fi
    quiet "$here/wine.sh" server -k || true
    touch "$prefix/.kestro-ready"
fi
if [ -n "${KESTRO_WINFR:-}" ]; then
    [ -f "$KESTRO_WINFR" ] || { echo "wine-prefix: KESTRO_WINFR: no such file: $KESTRO_WINFR" >&2; exit 1; }
    installed=0
    for home in "$prefix"/drive_c/users/*/; do
        [ -d "$home/AppData/Local" ] || continue
        mkdir -p "$home/AppData/Local/Microsoft/WindowsApps"
        cp -f "$KESTRO_WINFR" "$home/AppData/Local/Microsoft/WindowsApps/winfr.exe"
        installed=1
    done
    [ "$installed" = 1 ] || { echo "wine-prefix: no account folder in $prefix to hold winfr.exe" >&2; exit 1; }
fi
quiet "$here/wine.sh" server -p || true
wine cmd.exe /c exit || true
