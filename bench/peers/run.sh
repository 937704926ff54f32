#!/usr/bin/env bash
# Vistrel against feh and nsxiv under one Xvfb server, each with a 1000 x 700 picture area:
#   first picture  start to the painted 6000 x 4000 picture scaled to fit, less the same for a
#                  1 x 1 picture (start-up cost apart); Vistrel opens its saved last folder and
#                  shows a picture when its list entry is clicked, so for it this is the click
#                  on the list's first row to the painted picture, less the same for 1 x 1
#   start          feh, nsxiv: process start to the painted 1 x 1 picture; Vistrel: the
#                  splash's Continue click to the painted main window (bench/run startup
#                  times the splash itself)
#   next picture   the next key (feh Right, nsxiv n; Vistrel Down in the picture list, after a
#                  click on its first row) to the painted next picture, median over 29 steps
#   big folder     32,767 small JPEGs: list them sorted and paint the first, less the 1 x 1
#                  start (Vistrel: Continue to the listed window plus the first row's click);
#                  by date against feh --sort mtime, by name against nsxiv -r
# "Painted" is judged the same for all three by bench_paintwatch (see paintwatch.cpp): the last
# screen change of at least 100,000 pixels reported by the X DAMAGE extension before 500 ms of
# quiet. Every figure is the median of BENCH_RUNS runs (default 5), the programs interleaved.
# Last line: ratio <our figure / the better peer's, largest over the cases>.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
runs=${BENCH_RUNS:-5}
work=$(mktemp -d)
trap 'peers_stop_x; rm -rf "$work"' EXIT
source "$here/common.sh"
peers_install_tools

# Data: 30 photo-like pictures (plasma, enlarged, grain, slight blur), a 1 x 1 picture and the
# big folder.
mkdir -p "$work/big" "$work/big1" "$work/one"
seq -w 1 30 | xargs -P "$(nproc)" -I{} convert -seed {} -size 1500x1000 plasma:fractal \
    -resize '6000x4000!' -attenuate 0.4 +noise Gaussian -blur 0x0.7 -quality 90 "$work/big/P{}.jpg"
cp "$work/big/P01.jpg" "$work/big1/"
convert -size 1x1 xc:gray50 -quality 90 "$work/one/one.jpg"
peers_make_many

peers_start_x
# nsxiv's window holds its bar below the picture: measure the bar so its picture area is 700 high.
convert -size 64x64 xc:white "$work/white.png"
nsxiv -g 1000x700+0+0 -s f "$work/white.png" &
npid=$!
sleep 2.5
bar=$(import -window root -crop 1x700+500+0 -depth 8 txt:- | grep -c 'gray(0)\|#000000' || true)
kill "$npid"
wait "$npid" 2>/dev/null || true
# A grab taken before nsxiv painted counts the whole window: fall back on its bar with the
# default font here (18 px).
[ "$bar" -ge 1 ] && [ "$bar" -le 60 ] || bar=18
nsxivg="1000x$((700 + bar))+0+0"
fehg="1000x700+0+0"

res="$work/results"
mkdir -p "$res"
# watch FILE ARGS...: one timed run; appends its output lines to FILE.
watch() {
    local out=$1
    shift
    "$watch" "$@" >>"$res/$out" 2>>"$res/errors" || echo "failed: $*" >>"$res/errors"
}
# Vistrel: Continue on the splash (click1), then a click on the list's first row (click2).
# The program itself, as users start it; VISTREL_PROGRAM=path picks another build.
program=${VISTREL_PROGRAM:-$BENCH_BUILD/src/vistrel}
vis() { # vis FILE FOLDER name|date [paintwatch options]
    local out=$1 folder=$2 order=$3
    shift 3
    vistrel_settings "$folder" "$order"
    watch "$out" --click "$contx,$conty" --click "$listx,$listy" "$@" -- "$program"
}

for r in $(seq "$runs"); do
    watch feh.one -- feh --scale-down -g "$fehg" "$work/one/one.jpg"
    watch nsxiv.one -- nsxiv -g "$nsxivg" "$work/one/one.jpg"
    vis vis.one "$work/one" name
    watch feh.first -- feh --scale-down -g "$fehg" "$work/big1/P01.jpg"
    watch nsxiv.first -- nsxiv -g "$nsxivg" "$work/big1/P01.jpg"
    vis vis.first "$work/big1" name
    watch feh.next --keys 29 Right -- feh --scale-down -g "$fehg" "$work/big"
    watch nsxiv.next --keys 29 n -- nsxiv -g "$nsxivg" "$work"/big/*.jpg
    vis vis.next "$work/big" name --keys 29 Down
    watch feh.many -- feh --scale-down --sort mtime -g "$fehg" "$work/many"
    watch nsxiv.many -- nsxiv -r -g "$nsxivg" "$work/many"
    vis vis.manydate "$work/many" date
    vis vis.manyname "$work/many" name
done
[ -s "$res/errors" ] && sed 's/^/  /' "$res/errors" >&2

# fig FILE KIND: median of one kind of line.
fig() { awk -v k="$2" '$1 == k { print $2 }' "$res/$1" 2>/dev/null | median; }
sub() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.1f", a - b }'; }
feh_one=$(fig feh.one start)
nsxiv_one=$(fig nsxiv.one start)
vis_one=$(fig vis.one click1)
both() { awk '$1 == "click1" { a = $2 } $1 == "click2" { print a + $2 }' "$res/$1" | median; }
declare -A t
t[first.feh]=$(sub "$(fig feh.first start)" "$feh_one")
t[first.nsxiv]=$(sub "$(fig nsxiv.first start)" "$nsxiv_one")
t[first.vis]=$(sub "$(fig vis.first click2)" "$(fig vis.one click2)")
t[next.feh]=$(fig feh.next key)
t[next.nsxiv]=$(fig nsxiv.next key)
t[next.vis]=$(fig vis.next key)
t[date.feh]=$(sub "$(fig feh.many start)" "$feh_one")
t[date.nsxiv]=-
t[date.vis]=$(sub "$(both vis.manydate)" "$vis_one")
t[name.feh]=-
t[name.nsxiv]=$(sub "$(fig nsxiv.many start)" "$nsxiv_one")
t[name.vis]=$(sub "$(both vis.manyname)" "$vis_one")

printf '%-26s %10s %10s %10s %7s\n' "case (ms, median of $runs)" feh nsxiv vistrel ratio
printf '%-26s %10s %10s %10s\n' "start, 1x1 picture" "$feh_one" "$nsxiv_one" "$vis_one"
worst=0
for c in first next date name; do
    case $c in
    first) label="first picture 6000x4000" ;;
    next) label="next picture" ;;
    date) label="32,767 files by date" ;;
    name) label="32,767 files by name" ;;
    esac
    ratio=$(awk -v v="${t[$c.vis]}" -v f="${t[$c.feh]}" -v n="${t[$c.nsxiv]}" 'BEGIN {
        best = -1
        if (f != "-" && f > 0) best = f
        if (n != "-" && n > 0 && (best < 0 || n < best)) best = n
        if (best <= 0) best = 1
        printf "%.2f", v / best }')
    printf '%-26s %10s %10s %10s %7s\n' "$label" "${t[$c.feh]}" "${t[$c.nsxiv]}" "${t[$c.vis]}" "$ratio"
    worst=$(awk -v w="$worst" -v r="$ratio" 'BEGIN { print (r > w ? r : w) }')
done
echo "painted: last DAMAGE change >= 100000 px before 500 ms of quiet; Vistrel from Continue"
printf 'ratio %.2f\n' "$worst"
