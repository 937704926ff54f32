#!/usr/bin/env bash
# Usage: test_layers.sh CHECK_LAYERS SRC_DIR
# The program's folders include one another only as the layer rules allow (the real sources),
# and the check finds an include against the rules whatever its spelling (rows over a made-up
# tree of sources, one include each).
set -uo pipefail
check=${1:?usage: test_layers.sh CHECK_LAYERS SRC_DIR}
src=${2:?usage: test_layers.sh CHECK_LAYERS SRC_DIR}
failures=0

bash "$check" "$src" || { echo "FAIL: the program's sources break the layer rules"; failures=1; }

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# A tree with one header in every folder, and main.cpp.
fresh() {
    rm -rf "$scratch/src"
    local folder
    for folder in common browse viewer slideshow info print app; do
        mkdir -p "$scratch/src/$folder"
        printf '#pragma once\n' >"$scratch/src/$folder/$folder.h"
    done
    printf '#include "app/app.h"\n' >"$scratch/src/main.cpp"
}

# row NAME EXPECTED(pass|fail) FILE CONTENT
row() {
    fresh
    mkdir -p "$(dirname "$scratch/src/$3")"
    printf '%b\n' "$4" >"$scratch/src/$3"
    local got=pass
    bash "$check" "$scratch/src" 2>/dev/null || got=fail
    if [ "$got" != "$2" ]; then
        echo "FAIL: $1: expected $2, got $got"
        failures=$((failures + 1))
    else
        echo "PASS: $1"
    fi
}

row "its own folder, by the root" pass common/a.h '#include "common/common.h"'
row "its own folder, beside it" pass common/a.h '#include "common.h"'
row "a library header" pass common/a.h '#include <QString>'
row "a header made at build time" pass common/a.cpp '#include "common/version.h"'
row "an allowed folder" pass print/a.h '#include "viewer/viewer.h"'
row "an allowed folder, up a folder" pass app/a.cpp '#include "../browse/browse.h"'
row "a line comment" pass common/a.h '// #include "app/app.h"'

row "quoted" fail common/a.h '#include "app/app.h"'
row "up a folder" fail common/a.h '#include "../app/app.h"'
row "angle brackets" fail common/a.h '#include <app/app.h>'
row "through an allowed folder" fail common/a.h '#include "common/../app/app.h"'
row "beside it, then up" fail common/a.h '#include "./../app/app.h"'
row "doubled slash" fail common/a.h '#include "app//app.h"'
row "spaces inside the directive" fail common/a.h '  #  include   "app/app.h"'
row "no space after include" fail common/a.h '#include"app/app.h"'
row "a continued line" fail common/a.h '#include \\\n"app/app.h"'
row "include_next" fail common/a.h '#include_next <app/app.h>'
row "the digraph of #" fail common/a.h '%:include "app/app.h"'
row "after a block comment" fail common/a.h '/* why */ #include "app/app.h"'
row "a macro" fail common/a.h '#define WHERE "app/app.h"\n#include WHERE'
row "a sibling subsystem" fail browse/a.cpp '#include "../viewer/viewer.h"'
row "print reaching the window" fail print/a.h '#include <app/app.h>'
row "main.cpp reaching a subsystem" fail main.cpp '#include "browse/browse.h"'
row "a folder without a rule" fail extra/a.h '#pragma once'

[ "$failures" -eq 0 ] || { echo "$failures failed"; exit 1; }
