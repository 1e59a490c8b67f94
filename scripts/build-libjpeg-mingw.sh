#!/usr/bin/env bash
# Builds libjpeg-turbo (static, MinGW-w64) from Debian's source package into the
# cache folder, once per architecture. Usage: build-libjpeg-mingw.sh [i686|x86_64]
# (default i686). Prints the install prefix on stdout.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
arch=${1:-i686}
case "$arch" in
i686 | x86_64) ;;
*) echo "build-libjpeg: unknown architecture '$arch' (i686 or x86_64)" >&2; exit 2 ;;
esac
cache_dir="${KESTRO_CACHE:-$HOME/.cache/kestro-refindor}"
tarball=$(ls "$cache_dir"/libjpeg-turbo-src/libjpeg-turbo_*.orig.tar.gz 2>/dev/null | head -n 1 || true)
[ -n "$tarball" ] || { echo "build-libjpeg: source tarball missing; run scripts/setup.sh" >&2; exit 1; }
version=$(basename "$tarball" | sed 's/libjpeg-turbo_\(.*\)\.orig\.tar\.gz/\1/')
# Built small: the program decodes two small pictures, so the SIMD code would only add to what every
# start maps, and each function in a section of its own lets the linker drop what is never called.
prefix="$cache_dir/libjpeg-turbo-mingw-$arch-$version-small"
if [ -f "$prefix/lib/libjpeg.a" ] && [ -f "$prefix/include/jpeglib.h" ]; then
    echo "$prefix"
    exit 0
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
tar -xzf "$tarball" -C "$work"
src=$(ls -d "$work"/libjpeg-turbo-*/ | head -n 1)
cmake -S "$src" -B "$work/build" -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-$arch.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF -DWITH_SIMD=OFF \
    -DCMAKE_C_FLAGS_RELEASE="-Os -DNDEBUG -ffunction-sections -fdata-sections" >"$work/configure.log" 2>&1 \
    || { tail -n 30 "$work/configure.log" >&2; echo "build-libjpeg: configure failed" >&2; exit 1; }
cmake --build "$work/build" --target jpeg-static -j"$(nproc)" >"$work/build.log" 2>&1 \
    || { tail -n 30 "$work/build.log" >&2; echo "build-libjpeg: build failed" >&2; exit 1; }
mkdir -p "$prefix/lib" "$prefix/include"
cp "$work/build/libjpeg.a" "$prefix/lib/"
cp "$src/jpeglib.h" "$src/jmorecfg.h" "$src/jerror.h" "$work/build/jconfig.h" "$prefix/include/"
echo "$prefix"
