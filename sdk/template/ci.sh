#!/usr/bin/env bash
# MyTone's CI: builds the engine for both widths with the SDK's g++
# toolchains and runs ctest in each build, which runs the unit test and
# validates the engine with the SDK's plughost under Wine. Exits non-zero
# when a build or a test failed; each build's JUnit report is
# build-<width>/mytone_engine_validation.xml.
#   bash ci.sh [SDK folder]       (default: the folder above this project)
#   COMPILER=clang bash ci.sh     (the SDK's clang toolchains instead)
# The Wine prefix is $PLUGHOST_WINEPREFIX (default
# ~/.local/share/kelbridge/wineprefix), made on first use.
set -euo pipefail
project="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
sdk="$(cd "${1:-$project/..}" && pwd)"
suffix=""
[ "${COMPILER:-g++}" = clang ] && suffix=-clang
for entry in "32 i686" "64 x86_64"; do
  read -r width arch <<<"$entry"
  build="$project/build-$width$suffix"
  cmake -S "$project" -B "$build" --toolchain "$sdk/cmake/toolchain-$arch-mingw$suffix.cmake" \
    -DCMAKE_PREFIX_PATH="$sdk"
  cmake --build "$build"
  (cd "$build" && ctest --output-on-failure)
done
echo "ci: MyTone built, tested and validated on both widths"
