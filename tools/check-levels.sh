#!/usr/bin/env bash
# Fails when a source file includes a header of a higher level than its own, or
# lives in a folder no level names. The levels are the lines of the "levels"
# block in src/README.md, lowest first; the first pattern a folder matches gives
# its level.
set -euo pipefail -f
cd "$(dirname "$0")/.."
mapfile -t levels < <(sed -n '/^```levels$/,/^```$/{/^```/d;s/  .*//;p}' src/README.md)
levelOf() {
    local i pattern
    for i in "${!levels[@]}"; do
        for pattern in ${levels[$i]}; do
            # shellcheck disable=SC2053 # the pattern is a glob on purpose
            [[ $1 == $pattern ]] && { echo "$i"; return; }
        done
    done
    echo none
}
status=0
while read -r file; do
    dir=$(dirname "$file") own=$(levelOf "$(dirname "$file")")
    [ "$own" = none ] && { echo "$file: its folder is in no level of src/README.md" >&2; status=1; continue; }
    while read -r header; do
        for root in "$dir" src formats include; do
            [ -f "$root/$header" ] || continue
            theirs=$(levelOf "$(dirname "$root/$header" | sed 's#/\./#/#g')")
            if [ "$theirs" = none ] || [ "$theirs" -gt "$own" ]; then
                echo "$file (${levels[$own]%% *}) includes $header, a higher level" >&2
                status=1
            fi
            break
        done
    done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$file")
done < <(git ls-files -- include formats src | grep -E '\.(h|cpp)$')
exit $status
