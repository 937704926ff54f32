#!/usr/bin/env bash
# Scale-to-fit and actual-size display of a 6000x4000 JPEG against djpeg on the same file, as
# whole processes (best of several runs), the peak memory above idle, and a 100-megapixel
# scale-to-fit. Last line: ratio <scale-to-fit time / djpeg -scale 1/4 time>.
set -euo pipefail
bin="$BENCH_BUILD/bench/display/bench_display"
command -v djpeg >/dev/null || { echo "djpeg missing: apt-get install libjpeg-turbo-progs" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
runs=${RUNS:-7}

# Best wall time in milliseconds of the command, over $runs runs.
best_ms() {
    local best=999999 start end ms
    for _ in $(seq "$runs"); do
        start=$(date +%s%N)
        "$@" >/dev/null
        end=$(date +%s%N)
        ms=$(( (end - start) / 1000 ))
        (( ms < best )) && best=$ms
    done
    awk -v us="$best" 'BEGIN { printf "%.1f", us / 1000 }'
}

"$bin" make "$work/photo.jpg" 6000 4000
echo "6000x4000 quality 90: $(stat -c %s "$work/photo.jpg") bytes"

fit=$(best_ms "$bin" fit "$work/photo.jpg" 1000 700)
djq=$(best_ms djpeg -scale 1/4 -outfile /dev/null "$work/photo.jpg")
full=$(best_ms "$bin" full "$work/photo.jpg")
djf=$(best_ms djpeg -outfile /dev/null "$work/photo.jpg")

echo "scale-to-fit 1000x700: $fit ms   djpeg -scale 1/4: $djq ms"
echo "  $("$bin" fit "$work/photo.jpg" 1000 700)"
echo "actual size: $full ms   djpeg: $djf ms   ratio $(awk -v a="$full" -v b="$djf" 'BEGIN { printf "%.2f", a / b }')"
echo "  $("$bin" full "$work/photo.jpg")"

cp "$work/photo.jpg" "$work/photo2.jpg"
echo "next picture decoded ahead: $("$bin" step "$work/photo.jpg" "$work/photo2.jpg" 1000 700)"

"$bin" make "$work/big.jpg" 12000 8400
big=$(RUNS=3 best_ms "$bin" fit "$work/big.jpg" 1000 700)
echo "100.8 MP (12000x8400) scale-to-fit 1000x700: $big ms"
echo "  $("$bin" fit "$work/big.jpg" 1000 700)"
echo "100.8 MP actual size: $("$bin" full "$work/big.jpg" || true)"

awk -v a="$fit" -v b="$djq" 'BEGIN { printf "ratio %.2f\n", a / b }'
