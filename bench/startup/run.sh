#!/usr/bin/env bash
# Start-up of Vistrel under Xvfb: process start to the painted splash, and the splash's
# Continue click to the painted main window whose saved last folder holds 32,767 pictures (and,
# for scale, a folder of one). "Painted" as in bench/peers (bench_paintwatch: the last X DAMAGE
# change of at least 100,000 pixels before 500 ms of quiet). Medians of BENCH_RUNS runs
# (default 7). Last line: splash_ms <process start to painted splash>.
set -euo pipefail
here=$(cd "$(dirname "$0")/../peers" && pwd)
runs=${BENCH_RUNS:-7}
work=$(mktemp -d)
trap 'peers_stop_x; rm -rf "$work"' EXIT
source "$here/common.sh"
peers_install_tools
peers_make_many
mkdir -p "$work/one"
cp "$work/small.jpg" "$work/one/"
peers_start_x
for r in $(seq "$runs"); do
    for f in many one; do
        vistrel_settings "$work/$f" date
        "$watch" --click "$contx,$conty" -- "$vistrel" >>"$work/$f.txt" || echo "run $r failed" >&2
    done
done
fig() { awk -v k="$2" '$1 == k { print $2 }' "$work/$1.txt" | median; }
splash=$(fig many start)
printf '%-40s %8s\n' "case (ms, median of $runs)" vistrel
printf '%-40s %8s\n' "process start to painted splash" "$splash"
printf '%-40s %8s\n' "Continue to main window, 1 file" "$(fig one click)"
printf '%-40s %8s\n' "Continue to main window, 32,767 files" "$(fig many click)"
echo "splash_ms $splash"
