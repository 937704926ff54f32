#!/usr/bin/env bash
# Checks what a user of a fresh machine meets outside the test suite: the README's recipe for one
# test, the fonts the interface and the printed footer resolve to, and the Debian package.
# Usage: check-install.sh ROOT BUILD_DIR (a configured and built tree).
set -euo pipefail
root=$1
build=$2

# The README's one-test recipe, run as written from the project root.
recipe=$(awk '/calls exactly that command/ { found = 1 }
              found && /^```sh$/ { inside = 1; next }
              inside && /^```$/ { exit }
              inside { print }' "$root/README.md")
if [ -z "$recipe" ]; then
    echo "check-install: the README's one-test recipe was not found" >&2
    exit 1
fi
echo "check-install: the README's one-test recipe"
(cd "$root" && bash -euo pipefail -c "$recipe" > "$build/readme-recipe.log" 2>&1) || {
    cat "$build/readme-recipe.log" >&2
    echo "check-install: the README's one-test recipe failed" >&2
    exit 1
}

# A proportional face for the interface, and the footer's "Arial" by Liberation Sans's metrics.
sans=$(fc-match -f '%{family[0]}' sans-serif)
arial=$(fc-match -f '%{family[0]}' Arial)
echo "check-install: sans-serif is $sans, Arial is $arial"
case "$sans" in
*Mono* | *mono*) echo "check-install: the interface would be monospaced" >&2; exit 1 ;;
esac
[ "$arial" = "Liberation Sans" ] || { echo "check-install: Arial is not Liberation Sans" >&2; exit 1; }
