#!/usr/bin/env bash
# Fails, naming the files, when any C++ file of the tree differs from what
# .clang-format makes of it. `clang-format -i FILE` fixes one.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.h' '*.cpp')
report="$(mktemp)"
trap 'rm -f "$report"' EXIT
if ! clang-format --dry-run --Werror "${files[@]}" 2>"$report"; then
  grep -o '^[^:]*:[0-9]*:[0-9]*: error' "$report" | cut -d: -f1 | sort -u |
    sed 's/^/not formatted: /' >&2
  echo "check-format: run clang-format -i on the files above" >&2
  exit 1
fi
