#!/usr/bin/env bash
# A slide show stepped tick by tick over 30 pictures of 6000x4000 in scale-to-fit mode, in the
# real main window (offscreen). Last line: median_ms <time from tick to painted picture>.
set -euo pipefail
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
HOME="$home" XDG_CONFIG_HOME="$home/.config" QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} \
    "$BENCH_BUILD/bench/slidestep/bench_slidestep" 2>/dev/null
