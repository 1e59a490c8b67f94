#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks to build and test the program:
# the MinGW-w64 cross compilers (32- and 64-bit), 64-bit and 32-bit Wine (the
# latter runs only where the machine can execute 32-bit programs; scripts/wine.sh
# decides), Xvfb and the tools the tests use,
# GoogleTest and Google Benchmark, libjpeg-turbo (native) and the libjpeg-turbo
# source package that the Windows build compiles, pmccabe for the function-size
# check, clang with lld and clang-tidy (the fuzz targets, the second Windows
# compiler and the static analyser), zip for the release, and for the language
# tests a Chinese and Japanese font and the German and English locales.
# Idempotent: a second run only
# checks. Needs root (or sudo) the first time.
set -euo pipefail

log() { printf 'setup: %s\n' "$*" >&2; }
die() { printf 'setup: FAILED: %s\n' "$*" >&2; exit 1; }

export DEBIAN_FRONTEND=noninteractive
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null 2>&1 || die "not root and no sudo; run this script as root once"
    SUDO="sudo -E"
fi

cache_dir="${KESTRO_CACHE:-$HOME/.cache/kestro-refindor}"
mkdir -p "$cache_dir"

packages=(
    ca-certificates cmake make g++ ninja-build pkg-config
    g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix mingw-w64-tools
    wine wine64 wine32:i386 fonts-wine
    xvfb xauth xdotool x11-apps x11-utils imagemagick
    googletest libgtest-dev libgmock-dev libbenchmark-dev
    libjpeg62-turbo-dev dpkg-dev
    clang clang-tidy libclang-rt-14-dev llvm lld
    pmccabe zip unzip file
    locales fonts-wqy-microhei
)

missing=()
need_i386=0
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    need_i386=1
fi
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

# A deb-src entry mirroring the binary sources, so `apt-get source` works.
src_list=/etc/apt/sources.list.d/kestro-deb-src.sources
need_src=0
if ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ && ! grep -qs '^deb-src' /etc/apt/sources.list; then
    need_src=1
fi

if [ "${#missing[@]}" -gt 0 ] || [ "$need_i386" -eq 1 ] || [ "$need_src" -eq 1 ]; then
    # Finish anything an interrupted earlier run left half done before adding to it.
    $SUDO dpkg --configure -a >/dev/null 2>&1 || die "dpkg --configure -a failed; the package system needs attention"
    if [ "$need_i386" -eq 1 ]; then
        log "adding the i386 architecture (for wine32)"
        $SUDO dpkg --add-architecture i386
    fi
    if [ "$need_src" -eq 1 ]; then
        log "adding a deb-src entry ($src_list)"
        tmp=$(mktemp)
        if [ -f /etc/apt/sources.list.d/debian.sources ]; then
            sed 's/^Types:.*/Types: deb-src/' /etc/apt/sources.list.d/debian.sources >"$tmp"
        else
            grep -h '^deb ' /etc/apt/sources.list 2>/dev/null | sed 's/^deb /deb-src /' >"$tmp"
            src_list=/etc/apt/sources.list.d/kestro-deb-src.list
        fi
        [ -s "$tmp" ] || die "found no binary apt source to mirror as deb-src"
        $SUDO install -m 0644 "$tmp" "$src_list"
        rm -f "$tmp"
    fi
    log "apt-get update"
    $SUDO apt-get update -qq >/dev/null || die "apt-get update failed"
    if [ "${#missing[@]}" -gt 0 ]; then
        log "installing: ${missing[*]}"
        if ! $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >"$cache_dir/apt.log" 2>&1; then
            tail -n 20 "$cache_dir/apt.log" >&2
            $SUDO dpkg --configure -a >/dev/null 2>&1 || true
            die "apt-get install failed (full log: $cache_dir/apt.log)"
        fi
    fi
fi

# The locales the language tests start the program under (Wine takes the display language from
# the Unix locale); a fresh machine has only C and C.UTF-8.
for name in de_DE en_US; do
    if ! locale -a 2>/dev/null | grep -qix "$name.utf-\?8"; then
        log "adding the locale $name.UTF-8"
        $SUDO localedef -i "$name" -f UTF-8 "$name.UTF-8" || die "localedef $name.UTF-8 failed"
    fi
done

# libjpeg-turbo's source, for the MinGW build (never stored in the repository).
jpeg_dir="$cache_dir/libjpeg-turbo-src"
if ! ls "$jpeg_dir"/libjpeg-turbo_*.orig.tar.gz >/dev/null 2>&1; then
    log "fetching the libjpeg-turbo source package"
    mkdir -p "$jpeg_dir"
    (cd "$jpeg_dir" && apt-get source --download-only -qq libjpeg-turbo >/dev/null 2>&1) \
        || die "apt-get source libjpeg-turbo failed (is the deb-src entry reachable?)"
    ls "$jpeg_dir"/libjpeg-turbo_*.orig.tar.gz >/dev/null 2>&1 || die "libjpeg-turbo source tarball missing after download"
fi
log "ready"
