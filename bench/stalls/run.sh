#!/usr/bin/env bash
# How long the main window does not answer while storage is slow or dead: folders made slow by
# the LD_PRELOAD shim of the tests (every opendir under a prefix waits VISTREL_SLOW_MS; -1 never
# answers). The window is pinged (_NET_WM_PING, bench_stallwatch) every 10 ms while each case
# runs and the longest wait for an answer is its figure. Cases, each interleaved with the same
# steps on a healthy folder as the baseline: choosing a sub-folder in the tree that takes 5 s to
# list, one that never answers (after which Escape must end the program), and `vistrel FOLDER`
# into a 5 s folder (timed from Continue: the splash does not answer while the main window is
# made), Auto Refresh switched on in a folder whose every opening takes 1 s (12 s watched),
# clicking a picture on a FUSE mount (tests/slowfs) whose every lookup takes 3 s, and Ctrl+P
# while the print scheduler (a private one, as the print tests use) is stopped (kill -STOP; 10 s
# watched, so a longer freeze shows as about 10 s), and Save Settings and Delete while every
# lookup of a file in the settings folder or the folder shown takes 3 s (the shim's file
# slowing, switched on once the program is up; 10 s and 12 s watched), Auto Refresh in a
# folder in date order whose every file lookup takes 1 s while two pictures are copied in (14 s
# watched), the start with every lookup in the settings folder taking 5 s from the start (timed
# from Continue, as `vistrel FOLDER` is), and choosing a picture still being copied in, paused
# after 300 bytes, with Auto Refresh off (a delete question asked for it is said). Two cases
# give other figures: choosing a sub-folder of a FUSE mount that answers one listing at a time,
# 10 s each (the time until its pictures are listed; a program that lists it twice takes 20 s),
# and choosing a folder that never answers when no thread can be made (run as an unprivileged
# user whose limit of processes, ulimit -u, is then set to the threads it has): the longest wait
# for an answer, after which Escape must end the program. And 50 Down presses, 100 ms apart,
# in the list of a folder of 60 pictures whose every file lookup never answers (switched on once
# the list is filled; 9 s watched): besides the longest wait, the program's threads at the end
# above their count before the presses (/proc/PID/task), and whether Escape still ends the
# program (the same presses on a healthy folder beside it). And Exit 2 s into a save with every
# lookup in the settings folder taking 3 s (exitsave: the time from Exit to the end of the
# program, and whether the outcome was told and the file is right).
# BASELINE_PROGRAM=path runs another build beside this one (each case alternates the two);
# BENCH_RUNS runs (default 3); BENCH_CASES picks cases (default "choose open refresh click print
# save delete arrive boot copy list nothread downs exitsave"). Last line: choose_slow_ms <ours>.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
runs=${BENCH_RUNS:-3}
work=$(mktemp -d)
shim="$BENCH_BUILD/bench/stalls/libbench_slowfolders.so"
watch="$BENCH_BUILD/bench/stalls/bench_stallwatch"
ours="$BENCH_BUILD/src/vistrel"
programs=("$ours")
[ -n "${BASELINE_PROGRAM:-}" ] && programs+=("$BASELINE_PROGRAM")
cases=${BENCH_CASES:-choose open refresh click print save delete arrive boot copy list nothread downs exitsave}
xpid=''
fusepid=''
listpid=''
runas=()
cleanup() {
    [ -n "$xpid" ] && kill "$xpid" 2>/dev/null
    if [ -n "$fusepid" ]; then
        echo 0 >"$work/fuse.delay"
        umount -l "$work/mount" 2>/dev/null || true
        kill "$fusepid" 2>/dev/null || true
    fi
    if [ -n "$listpid" ]; then
        echo 0 >"$work/list.delay"
        umount -l "$work/lmount" 2>/dev/null || true
        kill "$listpid" 2>/dev/null || true
    fi
    [ -f "$work/cups/cupsd.pid" ] && kill -CONT "$(cat "$work/cups/cupsd.pid")" 2>/dev/null
    [ -d "$work/cups" ] && sh "$BENCH_ROOT/tests/print/private-cups.sh" stop "$work/cups"
    rm -rf "$work"
}
trap cleanup EXIT
source "$here/../peers/common.sh"
for tool in "$shim" "$watch"; do
    [ -x "$tool" ] || [ -f "$tool" ] || { echo "missing $tool " >&2; exit 1; }
