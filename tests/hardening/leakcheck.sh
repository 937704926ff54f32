#!/usr/bin/env bash
# Usage: leakcheck.sh BUILD_DIR  (a build configured with -DVISTREL_SANITIZE=ON)
# Runs the main-window tests of this folder with LeakSanitizer on; any leak report fails the
# run. No suppressions: none of Qt's or fontconfig's process-lifetime allocations are reported
# for these runs, so nothing needs hiding.
set -euo pipefail
build=${1:?usage: leakcheck.sh BUILD_DIR}
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1
status=0
for t in test_corpus test_folderfaults test_slidememory; do
    log="$build/$t.leaks.log"
    if "$build/tests/hardening/$t" >"$log" 2>&1; then
        echo "$t: no leaks ($(grep Totals "$log"))"
    else
        status=1
        echo "$t: FAILED, see $log"
        grep -E "SUMMARY|Direct leak|Indirect leak" "$log" || true
    fi
done
exit $status
