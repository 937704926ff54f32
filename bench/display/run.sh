#!/usr/bin/env bash
# Scale-to-fit and actual-size display of a 6000x4000 JPEG against djpeg on the same file, as
# whole processes, the four commands interleaved and each figure the median of RUNS runs
# (default 9); the peak memory above idle; a 100-megapixel scale-to-fit; and the sharpness of
# the picture after the window grows: the real main window (offscreen) shows a photo-like
# 6000x4000 picture with fine text in a small window, is enlarged in 20 steps, and what it
# then shows is compared (PSNR against ImageMagick's stretch of the original to the same size)
# with what a fresh display at that size shows. BENCH_DISPLAY_BUILD=dir takes the programs
# from another build. Last line: ratio <scale-to-fit time / djpeg -scale 1/4 time>.
set -euo pipefail
build=${BENCH_DISPLAY_BUILD:-$BENCH_BUILD}
bin="$build/bench/display/bench_display"
command -v djpeg >/dev/null || { echo "djpeg missing: apt-get install libjpeg-turbo-progs" >&2; exit 1; }
command -v compare >/dev/null || { echo "compare missing: apt-get install imagemagick" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
runs=${RUNS:-9}
echo "load average at the start: $(cut -d' ' -f1-3 /proc/loadavg)"

# ms COMMAND...: wall time of one run in milliseconds.
ms() {
    local start end
    start=$(date +%s%N)
    "$@" >/dev/null
    end=$(date +%s%N)
    awk -v ns="$((end - start))" 'BEGIN { printf "%.1f\n", ns / 1e6 }'
}
median() {
    sort -g | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

"$bin" make "$work/photo.jpg" 6000 4000
echo "6000x4000 quality 90: $(stat -c %s "$work/photo.jpg") bytes"

for _ in $(seq "$runs"); do
    ms "$bin" fit "$work/photo.jpg" 1000 700 >>"$work/fit"
    ms djpeg -scale 1/4 -outfile /dev/null "$work/photo.jpg" >>"$work/djq"
    ms "$bin" full "$work/photo.jpg" >>"$work/full"
    ms djpeg -outfile /dev/null "$work/photo.jpg" >>"$work/djf"
done
fit=$(median <"$work/fit")
djq=$(median <"$work/djq")
full=$(median <"$work/full")
djf=$(median <"$work/djf")

echo "medians of $runs interleaved runs:"
echo "scale-to-fit 1000x700: $fit ms   djpeg -scale 1/4: $djq ms"
echo "  $("$bin" fit "$work/photo.jpg" 1000 700)"
echo "actual size: $full ms   djpeg: $djf ms   ratio $(awk -v a="$full" -v b="$djf" 'BEGIN { printf "%.2f", a / b }')"
echo "  $("$bin" full "$work/photo.jpg")"

# The same 24-megapixel photo with an Adobe RGB profile: converted once, on the reduced picture.
adobe=/usr/share/color/icc/colord/AdobeRGB1998.icc
if [ -f "$adobe" ]; then
    "$bin" tag "$work/photo.jpg" "$adobe" "$work/tagged.jpg"
    inproc() { "$bin" fit "$1" 1000 700 | sed -n 's/.*in_process_ms \([0-9.]*\).*/\1/p'; }
    for _ in $(seq "$runs"); do
        inproc "$work/photo.jpg" >>"$work/plain"
        inproc "$work/tagged.jpg" >>"$work/tagged"
    done
    plain=$(median <"$work/plain")
    tagged=$(median <"$work/tagged")
    echo "scale-to-fit 1000x700 in process, medians of $runs interleaved runs: without a profile" \
        "$plain ms, with Adobe RGB $tagged ms ($(awk -v a="$tagged" -v b="$plain" \
        'BEGIN { printf "%+.1f", (a / b - 1) * 100 }') %)"
    echo "  the same in one process, stepping between the two (transforms cached), medians ms:" \
        "$("$bin" pair "$work/photo.jpg" "$work/tagged.jpg" 1000 700 "$runs" |
            awk '{ printf "without %s, with %s (%+.1f %%)", $2, $3, ($3 / $2 - 1) * 100 }')"
else
    echo "no Adobe RGB profile ($adobe): apt-get install colord-data" >&2
fi

cp "$work/photo.jpg" "$work/photo2.jpg"
echo "next picture decoded ahead: $("$bin" step "$work/photo.jpg" "$work/photo2.jpg" 1000 700)"

"$bin" make "$work/big.jpg" 12000 8400
for _ in 1 2 3; do ms "$bin" fit "$work/big.jpg" 1000 700 >>"$work/big"; done
echo "100.8 MP (12000x8400) scale-to-fit 1000x700: $(median <"$work/big") ms"
echo "  $("$bin" fit "$work/big.jpg" 1000 700)"
echo "100.8 MP actual size: $("$bin" full "$work/big.jpg" || true)"

# Sharpness after the window grows: fine lines and text show any stretching of a small decode.
mkdir -p "$work/sharp"
convert -seed 7 -size 1500x1000 plasma:fractal -resize '6000x4000!' -attenuate 0.3 +noise Gaussian \
    -fill black -pointsize 64 -draw "text 300,600 'The quick brown fox jumps over the lazy dog 0123456789'" \
    -pointsize 96 -draw "text 300,1400 'Sharp after the window grows?'" \
    -stroke black -strokewidth 3 -draw "line 0,2000 6000,2100" -draw "line 3000,0 3100,4000" \
    -quality 92 "$work/sharp/text.jpg"
HOME="$work" XDG_CONFIG_HOME="$work/.config" QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} \
    "$build/bench/display/bench_sharpness" "$work/sharp/text.jpg" "$work" >"$work/sharp.txt" 2>/dev/null
read -r _ aw ah < <(grep '^area ' "$work/sharp.txt")
convert "$work/sharp/text.jpg" -resize "${aw}x${ah}!" "$work/ref.png"
# compare exits 1 when the pictures differ at all.
psnr() { { compare -metric PSNR "$1" "$work/ref.png" null: 2>&1 || true; } | awk '{ printf "%.1f", $1 }'; }
grown=$(psnr "$work/grown.png")
fresh=$(psnr "$work/fresh.png")
echo "window grown to a ${aw}x${ah} viewing area in 20 steps:"
sed -n 's/^resize_step_median_ms /  resize step, median ms: /p; s/^resize_step_worst_ms /  resize step, worst ms: /p; s/^sharp_after_ms /  picture last replaced, ms after the last step: /p' "$work/sharp.txt"
echo "  PSNR against ImageMagick's stretch: after growing $grown dB, fresh display $fresh dB"
echo "resize_psnr_db $grown"
echo "load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
awk -v a="$fit" -v b="$djq" 'BEGIN { printf "ratio %.2f\n", a / b }'
