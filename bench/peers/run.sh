#!/usr/bin/env bash
# Vistrel against feh and nsxiv under one Xvfb server, each with a 1000 x 700 picture area:
#   first picture  start to the painted 6000 x 4000 picture scaled to fit, less the same for a
#                  1 x 1 picture (start-up cost apart); Vistrel opens its saved last folder and
#                  shows a picture when its list entry is clicked, so for it this is the click
#                  on the list's first row to the painted picture, less the same for 1 x 1
#                  and, for Vistrel, the longest time its window left a _NET_WM_PING
#                  unanswered from the click to the painted picture (pinged every 10 ms)
#   start          feh, nsxiv: process start to the painted 1 x 1 picture; Vistrel: the
#                  splash's Continue click to the painted main window (bench/run startup
#                  times the splash itself)
#   next picture   the next key (feh Right, nsxiv n; Vistrel Down in the picture list, after a
#                  click on its first row) to the painted next picture, median over 29 steps
#   held keys      9 next keys 40 ms apart, as a held key repeats, without waiting for any
#                  paint: the last key to the painted last picture; with the processor time
#                  each program used from the first key until 500 ms after that paint
#   big folder     32,767 small JPEGs: list them sorted and paint the first, less the 1 x 1
#                  start (Vistrel: Continue to the listed window plus the first row's click);
#                  by date against feh --sort mtime, by name against nsxiv -r
#   BMP memory     5 BMPs of 6000 x 4000 stepped through scaled to fit: peak resident memory
#                  above the program's size once it had painted the first time
#   100 MP actual  a 10000 x 10000 baseline JPEG shown at its own size: the time to the painted
#                  view less the 1 x 1 start (Vistrel: the list click to the painted view, less
#                  the same for 1 x 1; feh and nsxiv open at 100 %), and the peak resident
#                  memory above each program's own peak with the 1 x 1 picture; for Vistrel
#                  also the longest unanswered ping, as for "first picture"
#   progressive    a 12000 x 8400 progressive photo (100 MP), scaled to fit and at its own size:
#                  the time to the painted view less the 1 x 1 start (Vistrel: the list click,
#                  less the same for 1 x 1 in the same mode), and the peak resident memory above
#                  each program's own peak with the 1 x 1 picture
#   panorama       a 40,000 x 2,000 baseline JPEG scaled to fit, measured the same way (feh
#                  and nsxiv fail to open a picture this wide: their figures read nan)
#   scroll         Vistrel only: a 42,000 x 2,800 baseline JPEG at its own size, 40 clicks in
#                  the horizontal bar's trough (a page right each), each after the previous
#                  paint: the median and worst click to the view at full resolution (the last
#                  paint), the share of the view in the window colour at the first paint after
#                  each click (median and worst), and the processor time of the 40 steps
#   100 MP snake   Vistrel only: the 10000 x 10000 picture of "100 MP actual" at its own size,
#                  40 page clicks snaking over it: pages right in the horizontal trough to the
#                  right edge (as far as whole pages go), one page down in the vertical trough,
#                  pages left to the left edge, one down, and so on; the same figures as
#                  "scroll"
#   decodes        Vistrel only, under strace: how often a picture's file is read through (more
#                  than 512 kB read after one open; a glance at a header reads less) over 10
#                  next keys, each after the previous paint, scaled to fit and at actual size
# "Painted" is judged the same for all three by bench_paintwatch (see paintwatch.cpp): the last
# screen change of at least 100,000 pixels reported by the X DAMAGE extension before 500 ms of
# quiet. Every figure is the median of BENCH_RUNS runs (default 5), the programs interleaved.
# BENCH_CASES picks cases (default "first next held many bmp huge prog pano scroll bigscroll
# decodes"). The load average is printed at
# the start and the end. Last lines: ratio <our figure / the better peer's, largest over the
# timed cases>, then held_keys_ratio <our held-keys figure / the better peer's>.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
runs=${BENCH_RUNS:-5}
cases=" ${BENCH_CASES:-first next held many bmp huge prog pano scroll bigscroll decodes} "
has() { [[ $cases == *" $1 "* ]]; }
work=$(mktemp -d)
trap 'peers_stop_x; rm -rf "$work"' EXIT
source "$here/common.sh"
peers_install_tools