done
mkdir -p "$work/slowfolder"
convert -size 32x24 plasma: -quality 80 "$work/slowfolder/a.jpg"
for d in fast slow dead; do
    mkdir -p "$work/$d/sub"
    cp "$work/slowfolder/a.jpg" "$work/$d/"
    cp "$work/slowfolder/a.jpg" "$work/$d/sub/"
done
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
xpid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$work/display")"
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_RUNTIME_DIR="$work/run"
mkdir -p "$XDG_CONFIG_HOME/Vistrel" "$work/home/Documents" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"

settings() {
    printf '[Settings]\nLastDir=%s\nMainLeft=0\nMainTop=0\nMainWidth=800\nMainHeight=600\nToolbar1=0\nToolbar2=1\nToolbar3=1\n' "$1" \
        >"$XDG_CONFIG_HOME/Vistrel/Vistrel.ini"
}
# window NAME: the id of the first visible window of that title, waiting up to 20 s.
window() {
    local id=''
    for _ in $(seq 200); do
        id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -1) && [ -n "$id" ] && break
        sleep 0.1
    done
    echo "$id"
}
# start PROGRAM PREFIX MS [ARG]: starts the program with folders under PREFIX slowed by MS, gets
# past the splash, and leaves the main window's id in $main.
start() {
    local program=$1 prefix=$2 ms=$3
    shift 3
    VISTREL_SLOW_PREFIX="$prefix" VISTREL_SLOW_MS="$ms" LD_PRELOAD="$shim" "${runas[@]}" \
        "$program" "$@" >/dev/null 2>>"$work/program.err" &
    pid=$!
    local splash
    splash=$(window "Vistrel")
    [ -n "$splash" ] && { xdotool key --window "$splash" Return || true; }
    local pressed
    pressed=$(date +%s%N)
    main=''
    for _ in $(seq 400); do
        main=$(xdotool search --onlyvisible --name "Vistrel v" 2>/dev/null | head -1) && [ -n "$main" ] && break
        sleep 0.05
    done
    shown_ms=$((($(date +%s%N) - pressed) / 1000000))
}
# firstPicture: the picture list takes the focus and its first picture is chosen.
firstPicture() {
    xdotool key --window "$main" Tab || true
    sleep 0.3
    xdotool key --window "$main" Home || true
    sleep 0.5
}
stop() {
    # A program that ended by itself (its figure is then the whole time watched) is said so.
    kill -0 "$pid" 2>/dev/null || echo "the program had ended by itself (case ${FUNCNAME[1]})" >&2
    kill -9 "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
}
# choose PROGRAM KIND MS: the tree shows the folder KIND chosen; Right opens it and Down chooses
# its one sub-folder, which is slowed by MS.
choose() {
    local program=$1 sub=$2 ms=$3
    settings "$work/$sub"
    start "$program" "$work/$sub/sub" "$ms"
    sleep 1
    "$watch" "$main" 7000 >"$work/once" &
    local w=$!
    sleep 0.3
    xdotool key --window "$main" Right || true
    sleep 0.2
    xdotool key --window "$main" Down || true
    wait "$w" || true
    awk '$1 == "longest_ms" { print $2 }' "$work/once"
    if [ "$sub" = dead ]; then
        # Escape in the tree ends the program at once, dead folder or not.
        xdotool key --window "$main" Escape || true
        for _ in $(seq 20); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
        kill -0 "$pid" 2>/dev/null && echo "$program" >>"$work/escape.txt"
    fi
    stop
}
# open PROGRAM MS: `vistrel FOLDER` into a folder slowed by MS: the time from Continue to the
# main window on the screen (the splash does not answer while the main window is made), plus the
# longest wait for an answer once it is there.
open() {
    local program=$1 ms=$2
    settings "$work/fast"
    start "$program" "$work/slowfolder" "$ms" "$work/slowfolder"
    "$watch" "$main" 7000 >"$work/once" || true
    echo $((shown_ms + $(awk '$1 == "longest_ms" { print $2 }' "$work/once")))
    stop
}
# boot PROGRAM MS: every lookup in the settings folder takes MS from the start: the time from
# Continue to the main window on the screen, plus the longest wait for an answer once it is there.
boot() {
    local program=$1 ms=$2
    settings "$work/fast"
    VISTREL_SLOW_FILE_PREFIX="$XDG_CONFIG_HOME/Vistrel" VISTREL_SLOW_FILE_MS="$ms" \
        start "$program" /nothing 0
    "$watch" "$main" 7000 >"$work/once" || true
    echo $((shown_ms + $(awk '$1 == "longest_ms" { print $2 }' "$work/once")))
    stop
}
# refresh PROGRAM MS: Auto Refresh switched on (View menu) in the folder shown, whose every
# opening takes MS; the longest wait over 12 s.
refresh() {
    local program=$1 ms=$2
    settings "$work/refreshed"
    start "$program" "$work/refreshed" "$ms"
    sleep $((ms / 1000 * 2 + 1))
    "$watch" "$main" 12000 >"$work/once" &
    local w=$!
    sleep 0.3
    # Keys with modifiers through the X server's input (XTEST) to the focused window: a sent
    # event does not reach the menu bar's shortcuts.
    xdotool windowfocus "$main" 2>/dev/null || true
    xdotool key --delay 200 alt+v Down Down Down Return || true
    wait "$w" || true
    awk '$1 == "longest_ms" { print $2 }' "$work/once"
    stop
}
# click PROGRAM MS: the folder shown is on the FUSE mount, listed while it answers at once; then
# every lookup takes MS and the second picture of the list is chosen by a key.
click() {
    local program=$1 ms=$2
    echo 0 >"$work/fuse.delay"
    settings "$work/mount"
    start "$program" /nothing 0
    sleep 2
    firstPicture
    echo "$ms" >"$work/fuse.delay"
    "$watch" "$main" 8000 >"$work/once" &
    local w=$!
    sleep 0.3
    xdotool key --window "$main" Down || true
    wait "$w" || true
    awk '$1 == "longest_ms" { print $2 }' "$work/once"
    echo 0 >"$work/fuse.delay"
    stop
}
# printing PROGRAM STOPPED: Ctrl+P with a picture shown; with STOPPED=1 the print scheduler is
# stopped first. The longest wait of the main window over 10 s.
printing() {
    local program=$1 stopped=$2
    settings "$work/fast"
    CUPS_SERVER="$work/cups/cups.sock" CUPS_SERVERROOT="$work/cups/etc" start "$program" /nothing 0
    sleep 1
    firstPicture
    [ "$stopped" = 1 ] && kill -STOP "$(cat "$work/cups/cupsd.pid")"
    "$watch" "$main" 10000 >"$work/once" &
    local w=$!
    sleep 0.3
    xdotool windowfocus "$main" 2>/dev/null || true
    xdotool key ctrl+p || true
    wait "$w" || true
    awk '$1 == "longest_ms" { print $2 }' "$work/once"
    [ "$stopped" = 1 ] && kill -CONT "$(cat "$work/cups/cupsd.pid")"
    stop
}
# stalled PROGRAM PREFIX MS: starts the program with every lookup of a file under PREFIX slowed
# by MS from the moment $work/stall exists, and gives its main window the keyboard focus.
stalled() {
    rm -f "$work/stall"
    VISTREL_SLOW_FILE_PREFIX="$2" VISTREL_SLOW_FILE_MS="$3" VISTREL_SLOW_FILE_WHEN="$work/stall" \
        start "$1" /nothing 0
    sleep 1
    main=$(xdotool search --onlyvisible --name "Vistrel v" 2>/dev/null | tail -1)
    xdotool windowfocus --sync "$main" 2>/dev/null || true
}
# saving PROGRAM MS: Ctrl+S with the settings folder stalled at MS per lookup.
saving() {
    settings "$work/fast"
    stalled "$1" "$XDG_CONFIG_HOME/Vistrel" "$2"
    touch "$work/stall"
    "$watch" "$main" 10000 >"$work/once" &
    local w=$!
    sleep 0.3
    xdotool key --window "$main" ctrl+s
    wait "$w" || true
    awk '$1 == "longest_ms" { print $2 }' "$work/once"
    stop
}
# exitsave PROGRAM MS: Ctrl+S after sorting by date, then Exit 2 s later, with the settings folder
# stalled at MS per lookup. Prints the ms from Exit to the program's end; a told outcome (a
# message box, answered with Return) or its absence, and a settings file that is neither the old
# one nor the new one, go to exitsave.txt.
exitsave() {
    settings "$work/fast"
    local ini="$XDG_CONFIG_HOME/Vistrel/Vistrel.ini"
    stalled "$1" "$XDG_CONFIG_HOME/Vistrel" "$2"
    touch "$work/stall"
    xdotool key --window "$main" ctrl+d
    xdotool key --window "$main" ctrl+s
    sleep 2
    local t0 told=no
    t0=$(date +%s%N)
    xdotool key --window "$main" alt+f Up Return || true
    for _ in $(seq 300); do
        kill -0 "$pid" 2>/dev/null || break
        if xdotool search --onlyvisible --name '^ERROR!$' >/dev/null 2>&1; then
            told=yes
            xdotool key Return || true
        fi
        sleep 0.1
    done
    echo $((($(date +%s%N) - t0) / 1000000))
    rm -f "$work/stall"
    local file=other
    grep -q '^Toolbar1=1' "$ini" && file=new
    grep -q '^Toolbar2=1' "$ini" && grep -q "^LastDir=$work/fast" "$ini" && file=old
    echo "$1 told=$told file=$file" >>"$work/exitsave.txt"
    kill -9 "$pid" 2>/dev/null || true # it has ended by itself, unless it did not end
    wait "$pid" 2>/dev/null || true
}
# deleting PROGRAM MS: Ctrl+X on the first picture, Yes, with the folder shown stalled at MS
# per lookup.
deleting() {
    rm -rf "$work/del"
    mkdir -p "$work/del"
    for n in a b c; do cp "$work/slowfolder/a.jpg" "$work/del/$n.jpg"; done
    settings "$work/del"
    stalled "$1" "$work/del" "$2"
    firstPicture
    touch "$work/stall"
    "$watch" "$main" 12000 >"$work/once" &
    local w=$!
    sleep 0.3
    xdotool key --window "$main" ctrl+x
    sleep 0.8
    xdotool key Return
    wait "$w" || true
    awk '$1 == "longest_ms" { print $2 }' "$work/once"
    stop
}
# arriving PROGRAM MS: the folder shown in date order with Auto Refresh on, every lookup of its
# files taking MS; two pictures are copied in while it is watched.
arriving() {
    rm -rf "$work/arr"
    mkdir -p "$work/arr"
    for n in a b c; do cp "$work/slowfolder/a.jpg" "$work/arr/$n.jpg"; done
    settings "$work/arr"
    stalled "$1" "$work/arr" "$2"
    xdotool key ctrl+d
    sleep 0.3
    xdotool key --delay 200 alt+v Down Down Down Return || true
    sleep 1
    touch "$work/stall"
    "$watch" "$main" 14000 >"$work/once" &
    local w=$!
    sleep 1
    cp "$work/slowfolder/a.jpg" "$work/arr/d.jpg"
    sleep 6
    cp "$work/slowfolder/a.jpg" "$work/arr/e.jpg"
    wait "$w" || true
    awk '$1 == "longest_ms" { print $2 }' "$work/once"
    stop
}
# copying PROGRAM PAUSE: the last picture of the folder shown is a copy that wrote 300 bytes and
# then pauses PAUSE seconds (0: written whole) while it is chosen by a key (Down from the first),
# Auto Refresh off; the longest wait over 6 s, which sees the copy end. A delete question asked
# meanwhile is counted in asked.txt.
copying() {
    local program=$1 pause=$2
    rm -rf "$work/copy"
    mkdir -p "$work/copy"
    cp "$work/slowfolder/a.jpg" "$work/copy/a.jpg"
    { head -c 300 "$work/big.jpg"; sleep "$pause"; tail -c +301 "$work/big.jpg"; } >"$work/copy/z.jpg" &
    local writer=$!
    settings "$work/copy"
    start "$program" /nothing 0
    sleep 1
    firstPicture
    "$watch" "$main" 6000 >"$work/once" &
    local w=$!
    sleep 0.3
    xdotool key --window "$main" Down || true
    sleep 1
    xdotool search --onlyvisible --name "^DELETE FILE\$" >/dev/null 2>&1 && echo "$program $pause" >>"$work/asked.txt"
    wait "$w" || true
    wait "$writer" || true
    awk '$1 == "longest_ms" { print $2 }' "$work/once"
    stop
}
# listing PROGRAM: the folder shown is the root of a FUSE mount that answers one listing at a
# time; its sub-folder takes 10 s to list. Right and Down choose it: the time from Down to the
# end of the last listing of it the program asked for (a program that lists it twice waits for
# both). A picture chosen in the list afterwards must be read, else the program is named in
# unlisted.txt.
listing() {
    local program=$1
    echo 0 >"$work/list.delay"
    settings "$work/lmount"
    start "$program" /nothing 0
    sleep 2
    : >"$work/list.log"
    echo 10000 >"$work/list.delay"
    xdotool key --window "$main" Right || true
    sleep 0.3
    local pressed
    pressed=$(date +%s.%N)
    xdotool key --window "$main" Down || true
    sleep 25
    echo 0 >"$work/list.delay"
    firstPicture
    sleep 1
    grep -q ' open /sub/' "$work/list.log" || echo "$program" >>"$work/unlisted.txt"
    awk -v t="$pressed" '$2 == "opendir" && $3 == "/sub" && $1 > t { last = $1 }
        END { printf "%d\n", last ? (last - t) * 1000 : -1 }' "$work/list.log"
    stop
}
# nothread PROGRAM: run as nobody, whose limit of processes is set, once the main window is up,
# to the threads the program has; Right and Down then choose, one after the other, eight
# sub-folders that never answer (more than the threads the program has kept). The longest wait
# for an answer over 4 s; then Escape must end the program.
nothread() {
    local program=$1
    local home="$work/nobody/home"
    printf '[Settings]\nLastDir=%s\nMainLeft=0\nMainTop=0\nMainWidth=800\nMainHeight=600\n' \
        "$work/threadless" >"$home/.config/Vistrel/Vistrel.ini"
    chown nobody "$home/.config/Vistrel/Vistrel.ini"
    runas=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
    HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_RUNTIME_DIR="$work/nobody/run" \
        start "$program" "$work/threadless/sub" -1
    runas=()
    sleep 1
    local threads
    threads=$(ls "/proc/$pid/task" | wc -l)
    # Set by the same user: lowering its own limit needs no privilege.
    setpriv --reuid=nobody --regid=nogroup --clear-groups prlimit --pid "$pid" \
        --nproc="$threads:$threads"
    "$watch" "$main" 4000 >"$work/once" &
    local w=$!
    sleep 0.3
    xdotool key --window "$main" Right || true
    for _ in $(seq 8); do
        sleep 0.2
        xdotool key --window "$main" Down || true
    done
    wait "$w" || true
    awk '$1 == "longest_ms" { print $2 }' "$work/once"
    echo "threads with no more to be had: $threads, then $(ls "/proc/$pid/task" | wc -l)" >&2
    xdotool key --window "$main" Escape || true
    for _ in $(seq 20); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -0 "$pid" 2>/dev/null && echo "$program" >>"$work/nothread-escape.txt"
    kill -9 "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
}
# downing PROGRAM MS: the list of a folder of 60 pictures has the focus and its first picture
# chosen; then every lookup of a file there takes MS (-1: never answers) and Down is pressed 50
# times, 100 ms apart. Prints the longest wait over 9 s; the threads above those before the
# presses, counted 1 s after the last, go to the file named by $4. Escape must then end it.
downing() {
    local program=$1 ms=$2 counts=$3
    rm -rf "$work/downs"
    mkdir -p "$work/downs"
    for n in $(seq -w 60); do cp "$work/slowfolder/a.jpg" "$work/downs/p$n.jpg"; done
    settings "$work/downs"
    stalled "$program" "$work/downs" "$ms"
    firstPicture
    sleep 0.5
    local before
    before=$(ls "/proc/$pid/task" | wc -l)
    touch "$work/stall"
    "$watch" "$main" 9000 >"$work/once" &
    local w=$!
    sleep 0.3
    # shellcheck disable=SC2046
    xdotool key --window "$main" --delay 100 $(printf 'Down %.0s' $(seq 50)) || true
    sleep 1
    echo $(($(ls "/proc/$pid/task" | wc -l) - before)) >>"$counts"
    wait "$w" || true
    awk '$1 == "longest_ms" { print $2 }' "$work/once"
    # The window may be gone before the key's release is sent.
    xdotool key --window "$main" Escape 2>/dev/null || true
    for _ in $(seq 20); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -0 "$pid" 2>/dev/null && echo "$program (50 Down presses, $ms ms)" >>"$work/escape.txt"
    # Kept from stop's notice: the program is meant to have ended here.
    kill -9 "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
}
has() { case " $cases " in *" $1 "*) return 0 ;; esac; return 1; }

