#!/usr/bin/env bash
# Fails on any include that points up the layers of src/: each folder may include only its own
# files and those of the folders before it in this order:
#   base -> platform -> ui -> job -> runner -> dialogs -> app
# base/ is portable besides (the build checks that no portable file includes <windows.h>).
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root/src"
layers=(base platform ui job runner dialogs app)
rank() {
    local i
    for i in "${!layers[@]}"; do
        [ "${layers[$i]}" = "$1" ] && { echo "$i"; return; }
    done
    echo -1
}
status=0
for folder in */; do
    folder=${folder%/}
    if [ "$(rank "$folder")" -lt 0 ]; then
        echo "layers: src/$folder is in no layer; add it to scripts/check-layers.sh and the README"
        status=1
    fi
done
while IFS=: read -r file line text; do
    own=${file%%/*}
    target=$(sed -E 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"([^/"]+)\/.*/\1/' <<<"$text")
    [ "$target" = "$text" ] && continue
    if [ "$(rank "$target")" -gt "$(rank "$own")" ]; then
        echo "layers: src/$file:$line: $own/ includes $target/, a layer above it"
        status=1
    fi
done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[^"]+/' --include='*.cpp' --include='*.h' .  | sed 's|^\./||')
[ "$status" = 0 ] && echo "layers: every include points down (${layers[*]})"
exit $status