# Data: 30 photo-like pictures (plasma, enlarged, grain, slight blur), a 1 x 1 picture and the
# big folder.
mkdir -p "$work/big" "$work/big1" "$work/one" "$work/bmp"
seq -w 1 30 | xargs -P "$(nproc)" -I{} convert -seed {} -size 1500x1000 plasma:fractal \
    -resize '6000x4000!' -attenuate 0.4 +noise Gaussian -blur 0x0.7 -quality 90 "$work/big/P{}.jpg"
cp "$work/big/P01.jpg" "$work/big1/"
convert -size 1x1 xc:gray50 -quality 90 "$work/one/one.jpg"
if has bmp; then
    for i in 1 2 3 4 5; do convert "$work/big/P0$i.jpg" -type TrueColor "BMP3:$work/bmp/B$i.bmp"; done
fi
if has many; then peers_make_many; fi
if has huge || has bigscroll; then
    mkdir -p "$work/huge"
    convert -size 10000x10000 gradient:red-blue -quality 85 "$work/huge/H.jpg"
fi
if has prog; then
    mkdir -p "$work/prog"
    # Larger than the converter's own limits allow: a photo-like baseline JPEG, made progressive.
    "$BENCH_BUILD/bench/display/bench_display" make "$work/prog/base.jpg" 12000 8400 >/dev/null
    jpegtran -progressive -outfile "$work/prog/Q.jpg" "$work/prog/base.jpg"
    rm "$work/prog/base.jpg"