median() {
    sort -g | awk '{ v[NR] = $1 } END { if (NR == 0) print "nan"; else if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

mkdir -p "$work/refreshed"
cp "$work/slowfolder/a.jpg" "$work/refreshed/"
if has click; then
    mkdir -p "$work/mounted" "$work/mount"
    cp "$work/slowfolder/a.jpg" "$work/mounted/a.jpg"
    convert -size 40x30 plasma: -quality 80 "$work/mounted/b.jpg"
    echo 0 >"$work/fuse.delay"
    /usr/bin/python3 "$BENCH_ROOT/tests/slowfs/slowfs.py" "$work/mounted" "$work/mount" \
        --calls getattr --control "$work/fuse.delay" 2>/dev/null &
    fusepid=$!
    for _ in $(seq 50); do mountpoint -q "$work/mount" && break; sleep 0.1; done
    mountpoint -q "$work/mount" || { echo "the FUSE folder did not mount" >&2; exit 1; }
fi
if has list; then
    mkdir -p "$work/listed/sub" "$work/lmount"
    cp "$work/slowfolder/a.jpg" "$work/listed/"
    for n in a b c; do cp "$work/slowfolder/a.jpg" "$work/listed/sub/$n.jpg"; done
    echo 0 >"$work/list.delay"
    /usr/bin/python3 "$BENCH_ROOT/tests/slowfs/slowfs.py" "$work/listed" "$work/lmount" \
        --calls opendir --under /sub --serial --control "$work/list.delay" \
        --log "$work/list.log" 2>/dev/null &
    listpid=$!
    for _ in $(seq 50); do mountpoint -q "$work/lmount" && break; sleep 0.1; done
    mountpoint -q "$work/lmount" || { echo "the FUSE folder did not mount" >&2; exit 1; }
fi
if has nothread; then
    # The unprivileged run reaches its own settings and the folders through $work.
    chmod 755 "$work"
    mkdir -p "$work/nobody/home/.config/Vistrel" "$work/nobody/run" "$work/threadless/sub"
    for n in 1 2 3 4 5 6 7; do mkdir -p "$work/threadless/sub$n"; done
    chown -R nobody "$work/nobody"
    chmod 700 "$work/nobody/run"
fi
has copy && convert -size 640x480 plasma: -quality 90 "$work/big.jpg"
if has print; then
    sh "$BENCH_ROOT/tests/print/private-cups.sh" start "$work/cups" >/dev/null
    sh "$BENCH_ROOT/tests/print/private-cups.sh" queue "$work/cups" benchpdf A4
    CUPS_SERVER="$work/cups/cups.sock" CUPS_SERVERROOT="$work/cups/etc" lpadmin -d benchpdf
fi

echo "load average at the start: $(cut -d' ' -f1-3 /proc/loadavg)"
: >"$work/escape.txt"
for r in $(seq "$runs"); do
    for i in "${!programs[@]}"; do
        p=${programs[$i]}
        if has choose; then
            choose "$p" fast 0 >>"$work/healthy.$i"
            choose "$p" slow 5000 >>"$work/slow.$i"
            choose "$p" fast 0 >>"$work/healthy.$i"
            choose "$p" dead -1 >>"$work/dead.$i"
        fi
        if has open; then
            open "$p" 0 >>"$work/openhealthy.$i"
            open "$p" 5000 >>"$work/openslow.$i"
        fi
        if has boot; then
            boot "$p" 0 >>"$work/boothealthy.$i"
            boot "$p" 5000 >>"$work/bootslow.$i"
        fi
        if has refresh; then
            refresh "$p" 0 >>"$work/refreshhealthy.$i"
            refresh "$p" 1000 >>"$work/refreshslow.$i"
        fi
        if has click; then
            click "$p" 0 >>"$work/clickhealthy.$i"
            click "$p" 3000 >>"$work/clickslow.$i"
        fi
        if has print; then
            printing "$p" 0 >>"$work/printhealthy.$i"
            printing "$p" 1 >>"$work/printstopped.$i"
        fi
        if has save; then
            saving "$p" 0 >>"$work/savehealthy.$i"
            saving "$p" 3000 >>"$work/saveslow.$i"
        fi
        if has delete; then
            deleting "$p" 0 >>"$work/deletehealthy.$i"
            deleting "$p" 3000 >>"$work/deleteslow.$i"
        fi
        if has exitsave; then
            exitsave "$p" 3000 >>"$work/exitsave.$i"
        fi
        if has copy; then
            copying "$p" 0 >>"$work/copywhole.$i"
            copying "$p" 8 >>"$work/copypaused.$i"
        fi
        if has arrive; then
            arriving "$p" 0 >>"$work/arrivehealthy.$i"
            arriving "$p" 1000 >>"$work/arriveslow.$i"
        fi
        has list && listing "$p" >>"$work/listed.$i"
        has nothread && nothread "$p" >>"$work/nothread.$i"
        if has downs; then
            downing "$p" 0 "$work/downsthreadshealthy.$i" >>"$work/downshealthy.$i"
            downing "$p" -1 "$work/downsthreadsdead.$i" >>"$work/downsdead.$i"
        fi
        for c in healthy slow dead openhealthy openslow refreshhealthy refreshslow clickhealthy \
            clickslow printhealthy printstopped savehealthy saveslow deletehealthy deleteslow \
            arrivehealthy arriveslow boothealthy bootslow copywhole copypaused listed nothread \
            downshealthy downsdead downsthreadshealthy downsthreadsdead exitsave; do
            [ -s "$work/$c.$i" ] && echo "run $r, program $i, $c: $(tail -1 "$work/$c.$i")" >&2
        done
        echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)" >&2
    done
