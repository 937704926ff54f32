#!/usr/bin/env bash
# Usage: check-layers.sh SRC_DIR
# Fails when a folder of the program includes one it may not: the arrows of docs/design.md
# ("Which folder may include which") run one way. Each line below names a folder and the
# folders besides itself that it may include.
#
# Every include is followed to the file the compiler would take, whatever its spelling:
# "app/x.h", <app/x.h>, "../app/x.h", "common/../app/x.h", "./x.h", doubled slashes, spaces
# inside the directive, a line continued with a backslash. An include whose target is no
# quoted or bracketed name (a macro) cannot be followed and is refused.
set -euo pipefail
src=${1:?usage: check-layers.sh SRC_DIR}
src=$(cd "$src" && pwd -P)
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

# Sets $normal to the path $1 (absolute) with ".", ".." and doubled slashes taken out.
normalise() {
    local part out=() IFS=/
    for part in $1; do
        case $part in
        '' | .) ;;
        ..) [ ${#out[@]} -eq 0 ] || unset 'out[${#out[@]}-1]' ;;
        *) out+=("$part") ;;
        esac
    done
    normal="/${out[*]}"
}

# The include directives of a file, one a line as "FORM TARGET" (FORM: quote, angle or other),
# with continued lines joined and comments before the directive left out.
directives() {
    sed -e ':join' -e '/\\$/{N;s/\\\n//;b join' -e '}' "$1" |
        sed -n -e 's|^[[:space:]]*/\*.*\*/||' \
            -e 's/^[[:space:]]*\(#\|%:\)[[:space:]]*include\(_next\)\{0,1\}[[:space:]]*//p' |
        sed -e 's/^"\([^"]*\)".*/quote \1/' -e 's/^<\([^>]*\)>.*/angle \1/' -e '/^\(quote\|angle\) /!s/^/other /'
}

check() { # FILES... against the folders allowed in $may
    local file form target here candidate found folder places
    for file in "$@"; do
        here=$(dirname "$file")
        while read -r form target; do
            if [ "$form" = other ]; then
                echo "$file includes $target, which cannot be followed" >&2
                status=1
                continue
            fi
            found=
            # The quoted form looks beside the file first; both then look in the source root.
            places=("$src")
            [ "$form" = angle ] || places=("$here" "$src")
            for candidate in "${places[@]}"; do
                if [ -e "$candidate/$target" ]; then
                    normalise "$candidate/$target"
                    found=$normal
                    break
                fi
            done
            # Not found: a system or library header, or a file made at build time.
            [ -n "$found" ] || continue
            case $found in
            "$src"/*/*) folder=${found#"$src"/} folder=${folder%%/*} ;;
            "$src"/*) folder=. ;; # main.cpp's own folder, which nothing includes from
            *) continue ;;
            esac
            case " $may " in
            *" $folder "*) ;;
            *)
                echo "$file includes \"$target\" (src/${found#"$src"/}), which its folder may not" >&2
                status=1
                ;;
            esac
        done < <(directives "$file")
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
