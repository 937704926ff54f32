#!/usr/bin/env bash
# Fill the picture list by date and by name for folders of 32,767 and 100,000 files, against a
# readdir + fstatat + sort baseline on the same folder. Last line: ratio <worst fill / baseline>.
set -euo pipefail
bin="$BENCH_BUILD/bench/fill/bench_fill"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
worst=0
printf '%-8s %10s %10s %10s\n' files by_date_ms by_name_ms baseline_ms
for n in 32767 100000; do
    "$bin" make "$work/f$n" "$n"
    read -r listed date name base < <("$bin" time "$work/f$n")
    printf '%-8s %10s %10s %10s\n' "$listed" "$date" "$name" "$base"
    worst=$(awk -v w="$worst" -v d="$date" -v m="$name" -v b="$base" \
        'BEGIN { r = (d > m ? d : m) / b; print (r > w ? r : w) }')
done
# The sort command on a folder of 300,000: the window's thread is held only for a moment.
"$bin" make "$work/f300000" 300000
echo "sort by date, 300000 files: $("$bin" sort "$work/f300000")"
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
printf 'ratio %.2f\n' "$worst"
