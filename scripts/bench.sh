#!/usr/bin/env bash
# Builds both Windows presets and runs the benchmark once under Wine for each
# width, 32-bit first, in one throwaway prefix that is removed afterwards.
# Prints the figures with their targets; a missed target does not fail the
# script.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
for preset in windows windows64; do
  cmake --preset "$preset"
  cmake --build --preset "$preset"
done

export KEL_WINEPREFIX="$(mktemp -d "${TMPDIR:-/tmp}/kelbridge-bench-wine.XXXXXX")"
cleanup() {
  WINEPREFIX="$KEL_WINEPREFIX" wineserver -k >/dev/null 2>&1 || true
  rm -rf "$KEL_WINEPREFIX"
}
trap cleanup EXIT
unset WINEARCH  # the prefix must be 64-bit to run both widths

# Create the prefix first, so its one-time set-up does not run beside the timings.
cmake/wine64-run.sh wineboot -i >/dev/null 2>&1
echo "=== 32-bit (build/windows) ==="
cmake/wine-run.sh build/windows/bin/kel_bench.exe
echo "=== 64-bit (build/windows64) ==="
cmake/wine64-run.sh build/windows64/bin/kel_bench.exe
