#!/usr/bin/env bash
# Usage: busy.sh [-n LOOPS_PER_CORE] COMMAND [ARGS...]
# Runs COMMAND with LOOPS_PER_CORE busy loops per processor core beside it (default 4), as on a
# developer's machine running several builds at once, and stops the loops when it ends. Exits
# with the command's status. Example: bash tools/busy.sh bash tools/test.sh
set -euo pipefail
perCore=4
if [ "${1:-}" = "-n" ]; then
    perCore=${2:?usage: busy.sh [-n LOOPS_PER_CORE] COMMAND [ARGS...]}
    shift 2
fi
[ $# -gt 0 ] || { echo "usage: busy.sh [-n LOOPS_PER_CORE] COMMAND [ARGS...]" >&2; exit 2; }
case $perCore in
'' | *[!0-9]*) echo "busy.sh: LOOPS_PER_CORE must be a number" >&2; exit 2 ;;
esac

loops=()
stop() {
    local pid
    for pid in "${loops[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    for pid in "${loops[@]}"; do
        wait "$pid" 2>/dev/null || true
    done
    loops=()
}
trap stop EXIT
trap 'exit 130' INT TERM

count=$(($(nproc) * perCore))
for ((i = 0; i < count; ++i)); do
    # A shell loop that never sleeps, at the ordinary priority of the tests themselves.
    bash -c 'while :; do :; done' &
    loops+=("$!")
done
echo "busy.sh: $count busy loops beside: $*" >&2
status=0
"$@" || status=$?
exit $status
