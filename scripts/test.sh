#!/usr/bin/env bash
# Checks the formatting, builds everything and runs every test: the native
# leg under AddressSanitizer and UndefinedBehaviorSanitizer, then the 32-bit
# and the 64-bit Windows legs under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

# Three builds of one tree: ccache keeps what an earlier run compiled, also
# for another clone of the tree (paths are taken relative to it).
export CMAKE_C_COMPILER_LAUNCHER=ccache CMAKE_CXX_COMPILER_LAUNCHER=ccache
export CCACHE_BASEDIR="$PWD"

# One throwaway 64-bit Wine prefix for both Windows legs: it runs 32-bit
# programs too, each width with its own registry view, so the legs do not see
# each other's keys. Its one-time set-up runs while the native leg builds.
unset WINEARCH
export KEL_WINEPREFIX="$(mktemp -d "${TMPDIR:-/tmp}/kelbridge-wine.XXXXXX")"
cleanup() {
  WINEPREFIX="$KEL_WINEPREFIX" wineserver -k >/dev/null 2>&1 || true
  rm -rf "$KEL_WINEPREFIX"
}
trap cleanup EXIT
cmake/wine64-run.sh wineboot -i >/dev/null 2>&1 &
prefix_setup=$!

status=0
echo "=== format ==="
bash scripts/check-format.sh || status=1
for preset in native-asan windows windows64; do
  echo "=== $preset ==="
  start=$SECONDS
  cmake --preset "$preset" -DKEL_WERROR="${KEL_WERROR:-OFF}" >/dev/null
  cmake --build --preset "$preset"
  if [ "$preset" != native-asan ] && [ -n "$prefix_setup" ]; then
    wait "$prefix_setup" || { echo "Wine prefix set-up failed" >&2; status=1; }
    prefix_setup=""
  fi
  ctest --preset "$preset" || status=1
  echo "=== $preset: $((SECONDS - start)) s ==="
done
exit "$status"
