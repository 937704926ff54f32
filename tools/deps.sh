#!/usr/bin/env bash
# Installs what Vistrel needs on Debian 12 (run as root). With --test, also what the test suite
# needs: an X server for screenshots, image and PDF tools, and a print queue.
set -euo pipefail
packages=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools libqt6svg6 libgl-dev
    libjpeg62-turbo-dev libxcb1-dev libxcb-xkb-dev
    fonts-liberation xdg-utils
)
if [ "${1:-}" = "--test" ]; then
    packages+=(xvfb xauth xdotool imagemagick poppler-utils libjpeg-turbo-progs desktop-file-utils
               cups cups-client cups-bsd printer-driver-cups-pdf clang libclang-rt-14-dev)
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
