#!/usr/bin/env bash
# Builds everything and runs every test: the native leg under AddressSanitizer
# and UndefinedBehaviorSanitizer, then the Windows leg under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

# A throwaway Wine prefix for this run.
export KEL_WINEPREFIX="$(mktemp -d "${TMPDIR:-/tmp}/kelbridge-wine.XXXXXX")"
cleanup() {
  WINEPREFIX="$KEL_WINEPREFIX" wineserver -k >/dev/null 2>&1 || true
  rm -rf "$KEL_WINEPREFIX"
}
trap cleanup EXIT

status=0
for preset in native-asan windows; do
  echo "=== $preset ==="
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset" || status=1
done
exit "$status"
