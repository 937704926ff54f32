#!/usr/bin/env bash
# Start-up of Vistrel under Xvfb: process start to the painted splash, and the splash's
# Continue click to the painted main window whose saved last folder holds 32,767 pictures (and,
# for scale, a folder of one). "Painted" as in bench/peers (bench_paintwatch: the last X DAMAGE
# change of at least 100,000 pixels before 500 ms of quiet). Medians of BENCH_RUNS runs
# (default 7), the two folders interleaved; VISTREL_PROGRAM=path times another build. A figure
# without a single good run stops the benchmark with an error instead of printing no number.
# Last line: splash_ms <process start to painted splash>.
set -euo pipefail
here=$(cd "$(dirname "$0")/../peers" && pwd)
runs=${BENCH_RUNS:-7}
work=$(mktemp -d)
trap 'peers_stop_x; rm -rf "$work"' EXIT
source "$here/common.sh"
peers_install_tools
program=${VISTREL_PROGRAM:-$vistrel}
peers_make_many
mkdir -p "$work/one"
cp "$work/small.jpg" "$work/one/"
peers_start_x
echo "load average at the start: $(cut -d' ' -f1-3 /proc/loadavg)"
for r in $(seq "$runs"); do
    for f in many one; do
        vistrel_settings "$work/$f" date
        "$watch" --click "$contx,$conty" -- "$program" >>"$work/$f.txt" || echo "run $r failed" >&2
    done
done
# fig FILE KIND: the median of one kind of line; no good run is an error.
fig() {
    local m
    m=$(awk -v k="$2" '$1 == k { print $2 }' "$work/$1.txt" | median)
    if [ "$m" = nan ]; then
        echo "no run gave a '$2' figure for $1" >&2
        exit 1
    fi
    echo "$m"
}
splash=$(fig many start)
one=$(fig one click1)
many=$(fig many click1)
printf '%-40s %8s\n' "case (ms, median of $runs)" vistrel
printf '%-40s %8s\n' "process start to painted splash" "$splash"
printf '%-40s %8s\n' "Continue to main window, 1 file" "$one"
printf '%-40s %8s\n' "Continue to main window, 32,767 files" "$many"
echo "load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "splash_ms $splash"
