#!/bin/sh
# Builds the slide-step benchmark in release mode and runs it; the last line is "median_ms <x>".
# Call from the project root. The pictures live in a temporary folder the program removes.
set -e
root=$(pwd)
build="$root/build-bench"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVISTREL_TESTS=OFF >/dev/null
cmake --build "$build" --target bench_slidestep >/dev/null
QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} "$build/bench/slidestep/bench_slidestep" 2>/dev/null
