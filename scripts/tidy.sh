#!/usr/bin/env bash
# clang-tidy over every source file of src/, the portable core and the Win32 files alike, with the
# checks in .clang-tidy and the flags the clang build for 64-bit Windows compiles them with (its
# compile database, configured here when missing). Any finding fails the run.
#   scripts/tidy.sh [FILE...]   only these files
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
build=build/win64-clang
if [ ! -f "$build/compile_commands.json" ]; then
    cmake --preset win64-clang >/dev/null || exit 1
fi
# The database without the precompiled header: clang-tidy reads <windows.h> as text, through the
# header the build generated for it, and does not depend on the build having run.
mkdir -p build/tidy
python3 - "$build/compile_commands.json" build/tidy/compile_commands.json "$root/src/" <<'PY'
import json, re, sys
entries = json.load(open(sys.argv[1]))
kept = []
for e in entries:
    if not e["file"].startswith(sys.argv[3]):
        continue
    e["command"] = re.sub(r" -Winvalid-pch| -Xclang -include-pch -Xclang \S+", "", e["command"])
    e["command"] = re.sub(r"-Xclang -include -Xclang (\S+)", r"-include \1", e["command"])
    kept.append(e)
json.dump(kept, open(sys.argv[2], "w"), indent=1)
PY
if [ $# -gt 0 ]; then
    files=("$@")
else
    mapfile -t files < <(find src -name '*.cpp' | sort)
fi
out=$(mktemp)
trap 'rm -f "$out"' EXIT
printf '%s\n' "${files[@]}" |
    xargs -P "$(nproc)" -I{} sh -c 'clang-tidy --quiet -p build/tidy "$1" 2>/dev/null || echo "tidy-failed: $1"' _ {} >"$out"
grep -E 'warning:|error:|tidy-failed:' "$out" | sort -u
if grep -q 'tidy-failed:' "$out"; then
    echo "clang-tidy: findings in $(grep -c 'tidy-failed:' "$out") of ${#files[@]} files"
    exit 1
fi
echo "clang-tidy: ${#files[@]} files, no findings"
