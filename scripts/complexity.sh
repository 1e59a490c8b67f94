#!/usr/bin/env bash
# Prints every function of our own code (src/, tests/, tools/, bench/, fuzz/) longer than 60 lines
# or with a cyclomatic complexity above 20 (pmccabe's traditional McCabe count: one for each
# decision, each case label and each && or ||) and every file there longer than 600 lines, then
# the longest and the most complex function; exits non-zero when any limit is passed or pmccabe
# cannot read a file.
#   scripts/complexity.sh          the limits and the summary
#   scripts/complexity.sh --all    every function, longest last
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
max_lines=60
max_complexity=20
max_file_lines=600

if ! command -v pmccabe >/dev/null 2>&1; then
    echo "complexity: pmccabe is missing (scripts/setup.sh installs it)" >&2
    exit 2
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mapfile -t files < <(find src tests tools bench fuzz -name '*.cpp' -o -name '*.h' | sort)

# pmccabe reads C++ of an older age: it loses a function whose head ends in noexcept, override or
# final, and without a word every function inside a class named Outer::Inner or a namespace named
# outer::inner; and it takes the apostrophe of a digit separator (60'000) for the start of a
# character literal, which swallows the rest of the file. It measures copies without those words
# and apostrophes and with Outer__Inner for Outer::Inner, line for line the same.
for f in "${files[@]}"; do
    mkdir -p "$work/$(dirname "$f")"
    sed -E -e 's/\bnoexcept(\([^)]*\))?//g; s/\b(override|final)\b//g' \
        -e 's/^(struct|class) ([A-Za-z_][A-Za-z0-9_]*)::([A-Za-z_][A-Za-z0-9_]*)/\1 \2__\3/' \
        -e '/^namespace [A-Za-z0-9_:]+ *\{/ s/::/__/g' \
        -e ":separator" -e "s/([0-9])'([0-9])/\\1\\2/" -e "t separator" "$f" >"$work/$f"
done
(cd "$work" && pmccabe "${files[@]}") >"$work/report" 2>"$work/errors"

status=0
if [ -s "$work/errors" ]; then
    echo "complexity: pmccabe could not read these places, so their functions went unmeasured:"
    cat "$work/errors"
    status=1
fi

# Columns: modified McCabe, traditional McCabe, statements, first line, lines, place: name.
if [ "${1:-}" = "--all" ]; then
    sort -t$'\t' -k5,5n "$work/report" | awk -F'\t' '{printf "%4d lines  complexity %3d  %s\n", $5, $2, $6}'
fi
over=$(awk -F'\t' -v L="$max_lines" -v C="$max_complexity" '$5 > L || $2 > C {
    printf "  %s: %d lines, complexity %d\n", $6, $5, $2 }' "$work/report")
if [ -n "$over" ]; then
    echo "complexity: functions over $max_lines lines or complexity $max_complexity:"
    echo "$over"
    status=1
fi
long=$(wc -l "${files[@]}" | awk -v F="$max_file_lines" '$2 != "total" && $1 > F { printf "  %s: %d lines\n", $2, $1 }')
if [ -n "$long" ]; then
    echo "complexity: files over $max_file_lines lines:"
    echo "$long"
    status=1
fi

count=$(wc -l <"$work/report")
longest=$(sort -t$'\t' -k5,5n "$work/report" | tail -n 1 | awk -F'\t' '{printf "%s (%d lines)", $6, $5}')
complex=$(sort -t$'\t' -k2,2n "$work/report" | tail -n 1 | awk -F'\t' '{printf "%s (complexity %d)", $6, $2}')
largest=$(wc -l "${files[@]}" | grep -v ' total$' | sort -n | tail -n 1 | awk '{printf "%s (%d lines)", $2, $1}')
echo "complexity: $count functions in ${#files[@]} files; longest $longest; most complex $complex; largest file $largest"
[ "$status" -eq 0 ] && echo "complexity: every function and file within the limits"
exit $status
