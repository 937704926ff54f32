#!/usr/bin/env bash
# Automatic refresh of a 10,000-file folder for 10 s: CPU share of one core (getrusage), with
# change notices and with plain polling, and the delay until a new complete picture is listed.
# Last line: cpu <percent of one core> (the worse of the two modes).
set -euo pipefail
bin="$BENCH_BUILD/bench/refresh/bench_refresh"
make="$BENCH_BUILD/bench/fill/bench_fill"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
worst=0
for mode in notify --no-notify; do
    rm -rf "$work/f"
    "$make" make "$work/f" 10000
    arg=""
    [ "$mode" = "--no-notify" ] && arg="--no-notify"
    read -r cpu latency < <("$bin" "$work/f" 10 $arg)
    echo "mode=$mode cpu_percent=$cpu new_picture_ms=$latency"
    worst=$(awk -v w="$worst" -v c="$cpu" 'BEGIN { print (c > w ? c : w) }')
done
echo "cpu $worst"
