#!/usr/bin/env bash
# Installs what the tests need, builds with warnings as errors and runs the whole suite; then
# builds and runs it again with AddressSanitizer and UndefinedBehaviorSanitizer in build-asan/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/tools/deps.sh" --test
export QT_QPA_PLATFORM=offscreen
jobs=$(nproc)

cmake -S "$root" -B "$root/build-test" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVISTREL_WERROR=ON -DVISTREL_BENCH=OFF
cmake --build "$root/build-test" -j"$jobs"
(cd "$root/build-test" && ctest --output-on-failure -j"$jobs")
bash "$root/tools/check-install.sh" "$root" "$root/build-test"

if [ "${VISTREL_SKIP_SANITIZERS:-0}" != "1" ]; then
    cmake -S "$root" -B "$root/build-asan" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVISTREL_WERROR=ON \
        -DVISTREL_SANITIZE=ON -DVISTREL_BENCH=OFF
    cmake --build "$root/build-asan" -j"$jobs"
    export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
    bash "$root/tests/hardening/leakcheck.sh" "$root/build-asan"
    (cd "$root/build-asan" && ctest --output-on-failure -j"$jobs")
fi