fi
# panorama W H FILE: a gradient panorama wider than the converter's own limits allow, written
# as rows and encoded as they come.
panorama() {
    python3 -c 'import sys
w, h = int(sys.argv[1]), int(sys.argv[2])
row = bytes(v for x in range(w) for v in (255 - x * 255 // w, 255 - x * 200 // w, x * 128 // w))
out = sys.stdout.buffer
out.write(b"P6 %d %d 255\n" % (w, h))
for _ in range(h):
    out.write(row)' "$1" "$2" | cjpeg -quality 85 >"$3"
}
if has pano; then
    mkdir -p "$work/wide"
    panorama 40000 2000 "$work/wide/V.jpg"
fi
if has scroll; then
    mkdir -p "$work/pano"
    panorama 42000 2800 "$work/pano/W.jpg"
fi
echo "load average at the start: $(cut -d' ' -f1-3 /proc/loadavg)"

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
declare -A decodes
# watch FILE ARGS...: one timed run; appends its output lines to FILE.
watch() {
    local out=$1
    shift
    "$watch" "$@" >>"$res/$out" 2>>"$res/errors" || echo "failed: $*" >>"$res/errors"
}
# Vistrel: Continue on the splash (click1), then a click on the list's first row (click2).
# The program itself, as users start it; VISTREL_PROGRAM=path picks another build, and
# VISTREL_BEFORE=path adds an earlier build, run right after ours in every case ("before").
program=${VISTREL_PROGRAM:-$BENCH_BUILD/src/vistrel}
before=${VISTREL_BEFORE:-}
vis() { # vis FILE FOLDER name|date [paintwatch options]
    local out=$1 folder=$2 order=$3
    shift 3
    vistrel_settings "$folder" "$order" "${scaled:-1}"
    watch "$out" --click "$contx,$conty" --click "$listx,$listy" "$@" -- "$program"
    if [ -n "$before" ]; then
        vistrel_settings "$folder" "$order" "${scaled:-1}"
        watch "old.${out#vis.}" --click "$contx,$conty" --click "$listx,$listy" "$@" -- "$before"
    fi
}

for r in $(seq "$runs"); do
    watch feh.one -- feh --scale-down -g "$fehg" "$work/one/one.jpg"
    watch nsxiv.one -- nsxiv -g "$nsxivg" "$work/one/one.jpg"
    vis vis.one "$work/one" name
    if has first; then
        watch feh.first -- feh --scale-down -g "$fehg" "$work/big1/P01.jpg"
        watch nsxiv.first -- nsxiv -g "$nsxivg" "$work/big1/P01.jpg"
        vis vis.first "$work/big1" name --ping
    fi
    if has next; then
        watch feh.next --keys 29 Right -- feh --scale-down -g "$fehg" "$work/big"
        watch nsxiv.next --keys 29 n -- nsxiv -g "$nsxivg" "$work"/big/*.jpg
        vis vis.next "$work/big" name --keys 29 Down
    fi
    if has held; then
        watch feh.held --burst 9 Right 40 -- feh --scale-down -g "$fehg" "$work/big"
        watch nsxiv.held --burst 9 n 40 -- nsxiv -g "$nsxivg" "$work"/big/*.jpg
        vis vis.held "$work/big" name --burst 9 Down 40
    fi
    if has many; then
        watch feh.many -- feh --scale-down --sort mtime -g "$fehg" "$work/many"
        watch nsxiv.many -- nsxiv -r -g "$nsxivg" "$work/many"
        vis vis.manydate "$work/many" date
        vis vis.manyname "$work/many" name
    fi
    if has huge; then
        watch feh.huge -- feh -g "$fehg" "$work/huge/H.jpg"
        watch nsxiv.huge -- nsxiv -z 100 -g "$nsxivg" "$work/huge/H.jpg"
        scaled=0 vis vis.huge "$work/huge" name --ping
        scaled=0 vis vis.hugeone "$work/one" name
    fi
    if has prog || has pano; then
        scaled=0 vis vis.oneactual "$work/one" name
    fi
    # A decode of seconds may leave the screen quiet for longer than the default spell after
    # the view is cleared: these wait for 3 s of quiet.
    if has prog; then
        watch feh.progfit --quiet 3000 -- feh --scale-down -g "$fehg" "$work/prog/Q.jpg"
        watch nsxiv.progfit --quiet 3000 -- nsxiv -g "$nsxivg" "$work/prog/Q.jpg"
        vis vis.progfit "$work/prog" name --quiet 3000
        watch feh.progfull --quiet 3000 -- feh -g "$fehg" "$work/prog/Q.jpg"
        watch nsxiv.progfull --quiet 3000 -- nsxiv -z 100 -g "$nsxivg" "$work/prog/Q.jpg"
        scaled=0 vis vis.progfull "$work/prog" name --quiet 3000
    fi
    if has pano; then
        watch feh.pano --quiet 3000 -- feh --scale-down -g "$fehg" "$work/wide/V.jpg"
        watch nsxiv.pano --quiet 3000 -- nsxiv -g "$nsxivg" "$work/wide/V.jpg"
        vis vis.pano "$work/wide" name --quiet 3000
    fi
    if has scroll; then
        pages=()
        for _ in $(seq 40); do pages+=(--click "$pagex,$pagey"); done
        # The view's inside (1000 x 700 less the frame) judged for the window colour.
        scaled=0 vis vis.scroll "$work/pano" name \
            --blank "$((areax + 2)),$((areay + 2)),990,690,$wincolour" "${pages[@]}"
    fi
    if has bigscroll; then
        # Right to the right edge, one down, left to the left edge, one down, ...: 40 steps.
        pages=()
        col=0 way=1
        for _ in $(seq 40); do
            if [ $way = 1 ] && [ $col -lt "$across" ]; then
                pages+=(--click "$pagex,$pagey") && col=$((col + 1))
            elif [ $way = -1 ] && [ $col -gt 0 ]; then
                pages+=(--click "$leftx,$lefty") && col=$((col - 1))
            else
                pages+=(--click "$downx,$downy") && way=$((-way))
            fi
        done
        scaled=0 vis vis.bigscroll "$work/huge" name \
            --blank "$((areax + 2)),$((areay + 2)),990,690,$wincolour" "${pages[@]}"
    fi
    if has bmp; then
        watch feh.bmp --keys 4 Right -- feh --scale-down -g "$fehg" "$work/bmp"
        watch nsxiv.bmp --keys 4 n -- nsxiv -g "$nsxivg" "$work"/bmp/*.bmp
        vis vis.bmp "$work/bmp" name --keys 4 Down
    fi
done
# whole_reads TRACE...: files of the big folder read through, in strace -ff logs.
whole_reads() {
    awk 'function flush(f) { for (f in got) if (got[f] > 524288) n++; delete got }
        FNR == 1 { flush() }
        /^openat\(/ && /\/big\/P[0-9]+\.jpg"/ { if ($NF ~ /^[0-9]+$/) got[$NF] = 0; next }
        /^(read|pread64)\(/ { split($0, a, /[(,]/); if ((a[2] in got) && $NF ~ /^[0-9]+$/) got[a[2]] += $NF; next }
        /^close\(/ { split($0, a, /[()]/); if (a[2] in got) { if (got[a[2]] > 524288) n++; delete got[a[2]] } }
        END { flush(); print n + 0 }' "$@"
}
if has decodes; then
    command -v strace >/dev/null || apt-get install -y strace >/dev/null
    for who in vis old; do
        p=$program
        [ $who = old ] && p=$before
        [ -n "$p" ] || continue
        for mode in fit actual; do
            [ $mode = fit ] && scaled=1 || scaled=0
            vistrel_settings "$work/big" name
            sed -i "s/^Toolbar3=.*/Toolbar3=$scaled/" "$XDG_CONFIG_HOME/Vistrel/Vistrel.ini"
            rm -rf "$work/trace" && mkdir "$work/trace"
            "$watch" --click "$contx,$conty" --click "$listx,$listy" --keys 10 Down -- \
                strace -ff -qq -e trace=openat,read,pread64,close -o "$work/trace/t" "$p" \
                >/dev/null 2>>"$res/errors" || true
            decodes[$who.$mode]=$(whole_reads "$work"/trace/t.*)
        done
    done
fi
[ -s "$res/errors" ] && sed 's/^/  /' "$res/errors" >&2

# fig FILE KIND: median of one kind of line.
# A case not run reads as no lines, and its figure as nan.
lines() { cat "$res/$1" 2>/dev/null || true; }
fig() { lines "$1" | awk -v k="$2" '$1 == k { print $2 }' | median; }
sub() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.1f", a - b }'; }
feh_one=$(fig feh.one start)
nsxiv_one=$(fig nsxiv.one start)
vis_one=$(fig vis.one click1)
both() { lines "$1" | awk '$1 == "click1" { a = $2 } $1 == "click2" { print a + $2 }' | median; }
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
t[held.feh]=$(fig feh.held burst)
t[held.nsxiv]=$(fig nsxiv.held burst)
t[held.vis]=$(fig vis.held burst)
old_one=$(fig old.one click1)
t[first.old]=$(sub "$(fig old.first click2)" "$(fig old.one click2)")
t[next.old]=$(fig old.next key)
t[held.old]=$(fig old.held burst)
t[date.old]=$(sub "$(both old.manydate)" "$old_one")
t[name.old]=$(sub "$(both old.manyname)" "$old_one")
# Peak memory in MB above the size once painted, per run, then the median.
above() { lines "$1" | awk '$1 == "idle_kb" { i = $2 } $1 == "peak_kb" { printf "%.1f\n", ($2 - i) / 1024 }' | median; }
# Peak memory in MB above the same program's peak with the 1 x 1 picture.
peak() { lines "$1" | awk '$1 == "peak_kb" { print $2 }' | median; }
over() { awk -v a="$1" -v b="$2" 'BEGIN { if (a == "nan" || b == "nan") print "nan"; else printf "%.1f", (a - b) / 1024 }'; }
t[huge.feh]=$(sub "$(fig feh.huge start)" "$feh_one")
t[huge.nsxiv]=$(sub "$(fig nsxiv.huge start)" "$nsxiv_one")
t[huge.vis]=$(sub "$(fig vis.huge click2)" "$(fig vis.hugeone click2)")
t[huge.old]=$(sub "$(fig old.huge click2)" "$(fig old.hugeone click2)")
t[hugemb.feh]=$(over "$(peak feh.huge)" "$(peak feh.one)")
t[hugemb.nsxiv]=$(over "$(peak nsxiv.huge)" "$(peak nsxiv.one)")
t[hugemb.vis]=$(over "$(peak vis.huge)" "$(peak vis.hugeone)")
t[hugemb.old]=$(over "$(peak old.huge)" "$(peak old.hugeone)")
# The start (feh, nsxiv) or the list click (Vistrel) to the painted picture, less the same for
# 1 x 1 (Vistrel's in the same mode), and the peak memory above the 1 x 1 run's.
for c in progfit progfull pano; do
    base=one
    [ $c = progfull ] && base=oneactual
    t[$c.feh]=$(sub "$(fig feh.$c start)" "$feh_one")
    t[$c.nsxiv]=$(sub "$(fig nsxiv.$c start)" "$nsxiv_one")
    t[$c.vis]=$(sub "$(fig vis.$c click2)" "$(fig vis.$base click2)")
    t[$c.old]=$(sub "$(fig old.$c click2)" "$(fig old.$base click2)")
    t[${c}mb.feh]=$(over "$(peak feh.$c)" "$(peak feh.one)")
    t[${c}mb.nsxiv]=$(over "$(peak nsxiv.$c)" "$(peak nsxiv.one)")
    t[${c}mb.vis]=$(over "$(peak vis.$c)" "$(peak vis.$base)")
    t[${c}mb.old]=$(over "$(peak old.$c)" "$(peak old.$base)")
done
# Each page click of every run (click3 on: click1 is Continue, click2 the list's row).
steps() { lines "$1" | awk '$1 ~ /^click[0-9]+$/ && substr($1, 6) + 0 >= 3 { print $2 }'; }
t[scroll.feh]=-
t[scroll.nsxiv]=-
t[scroll.vis]=$(steps vis.scroll | median)
t[scroll.old]=$(steps old.scroll | median)
t[scrollmax.feh]=-
t[scrollmax.nsxiv]=-
t[scrollmax.vis]=$(steps vis.scroll | sort -g | tail -1)
t[scrollmax.old]=$(steps old.scroll | sort -g | tail -1)
# What is seen after each page click: the share of the view still blank at its first paint.
blanks() { lines "$1" | awk '$1 ~ /^blank[0-9]+$/ && substr($1, 6) + 0 >= 3 { print $2 }'; }
t[blank.feh]=-
t[blank.nsxiv]=-
t[blank.vis]=$(blanks vis.scroll | median)
t[blank.old]=$(blanks old.scroll | median)
t[blankmax.feh]=-
t[blankmax.nsxiv]=-
t[blankmax.vis]=$(blanks vis.scroll | sort -g | tail -1)
t[blankmax.old]=$(blanks old.scroll | sort -g | tail -1)
t[scrollcpu.feh]=-
t[scrollcpu.nsxiv]=-
t[scrollcpu.vis]=$(fig vis.scroll clicks_cpu_ms)
t[scrollcpu.old]=$(fig old.scroll clicks_cpu_ms)
for c in bigscroll; do
    t[$c.vis]=$(steps vis.$c | median)
    t[$c.old]=$(steps old.$c | median)
    t[${c}max.vis]=$(steps vis.$c | sort -g | tail -1)
    t[${c}max.old]=$(steps old.$c | sort -g | tail -1)
    t[${c}blank.vis]=$(blanks vis.$c | median)
    t[${c}blank.old]=$(blanks old.$c | median)
    t[${c}blankmax.vis]=$(blanks vis.$c | sort -g | tail -1)
    t[${c}blankmax.old]=$(blanks old.$c | sort -g | tail -1)
    t[${c}cpu.vis]=$(fig vis.$c clicks_cpu_ms)
    t[${c}cpu.old]=$(fig old.$c clicks_cpu_ms)
    for k in "" max blank blankmax cpu; do
        t[$c$k.feh]=-
        t[$c$k.nsxiv]=-
    done
done
# The longest a ping went unanswered from the list click to the painted picture.
for c in first huge; do
    t[${c}ping.feh]=-
    t[${c}ping.nsxiv]=-
    t[${c}ping.vis]=$(fig vis.$c ping_ms)
    t[${c}ping.old]=$(fig old.$c ping_ms)
done
t[bmp.feh]=$(above feh.bmp)
t[bmp.nsxiv]=$(above nsxiv.bmp)
t[bmp.vis]=$(above vis.bmp)
t[bmp.old]=$(above old.bmp)
# The "before" column appears only with VISTREL_BEFORE.
col() { [ -n "$before" ] && printf ' %10s' "$1"; return 0; }

printf '%-26s %10s %10s %10s %7s%s\n' "case (ms, median of $runs)" feh nsxiv vistrel ratio "$(col before)"
printf '%-26s %10s %10s %10s %7s%s\n' "start, 1x1 picture" "$feh_one" "$nsxiv_one" "$vis_one" "" "$(col "${old_one:-}")"
worst=0
for c in first firstping next held date name bmp huge hugeping hugemb progfit progfitmb progfull progfullmb pano panomb scroll scrollmax blank blankmax scrollcpu bigscroll bigscrollmax bigscrollblank bigscrollblankmax bigscrollcpu; do
    case $c in
    huge) has huge || continue; label="100 MP JPEG at actual size" ;;
    firstping | hugeping) has ${c%ping} || continue; label="  longest unanswered ms" ;;
    hugemb) has huge || continue; label="  peak MB above idle" ;;
    progfit) has prog || continue; label="100 MP progressive, fit" ;;
    progfull) has prog || continue; label="100 MP progressive, actual" ;;
    pano) has pano || continue; label="40000x2000 panorama, fit" ;;
    progfitmb | progfullmb) has prog || continue; label="  peak MB above idle" ;;
    panomb) has pano || continue; label="  peak MB above idle" ;;
    scroll) has scroll || continue; label="scroll 42000 px, median" ;;
    scrollmax) has scroll || continue; label="  worst of 40 steps" ;;
    blank) has scroll || continue; label="  % blank at 1st paint" ;;
    blankmax) has scroll || continue; label="  % blank, worst step" ;;
    scrollcpu) has scroll || continue; label="  processor ms, 40 steps" ;;
    bigscroll) has bigscroll || continue; label="snake 100 MP, median" ;;
    bigscrollmax) has bigscroll || continue; label="  worst of 40 steps" ;;
    bigscrollblank) has bigscroll || continue; label="  % blank at 1st paint" ;;
    bigscrollblankmax) has bigscroll || continue; label="  % blank, worst step" ;;
    bigscrollcpu) has bigscroll || continue; label="  processor ms, 40 steps" ;;
    first) has first || continue; label="first picture 6000x4000" ;;
    next) has next || continue; label="next picture" ;;
    held) has held || continue; label="held keys, 9 x 40 ms" ;;
    date) has many || continue; label="32,767 files by date" ;;
    name) has many || continue; label="32,767 files by name" ;;
    bmp) has bmp || continue; label="5 BMPs 6000x4000, peak MB" ;;
    esac
    ratio=$(awk -v v="${t[$c.vis]}" -v f="${t[$c.feh]}" -v n="${t[$c.nsxiv]}" 'BEGIN {
        best = -1
        if (f != "-" && f > 0) best = f
        if (n != "-" && n > 0 && (best < 0 || n < best)) best = n
        if (best <= 0) best = 1
        if (v == "" || v == "nan" || f == "-" && n == "-") { print "-"; exit }
        printf "%.2f", v / best }')
    printf '%-26s %10s %10s %10s %7s%s\n' "$label" "${t[$c.feh]}" "${t[$c.nsxiv]}" "${t[$c.vis]}" "$ratio" "$(col "${t[$c.old]}")"
    [ "$c" = held ] && held_ratio=$ratio
    case $c in bmp | *ping | huge | hugemb | prog* | pano* | scroll | scrollmax | blank | blankmax | scrollcpu | bigscroll*) continue ;; esac
    worst=$(awk -v w="$worst" -v r="$ratio" 'BEGIN { print (r > w ? r : w) }')
done
if has held; then
    printf '%-26s %10s %10s %10s %7s%s\n' "  processor ms in it" "$(fig feh.held burst_cpu_ms)" \
        "$(fig nsxiv.held burst_cpu_ms)" "$(fig vis.held burst_cpu_ms)" "" "$(col "$(fig old.held burst_cpu_ms)")"
fi
if has decodes; then
    printf '%-26s %10s %10s %10s %7s%s\n' "decodes for 10 steps, fit" - - "${decodes[vis.fit]}" "" "$(col "${decodes[old.fit]:-}")"
    printf '%-26s %10s %10s %10s %7s%s\n' "decodes, 10 steps, actual" - - "${decodes[vis.actual]}" "" "$(col "${decodes[old.actual]:-}")"
fi
echo "painted: last DAMAGE change >= 100000 px before 500 ms of quiet; Vistrel from Continue"
echo "load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
printf 'ratio %.2f\n' "$worst"
printf 'held_keys_ratio %s\n' "${held_ratio:-nan}"
