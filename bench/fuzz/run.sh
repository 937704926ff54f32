#!/usr/bin/env bash
# bench/run fuzz [SECONDS]: builds the libFuzzer targets with clang (address and undefined
# behaviour sanitizers) in build-fuzz/ and runs each for SECONDS (default 60) from the corpus
# kept under build-fuzz/corpus/ and the seeds under bench/fuzz/seeds/TARGET/, if any. Crashing
# inputs land in build-fuzz/findings/.
# FUZZ_TARGETS="fuzz_a fuzz_b" runs only those.
# Last line: executions <total over all targets> findings <number of targets that failed>.
set -euo pipefail
root=${BENCH_ROOT:-$(cd "$(dirname "$0")/../.." && pwd)}
seconds=${1:-60}
build="$root/build-fuzz"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER=clang++ -DVISTREL_TESTS=OFF -DVISTREL_BENCH=ON -DVISTREL_FUZZ=ON \
    -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer" \
    >/dev/null
targets=${FUZZ_TARGETS:-$(cd "$root/bench/fuzz" && ls fuzz_*.cpp | sed "s/\.cpp$//")}
cmake --build "$build" -j"$(nproc)" --target $targets >/dev/null
mkdir -p "$build/findings"
total=0
failed=0
for t in $targets; do
    mkdir -p "$build/corpus/$t"
    log="$build/$t.log"
    # Hand-made seeds (bench/fuzz/seeds/TARGET/) lead the fuzzer past headers it would rarely
    # guess; what it finds is kept in the build's own corpus only.
    seeds=()
    [ -d "$root/bench/fuzz/seeds/$t" ] && seeds=("$root/bench/fuzz/seeds/$t")
    set +e
    ASAN_OPTIONS=detect_leaks=1 QT_QPA_PLATFORM=offscreen "$build/bench/fuzz/$t" \
        -max_total_time="$seconds" -print_final_stats=1 -max_len=4096 \
        -artifact_prefix="$build/findings/$t-" "$build/corpus/$t" "${seeds[@]}" >"$log" 2>&1
    rc=$?
    set -e
    runs=$(awk '/stat::number_of_executed_units/ { print $2 }' "$log" | tail -1)
    runs=${runs:-0}
    total=$((total + runs))
    status=ok
    if [ $rc -ne 0 ]; then
        status="FINDING (see $log)"
        failed=$((failed + 1))
    fi
    echo "target=$t seconds=$seconds executions=$runs status=$status"
done
echo "executions $total findings $failed"
