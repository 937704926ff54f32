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

# The Debian package: its files, dependencies that resolve, data the desktop accepts, and the
# packaged program starting to its splash.
rm -f "$build"/vistrel_*.deb
(cd "$build" && cpack -G DEB > cpack.log 2>&1) || { cat "$build/cpack.log" >&2; exit 1; }
deb=$(ls "$build"/vistrel_*.deb)
echo "check-install: $(basename "$deb")"
contents=$(dpkg-deb -c "$deb")
for file in usr/bin/vistrel usr/share/applications/vistrel.desktop \
    usr/share/metainfo/org.vistrel.Vistrel.metainfo.xml usr/share/man/man1/vistrel.1 \
    usr/share/doc/vistrel/help.html usr/share/icons/hicolor/scalable/apps/vistrel.svg \
    usr/share/icons/hicolor/16x16/apps/vistrel.png usr/share/icons/hicolor/256x256/apps/vistrel.png; do
    grep -q " \./$file\$" <<< "$contents" || { echo "check-install: $file missing from the package" >&2; exit 1; }
done
depends=$(dpkg-deb -f "$deb" Depends)
for library in libqt6widgets6 libjpeg62-turbo liblcms2-2 libqt6svg6; do
    grep -q "$library" <<< "$depends" || { echo "check-install: no $library in Depends: $depends" >&2; exit 1; }
done
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
# Every dependency, with its version, is met by what tools/deps.sh installed.
printf 'Source: vistrel\n\nPackage: vistrel\nArchitecture: any\n' > "$tree/control"
dpkg-checkbuilddeps -d "$depends" "$tree/control" || {
    echo "check-install: the package's dependencies are not met here: $depends" >&2
    exit 1
}
mkdir "$tree/root"
dpkg-deb -x "$deb" "$tree/root"
desktop-file-validate "$tree/root/usr/share/applications/vistrel.desktop"
appstreamcli validate-tree --no-net "$tree/root" > "$build/appstream.log" 2>&1 || {
    cat "$build/appstream.log" >&2
    exit 1
}
env -u QT_QPA_PLATFORM HOME="$tree" xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
    "$1" > /dev/null 2>&1 &
    program=$!
    timeout 30 xdotool search --sync --onlyvisible --name "^Vistrel\$" > /dev/null
    shown=$?
    kill "$program"
    exit "$shown"' _ "$tree/root/usr/bin/vistrel" || {
    echo "check-install: the packaged program showed no splash within 30 s" >&2
    exit 1
}
echo "check-install: the packaged program starts to its splash"
