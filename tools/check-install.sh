#!/usr/bin/env bash
# Checks what a user of a fresh machine meets outside the test suite: each recipe of the README
# run as written, the fonts the interface and the printed footer resolve to, and the Debian package
# that the Install recipe builds and installs.
# Usage: check-install.sh ROOT BUILD_DIR (a configured and built test tree).
set -euo pipefail
root=$1
build=$2

# The first ```sh block after the README line that matches the pattern.
recipe() {
    awk -v pattern="$1" '$0 ~ pattern { found = 1 }
        found && /^```sh$/ { inside = 1; next }
        inside && /^```$/ { exit }
        inside { print }' "$root/README.md"
}
# Runs a recipe in a folder, its output in a log that is shown when it fails.
run_recipe() {
    local name=$1 where=$2 text=$3 log=$build/readme-$1.log
    [ -n "$text" ] || { echo "check-install: the README's $name recipe was not found" >&2; exit 1; }
    echo "check-install: the README's $name recipe"
    local start=$SECONDS
    (cd "$where" && bash -euo pipefail -c "$text" > "$log" 2>&1) || {
        cat "$log" >&2
        echo "check-install: the README's $name recipe failed" >&2
        exit 1
    }
    echo "check-install: the $name recipe took $((SECONDS - start)) s"
}

run_recipe one-test "$root" "$(recipe 'calls exactly that command')"

# The Install and run recipes, in a copy of the project without any build folder, as a fresh
# clone has it.
tree=$(mktemp -d)
trap 'rm -rf "$tree"; apt-get remove -y -qq vistrel > /dev/null 2>&1 || true' EXIT
mkdir "$tree/project"
tar -C "$root" --exclude='./build*' --exclude=./.git -cf - . | tar -C "$tree/project" -xf -
run_recipe install "$tree/project" "$(recipe '^## Install')"
[ "$(vistrel --version)" = "Vistrel 1.0.10" ] || {
    echo "check-install: the installed program gives no version: $(vistrel --version 2>&1)" >&2
    exit 1
}
# tools/run.sh builds into the same folder and starts the program: its splash must show.
run=$(recipe 'Install what is needed, build and start')
[ -n "$run" ] || { echo "check-install: the README's run recipe was not found" >&2; exit 1; }
echo "check-install: the README's run recipe"
(cd "$tree/project" && env -u QT_QPA_PLATFORM HOME="$tree" xvfb-run -a -s "-screen 0 1024x768x24" \
    bash -c '
    setsid bash -c "$1" > "$2" 2>&1 &
    started=$!
    timeout 120 xdotool search --sync --onlyvisible --name "^Vistrel\$" > /dev/null
    shown=$?
    kill -- -"$started" 2> /dev/null || true
    wait "$started" || true
    exit "$shown"' _ "$run" "$build/readme-run.log") || {
    cat "$build/readme-run.log" >&2
    echo "check-install: the README's run recipe showed no splash" >&2
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
# The marks a name's line breaks, tabs and other unshowable characters are shown by (shownname.h):
# the interface's face draws them all, so a label never shows a box.
marks='21b5 2192 fffd'
fc-list ":family=$sans:charset=$marks" family | grep -q . || {
    echo "check-install: $sans lacks one of the marks U+${marks// /, U+}" >&2
    exit 1
}

# The Debian package the Install recipe made: lintian's verdict, its files, dependencies that
# resolve, data the desktop accepts, and the installed program starting to its splash.
deb=$(ls "$tree"/project/build/vistrel_*.deb)
echo "check-install: $(basename "$deb")"
lintian --fail-on error,warning --tag-display-limit 0 "$deb" > "$build/lintian.log" 2>&1 || {
    cat "$build/lintian.log" >&2
    echo "check-install: lintian finds errors or warnings in the package" >&2
    exit 1
}
echo "check-install: lintian: no errors or warnings ($(wc -l < "$build/lintian.log") lines below them)"
contents=$(dpkg-deb -c "$deb")
for file in usr/bin/vistrel usr/share/applications/vistrel.desktop \
    usr/share/metainfo/org.vistrel.Vistrel.metainfo.xml usr/share/man/man1/vistrel.1.gz \
    usr/share/doc/vistrel/copyright usr/share/doc/vistrel/changelog.gz \
    usr/share/doc/vistrel/help.html usr/share/icons/hicolor/scalable/apps/vistrel.svg \
    usr/share/icons/hicolor/16x16/apps/vistrel.png usr/share/icons/hicolor/256x256/apps/vistrel.png; do
    grep -q " \./$file\$" <<< "$contents" || { echo "check-install: $file missing from the package" >&2; exit 1; }
done
depends=$(dpkg-deb -f "$deb" Depends)
for library in libqt6widgets6 libjpeg62-turbo liblcms2-2 libqt6svg6; do
    grep -q "$library" <<< "$depends" || { echo "check-install: no $library in Depends: $depends" >&2; exit 1; }
done
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
# The installed program, as the desktop starts it, shows its splash.
env -u QT_QPA_PLATFORM HOME="$tree" xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
    vistrel > /dev/null 2>&1 &
    program=$!
    timeout 30 xdotool search --sync --onlyvisible --name "^Vistrel\$" > /dev/null
    shown=$?
    kill "$program"
    exit "$shown"' || {
    echo "check-install: the installed program showed no splash within 30 s" >&2
    exit 1
}
echo "check-install: the installed program starts to its splash"
apt-get remove -y -qq vistrel > /dev/null
[ ! -e /usr/bin/vistrel ] || { echo "check-install: apt-get remove left /usr/bin/vistrel" >&2; exit 1; }
echo "check-install: apt-get remove vistrel takes it away"