done
printf '%-44s' "longest unanswered (ms, median of $runs)"
for i in "${!programs[@]}"; do printf ' %10s' "$([ "$i" = 0 ] && echo ours || echo baseline)"; done
echo
for c in healthy:"choose a healthy folder" slow:"choose a 5 s folder" dead:"choose a folder that never answers" \
    openhealthy:"vistrel FOLDER, healthy (from Continue)" \
    openslow:"vistrel FOLDER, 5 s folder (from Continue)" \
    refreshhealthy:"Auto Refresh, healthy folder" refreshslow:"Auto Refresh, 1 s per opening" \
    clickhealthy:"click a picture, FUSE answering at once" \
    clickslow:"click a picture, FUSE 3 s per lookup" printhealthy:"Ctrl+P, scheduler running" \
    printstopped:"Ctrl+P, scheduler stopped (10 s cap)" savehealthy:"Save Settings, healthy" \
    saveslow:"Save Settings, 3 s per lookup (10 s cap)" deletehealthy:"Delete, healthy folder" \
    deleteslow:"Delete, 3 s per lookup (12 s cap)" arrivehealthy:"pictures arriving, healthy folder" \
    arriveslow:"pictures arriving, 1 s per lookup" \
    boothealthy:"start, healthy settings (from Continue)" \
    bootslow:"start, settings 5 s per lookup (Continue)" \
    copywhole:"choose a picture copied in whole" \
    copypaused:"choose a copy paused 8 s after 300 bytes" \
    nothread:"choose a dead folder, no thread to be had" \
    downshealthy:"50 Down presses, healthy folder" downsdead:"50 Down presses on a dead mount" \
    downsthreadshealthy:"  threads above idle, healthy (count)" \
    downsthreadsdead:"  threads above idle, dead mount (count)" \
    exitsave:"Exit during a save on a 3 s folder (to end)"; do
    [ -s "$work/${c%%:*}.0" ] || continue
    printf '%-44s' "${c#*:}"
    for i in "${!programs[@]}"; do printf ' %10s' "$(median <"$work/${c%%:*}.$i")"; done
    echo
