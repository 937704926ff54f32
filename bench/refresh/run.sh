#!/usr/bin/env bash
# Automatic refresh of unchanged folders of 10,000, 100,000 and 300,000 files, with change notices
# and with plain polling: CPU share of one core (getrusage, all threads), the longest time the
# event loop spent on one event (wall time, and the main thread's CPU time), the delay until a new
# complete picture is listed with the longest event meanwhile, and resident memory.
# Runs are interleaved (every size and mode once per round); the figures are medians over rounds.
# Environment: REFRESH_SECONDS (quiet stretch per run, default 20), REFRESH_ROUNDS (default 3),
# REFRESH_SIZES (default "10000 100000 300000"). Big folders are re-read only every few tens of
# seconds; a quiet stretch longer than that (REFRESH_SECONDS=60) shows their cost amortized.
# REFRESH_BASELINE=<another build's bench_refresh> adds its runs with notices (mode "base") to
# every round, for a before/after comparison under the same load.
# Last lines: refill_stall_300k_ms and refill_300k_ms (longest event, and milliseconds until a new
# picture is listed, with notices), stall_300k_ms <worst median>, then cpu_300k <percent of one
# core, worse mode>.
set -euo pipefail
bin="$BENCH_BUILD/bench/refresh/bench_refresh"
make="$BENCH_BUILD/bench/fill/bench_fill"
seconds=${REFRESH_SECONDS:-20}
rounds=${REFRESH_ROUNDS:-3}
read -r -a sizes <<<"${REFRESH_SIZES:-10000 100000 300000}"
modes=(notify poll)
[ -n "${REFRESH_BASELINE:-}" ] && modes+=(base)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for n in "${sizes[@]}"; do "$make" make "$work/f$n" "$n"; done
echo "load before: $(cat /proc/loadavg)"
results="$work/results"
: >"$results"
for round in $(seq "$rounds"); do
    for n in "${sizes[@]}"; do
        for mode in "${modes[@]}"; do
            arg=""
            run=$bin
            [ "$mode" = poll ] && arg="--no-notify"
            [ "$mode" = base ] && run=$REFRESH_BASELINE
            read -r cpu stall stallcpu latency rss newstall newcpu < <("$run" "$work/f$n" "$seconds" $arg)
            echo "$n $mode $cpu $stall $stallcpu $latency $rss $newstall $newcpu" >>"$results"
            echo "round=$round files=$n mode=$mode cpu=$cpu stall_ms=$stall stall_cpu_ms=$stallcpu new_ms=$latency rss_mb=$rss new_stall_ms=$newstall new_stall_cpu_ms=$newcpu"
        done
    done
done
echo "load after: $(cat /proc/loadavg)"
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) }'; }
printf '%-7s %-6s %8s %9s %13s %7s %7s %12s %16s\n' files mode cpu_% stall_ms stall_cpu_ms new_ms \
    rss_mb new_stall_ms new_stall_cpu_ms
medianOf() { awk -v n="$1" -v m="$2" -v c="$3" '$1 == n && $2 == m { print $c }' "$results" | median; }
for n in "${sizes[@]}"; do
    for mode in "${modes[@]}"; do
        row=()
        for col in 3 4 5 6 7 8 9; do
            row+=("$(medianOf "$n" "$mode" "$col")")
        done
        printf '%-7s %-6s %8s %9s %13s %7s %7s %12s %16s\n' "$n" "$mode" "${row[@]}"
    done
done
worst() { awk -v c="$1" '$1 == 300000 && $2 != "base" { print $2, $c }' "$results" |
    awk '{ v[$1] = v[$1] " " $2 } END { for (m in v) print v[m] }' |
    while read -r line; do echo "$line" | tr ' ' '\n' | grep -v '^$' | median; done | sort -g | tail -1; }
if [ -n "${REFRESH_BASELINE:-}" ]; then
    echo "baseline refill_stall_cpu_300k_ms $(medianOf 300000 base 9)"
    echo "baseline refill_stall_300k_ms $(medianOf 300000 base 8)"
    echo "baseline refill_300k_ms $(medianOf 300000 base 6)"
fi
echo "refill_stall_cpu_300k_ms $(medianOf 300000 notify 9)"
echo "refill_stall_300k_ms $(medianOf 300000 notify 8)"
echo "refill_300k_ms $(medianOf 300000 notify 6)"
echo "stall_300k_ms $(worst 4)"
echo "cpu_300k $(worst 3)"
