#!/usr/bin/env bash
# Makes the release people download, from the committed sources, in dist/:
#   KestroRefindor-VERSION-win32.zip and KestroRefindor-VERSION-win64.zip, each holding
#   Tarvask.exe (Release, stripped) and README.txt for users (packaging/README.txt);
#   SHA256SUMS of both zips (check them with `sha256sum -c SHA256SUMS` in dist/).
# VERSION is the one project(... VERSION) in CMakeLists.txt sets. A tree with uncommitted
# changes is refused, and both programs are built in fresh folders, so a zip holds exactly what
# the commit holds. Reproducible: the same commit gives the same bytes in any clone, at any path,
# at any time.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
die() { printf 'release: %s\n' "$*" >&2; exit 1; }

git rev-parse --verify -q HEAD >/dev/null || die "not a git checkout: a release is made from a commit"
if [ -n "$(git status --porcelain)" ]; then
    git status --short >&2
    die "the tree has uncommitted changes; commit or stash them first"
fi
"$root/scripts/setup.sh"

# Every time a release records is the last commit's: GNU ld writes SOURCE_DATE_EPOCH into the PE
# header instead of the link time, and the zips' entries carry it as their date.
SOURCE_DATE_EPOCH=$(git log -1 --format=%ct)
export SOURCE_DATE_EPOCH
# File names the compiler records are made relative to the tree: nothing in the stripped program
# names a source file today, but one assertion or log line with __FILE__ would otherwise carry the
# clone's path into it.
path_flags="-ffile-prefix-map=$root/="
builds="$root/build/release"
dist="$root/dist"
rm -rf "$builds" "$dist"
mkdir -p "$builds" "$dist"

for arch in 32 64; do
    build="$builds/win$arch"
    log="$builds/win$arch.log"
    echo "release: building the ${arch}-bit Tarvask.exe (log: $log)"
    if ! { cmake --preset "win$arch" -B "$build" -DCMAKE_C_FLAGS="$path_flags" -DCMAKE_CXX_FLAGS="$path_flags" &&
           cmake --build "$build" --target Tarvask -j"$(nproc)"; } >"$log" 2>&1; then
        grep -E 'error|Error' "$log" | head -n 40 >&2
        die "the ${arch}-bit build failed (full log: $log)"
    fi
done
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$builds/win64/CMakeCache.txt")
[ -n "$version" ] || die "the build does not name the project's version"

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
zips=()
for arch in 32 64; do
    dir="$stage/win$arch"
    mkdir -p "$dir"
    install -m 0644 "$builds/win$arch/bin/Tarvask.exe" "$dir/Tarvask.exe"
    # Windows line ends, for Notepad of every age.
    sed -e "s/@VERSION@/$version/g" -e 's/$/\r/' "$root/packaging/README.txt" >"$dir/README.txt"
    chmod 0644 "$dir/README.txt"
    touch -d "@$SOURCE_DATE_EPOCH" "$dir/Tarvask.exe" "$dir/README.txt"
    # zip stores local times: in UTC they do not depend on the machine's zone. -X leaves out the
    # owner and the extra time fields; the entries are named one by one, in a fixed order.
    zip_name="KestroRefindor-$version-win$arch.zip"
    (cd "$dir" && TZ=UTC zip -X -q -9 "$dist/$zip_name" Tarvask.exe README.txt)
    zips+=("$zip_name")
done
(cd "$dist" && sha256sum "${zips[@]}" >SHA256SUMS)

echo "release: $(git rev-parse --short HEAD) as version $version in $dist:"
cat "$dist/SHA256SUMS"
