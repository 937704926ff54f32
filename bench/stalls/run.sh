#!/usr/bin/env bash
# How long the main window does not answer while storage is slow or dead: folders made slow by
# the LD_PRELOAD shim of the tests (every opendir under a prefix waits VISTREL_SLOW_MS; -1 never
# answers). The window is pinged (_NET_WM_PING, bench_stallwatch) every 10 ms while each case
# runs and the longest wait for an answer is its figure. Cases, each interleaved with the same
# steps on a healthy folder as the baseline: choosing a sub-folder in the tree that takes 5 s to
# list, one that never answers (after which Escape must end the program), and `vistrel FOLDER`
# into a 5 s folder. BASELINE_PROGRAM=path runs another build beside this one (each case
# alternates the two); BENCH_RUNS runs (default 3). Last line: choose_slow_ms <ours>.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
runs=${BENCH_RUNS:-3}
work=$(mktemp -d)
shim="$BENCH_BUILD/bench/stalls/libbench_slowfolders.so"
watch="$BENCH_BUILD/bench/stalls/bench_stallwatch"
ours="$BENCH_BUILD/src/vistrel"
programs=("$ours")
[ -n "${BASELINE_PROGRAM:-}" ] && programs+=("$BASELINE_PROGRAM")
xpid=''
trap '[ -n "$xpid" ] && kill "$xpid" 2>/dev/null; rm -rf "$work"' EXIT
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
    VISTREL_SLOW_PREFIX="$prefix" VISTREL_SLOW_MS="$ms" LD_PRELOAD="$shim" "$program" "$@" \
        >/dev/null 2>&1 &
    pid=$!
    local splash
    splash=$(window "Vistrel")
    [ -n "$splash" ] && xdotool key --window "$splash" Return
    main=''
    for _ in $(seq 200); do
        main=$(xdotool search --onlyvisible --name "Vistrel v" 2>/dev/null | head -1) && [ -n "$main" ] && break
        sleep 0.05
    done
}
stop() {
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
    xdotool key --window "$main" Right
    sleep 0.2
    xdotool key --window "$main" Down
    wait "$w" || true
    awk '$1 == "longest_ms" { print $2 }' "$work/once"
    if [ "$sub" = dead ]; then
        # Escape in the tree ends the program at once, dead folder or not.
        xdotool key --window "$main" Escape
        sleep 0.5
        kill -0 "$pid" 2>/dev/null && echo "escape-ignored" >>"$work/escape.txt"
    fi
    stop
}
# open PROGRAM MS: `vistrel FOLDER` into a folder slowed by MS, pinged from when its window
# appears.
open() {
    local program=$1 ms=$2
    settings "$work/fast"
    start "$program" "$work/slowfolder" "$ms" "$work/slowfolder"
    "$watch" "$main" 7000 | awk '$1 == "longest_ms" { print $2 }'
    stop
}
median() {
    sort -g | awk '{ v[NR] = $1 } END { if (NR == 0) print "nan"; else if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

echo "load average at the start: $(cut -d' ' -f1-3 /proc/loadavg)"
: >"$work/escape.txt"
for r in $(seq "$runs"); do
    for i in "${!programs[@]}"; do
        p=${programs[$i]}
        choose "$p" fast 0 >>"$work/healthy.$i"
        choose "$p" slow 5000 >>"$work/slow.$i"
        choose "$p" fast 0 >>"$work/healthy.$i"
        choose "$p" dead -1 >>"$work/dead.$i"
        open "$p" 0 >>"$work/openhealthy.$i"
        open "$p" 5000 >>"$work/openslow.$i"
    done
done
printf '%-44s' "longest unanswered (ms, median of $runs)"
for i in "${!programs[@]}"; do printf ' %10s' "$([ "$i" = 0 ] && echo ours || echo baseline)"; done
echo
for c in healthy:"choose a healthy folder" slow:"choose a 5 s folder" dead:"choose a folder that never answers" \
    openhealthy:"vistrel FOLDER, healthy" openslow:"vistrel FOLDER, 5 s folder"; do
    printf '%-44s' "${c#*:}"
    for i in "${!programs[@]}"; do printf ' %10s' "$(median <"$work/${c%%:*}.$i")"; done
    echo
done
[ -s "$work/escape.txt" ] && echo "Escape did not end the program in $(wc -l <"$work/escape.txt") runs"
echo "load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "choose_slow_ms $(median <"$work/slow.0")"
