#!/usr/bin/env bash
# The one place that runs Wine. Debian's `wine`, `wineboot`, `winecfg` and `winepath` always
# prefer the 32-bit loader when wine32 is installed, and some machines cannot execute 32-bit
# programs at all ("Exec format error"), so nothing calls them: everything goes through here.
#
#   wine.sh can-run ARCH           exit 0 when Windows programs of ARCH (32 or 64) run here;
#                                  otherwise print why on stdout and exit 1
#   wine.sh archs                  the architectures that run here, e.g. "32 64" or "64"
#   wine.sh run ARCH PROGRAM ARGS  run a Windows program (or a Wine tool such as wineboot.exe,
#                                  reg.exe, winecfg.exe) with the loader of that architecture
#   wine.sh server ARGS            Wine's server (one binary serves both architectures)
#
# KESTRO_WINE_ARCHS (such as "64", or "32 64") limits the architectures tried, so the
# 64-bit-only route can be taken on any machine.
set -uo pipefail

loader_of() {
    case "$1" in
    32) echo /usr/lib/wine/wine ;;
    64) echo /usr/lib/wine/wine64 ;;
    *) echo "wine.sh: unknown architecture '$1' (32 or 64)" >&2; return 2 ;;
    esac
}

# Whether ARCH is allowed by KESTRO_WINE_ARCHS and its loader really starts.
can_run() {
    local arch=$1 loader out rc
    loader=$(loader_of "$arch") || return 2
    local allowed=" ${KESTRO_WINE_ARCHS:-32 64} "
    allowed=${allowed//,/ }
    if [[ "$allowed" != *" $arch "* ]]; then
        echo "KESTRO_WINE_ARCHS='${KESTRO_WINE_ARCHS:-}' leaves it out"
        return 1
    fi
    if [ ! -x "$loader" ]; then
        echo "$loader is not installed"
        return 1
    fi
    # Asking the loader for its version starts it without a prefix or a server. bash starts it, not
    # timeout itself: where the kernel refuses the loader's format, timeout's execvp hands the
    # binary to /bin/sh as a script, and all that says is the shell's `"(" unexpected`.
    out=$(timeout 60 bash -c 'exec "$0" --version' "$loader" 2>&1 </dev/null)
    rc=$?
    if [ "$rc" -eq 0 ]; then
        return 0
    fi
    if [[ "$out" == *"Exec format error"* || "$out" == *"Syntax error"* ]]; then
        echo "the kernel refuses ${arch}-bit programs: Exec format error"
    elif [ "$rc" -eq 124 ]; then
        echo "Wine's ${arch}-bit loader did not answer within 60 s"
    else
        echo "this machine cannot run Wine's ${arch}-bit loader: $(printf '%s' "$out" | head -n 1 | sed 's/^.*: //')"
    fi
    return 1
}

command=${1:-}
shift || true
case "$command" in
can-run)
    can_run "${1:?usage: wine.sh can-run 32|64}"
    ;;
archs)
    list=""
    for arch in 32 64; do
        can_run "$arch" >/dev/null && list="$list $arch"
    done
    echo "${list# }"
    ;;
run)
    arch=${1:?usage: wine.sh run 32|64 PROGRAM [ARGS]}
    shift
    loader=$(loader_of "$arch") || exit 2
    export WINELOADER="$loader"
    exec "$loader" "$@"
    ;;
server)
    exec wineserver "$@"
    ;;
*)
    sed -n '2,16p' "$0" | sed 's/^# \{0,1\}//' >&2
    exit 2
    ;;
esac
