#!/usr/bin/env bash
# Installs what is needed, builds Vistrel in release mode under build/ and starts it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/tools/deps.sh"
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVISTREL_TESTS=OFF -DVISTREL_BENCH=OFF
cmake --build "$root/build" -j"$(nproc)"
exec "$root/build/src/vistrel"
