#!/usr/bin/env bash
# A slide show stepped tick by tick over 30 pictures of 6000x4000 in scale-to-fit mode, in the
# real main window (offscreen), with 250 ms between ticks and back to back. BENCH_RUNS runs
# (default 3) of the program; each figure is the median over the runs of each run's median.
# BENCH_SLIDESTEP=path runs another build of the program. Last line: median_ms <time from
# tick to painted picture, 250 ms apart>.
set -euo pipefail
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
runs=${BENCH_RUNS:-3}
program=${BENCH_SLIDESTEP:-$BENCH_BUILD/bench/slidestep/bench_slidestep}
echo "load average at the start: $(cut -d' ' -f1-3 /proc/loadavg)"
for _ in $(seq "$runs"); do
    HOME="$home" XDG_CONFIG_HOME="$home/.config" QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} \
        "$program" 2>/dev/null | tee -a "$home/out" | grep -v -E '^(back_to_back_)?median_ms ' || true
done
median() {
    sort -g | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}
echo "load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "back_to_back_median_ms $(awk '$1 == "back_to_back_median_ms" { print $2 }' "$home/out" | median)"
echo "median_ms $(awk '$1 == "median_ms" { print $2 }' "$home/out" | median)"
