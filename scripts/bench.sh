#!/usr/bin/env bash
# Builds the Windows preset and runs the benchmark once under Wine, in a
# throwaway prefix that is removed afterwards. Prints the figures with their
# targets; a missed target does not fail the script.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake --preset windows
cmake --build --preset windows

export KEL_WINEPREFIX="$(mktemp -d "${TMPDIR:-/tmp}/kelbridge-bench-wine.XXXXXX")"
cleanup() {
  WINEPREFIX="$KEL_WINEPREFIX" wineserver -k >/dev/null 2>&1 || true
  rm -rf "$KEL_WINEPREFIX"
}
trap cleanup EXIT

# Create the prefix first, so its one-time set-up does not run beside the timings.
cmake/wine-run.sh wineboot -i >/dev/null 2>&1
cmake/wine-run.sh build/windows/bin/kel_bench.exe
