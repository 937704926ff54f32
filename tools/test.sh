#!/usr/bin/env bash
# Installs what the tests need, builds with warnings as errors and runs the whole suite; then
# builds and runs it again with clang, AddressSanitizer and UndefinedBehaviorSanitizer in
# build-asan/, so that both compilers build the program with warnings as errors.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/tools/deps.sh" --test
export QT_QPA_PLATFORM=offscreen
jobs=$(nproc)

# Runs ctest in a build folder with a temporary folder of its own, which must be empty after the
# run: every test removes what it made, names that are not UTF-8 included.
run_suite() {
    local scratch runtime
    scratch=$(mktemp -d)
    chmod 1777 "$scratch" # as /tmp: the tests that run as an unprivileged user work in it
    runtime=$(mktemp -d)   # Qt would make its runtime folder in the temporary one
    (cd "$1" && TMPDIR=$scratch XDG_RUNTIME_DIR=$runtime ctest --output-on-failure -j"$jobs")
    rm -rf "$runtime"
    local left
    left=$(find "$scratch" -mindepth 1 -maxdepth 2 -printf '%P\n' | head -20 || true)
    rm -rf "$scratch"
    if [ -n "$left" ]; then
        echo "test.sh: the tests left this in the temporary folder:" >&2
        printf '%s\n' "$left" | od -c | head -20 >&2
        exit 1
    fi
}

cmake -S "$root" -B "$root/build-test" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVISTREL_WERROR=ON \
    -DVISTREL_BENCH=OFF -DVISTREL_TESTS=ON -DVISTREL_SESSION_TESTS=ON
cmake --build "$root/build-test" -j"$jobs"
run_suite "$root/build-test"
bash "$root/tools/check-install.sh" "$root" "$root/build-test"

if [ "${VISTREL_SKIP_SANITIZERS:-0}" != "1" ]; then
    # A folder configured earlier with another compiler starts afresh.
    if [ -f "$root/build-asan/CMakeCache.txt" ] &&
        ! grep -q '^CMAKE_CXX_COMPILER:.*clang++' "$root/build-asan/CMakeCache.txt"; then
        rm -rf "$root/build-asan"
    fi
    cmake -S "$root" -B "$root/build-asan" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVISTREL_WERROR=ON \
        -DCMAKE_CXX_COMPILER=clang++ -DVISTREL_SANITIZE=ON -DVISTREL_BENCH=OFF -DVISTREL_TESTS=ON \
        -DVISTREL_SESSION_TESTS=ON
    cmake --build "$root/build-asan" -j"$jobs"
    export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
    bash "$root/tests/hardening/leakcheck.sh" "$root/build-asan"
    run_suite "$root/build-asan"
fi
