#!/usr/bin/env bash
# Usage: check-format.sh SOURCE_DIR
# Fails when a C++ file of the project (the tracked ones in a Git work tree, else every one under
# src, tests and bench) is not as clang-format and the project's .clang-format would write it.
# Exits 77 (skipped) where clang-format is not installed.
set -euo pipefail
root=$(cd "${1:?usage: check-format.sh SOURCE_DIR}" && pwd)
command -v clang-format >/dev/null || { echo "clang-format is not installed: skipped"; exit 77; }
cd "$root"
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    mapfile -t files < <(git ls-files -- '*.cpp' '*.h')
else
    mapfile -t files < <(find src tests bench -name '*.cpp' -o -name '*.h' | sort)
fi
[ ${#files[@]} -gt 0 ] || { echo "no C++ files under $root" >&2; exit 1; }
clang-format --dry-run -Werror "${files[@]}"
echo "${#files[@]} files formatted as .clang-format says"