done
if [ -s "$work/asked.txt" ]; then
    echo "asked whether to delete a picture still being copied in:"
    sort "$work/asked.txt" | uniq -c
fi
if [ -s "$work/listed.0" ]; then
    printf '%-44s' "choose a 10 s FUSE folder: listed after (ms)"
    for i in "${!programs[@]}"; do printf ' %10s' "$(median <"$work/listed.$i")"; done
    echo
fi
if [ -s "$work/unlisted.txt" ]; then
    echo "a picture chosen after the 10 s folder was listed was not read:"
    sort "$work/unlisted.txt" | uniq -c
fi
if [ -s "$work/nothread-escape.txt" ]; then
    echo "Escape with no thread to be had did not end the program within 2 s:"
    sort "$work/nothread-escape.txt" | uniq -c
fi
if [ -s "$work/exitsave.txt" ]; then
    echo "Exit during a save on a 3 s folder (told: a message before the end; file: old, new):"
    sort "$work/exitsave.txt" | uniq -c
fi
if [ -s "$work/escape.txt" ]; then
    echo "Escape after choosing a dead folder or the Down presses did not end the program within 2 s:"
    sort "$work/escape.txt" | uniq -c
fi
if grep -qv XGetInputFocus "$work/program.err" 2>/dev/null; then
    echo "the programs said (a figure as long as the time watched is a program that was gone):"
    grep -v XGetInputFocus "$work/program.err" | sort | uniq -c | head -20
fi
echo "load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
if [ -s "$work/slow.0" ]; then
    echo "choose_slow_ms $(median <"$work/slow.0")"
fi
