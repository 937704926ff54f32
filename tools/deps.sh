#!/usr/bin/env bash
# Installs what Vistrel needs on Debian 12 (run as root). With --test, also what the test suite
# needs: an X server for screenshots, image and PDF tools, a print scheduler that the print
# tests run privately (the system's own printing is left as it is), and FUSE for a slow folder.
set -euo pipefail
packages=(
    build-essential cmake ninja-build pkg-config file
    qt6-base-dev qt6-base-dev-tools libqt6svg6 libgl-dev
    libjpeg62-turbo-dev liblcms2-dev libxcb1-dev libxcb-xkb-dev libcups2-dev
    fonts-liberation fonts-dejavu-core xdg-utils
)
if [ "${1:-}" = "--test" ]; then
    # The session tests run the program on its own X server with a real window manager and send
    # input through XTEST.
    packages+=(xvfb xauth xdotool openbox libx11-dev libxtst-dev)
    packages+=(imagemagick poppler-utils libjpeg-turbo-progs desktop-file-utils
               cups-daemon cups-client cups-filters-core-drivers clang libclang-rt-14-dev)
    packages+=(fontconfig appstream lintian)
    # The format check of the C++ files (tests/format.sh).
    packages+=(clang-format)
    # A real PDF printer driver's description for the print queues, and Ghostscript to turn the
    # PostScript such a queue makes back into PDF.
    packages+=(printer-driver-cups-pdf ghostscript)
    # ICC profiles the colour tests convert from: RGB ones (colord), CMYK and grey (Ghostscript).
    packages+=(colord-data libgs-common)
    # The FUSE folder of the tests (tests/slowfs), a mount whose calls wait or never answer.
    packages+=(python3-fusepy fuse3)
fi
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
