#!/usr/bin/env bash
# Usage: check-layers.sh SRC_DIR
# Fails when a folder of the program includes one it may not: the arrows of docs/design.md
# ("Which folder may include which") run one way. Each line below names a folder and the
# folders besides itself that it may include.
set -euo pipefail
src=${1:?usage: check-layers.sh SRC_DIR}
allowed=(
    "common:"
    "browse:common"
    "viewer:common"
    "slideshow:common"
    "info:common"
    "print:common viewer"
    "app:common browse viewer slideshow print info"
)
status=0
check() { # FILES... against the folders allowed in $may
    local file inc
    for file in "$@"; do
        while IFS= read -r inc; do
            case " $may " in
            *" ${inc%%/*} "*) ;;
            *)
                echo "$file includes \"$inc\", which its folder may not" >&2
                status=1
                ;;
            esac
        done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([a-z]*\/[^"]*\)".*/\1/p' "$file")
    done
}
for rule in "${allowed[@]}"; do
    folder=${rule%%:*}
    may="$folder ${rule#*:}"
    mapfile -t files < <(find "$src/$folder" -name '*.h' -o -name '*.cpp' | sort)
    [ ${#files[@]} -gt 0 ] || { echo "no sources in $src/$folder" >&2; exit 1; }
    check "${files[@]}"
done
may="app common"
check "$src/main.cpp"
# Every folder of the program has a rule.
for dir in "$src"/*/; do
    name=$(basename "$dir")
    printf '%s\n' "${allowed[@]}" | grep -q "^$name:" || { echo "no rule for src/$name" >&2; status=1; }
done
exit $status
