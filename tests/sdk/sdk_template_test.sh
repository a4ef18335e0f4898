#!/usr/bin/env bash
# The engine SDK used as a vendor uses it, from its folder alone: the
# template copied out of the SDK and built with g++ and with clang for both
# widths; each engine exports exactly kelMain, passes its ctest (the unit test
# and the validation kelbridge_add_validation adds), is
# registered and installed with the SDK's plughost, passes validate at level
# 1 behind the SDK's g++-built kelbridge.dll and becomes a setup program with
# the SDK's package.sh. The demo engine, built with clang through the SDK's
# package, passes validate too. Then the bad input: an SDK without the
# configured width or with a header missing, kelbridge_add_engine without
# sources or without kelMain, each with an error naming what is wrong.
#   sdk_template_test.sh <source dir>
# Needs out/sdk/kelbridge-sdk-<version>/ (bash scripts/sdk.sh). Uses the Wine
# prefix $KEL_WINEPREFIX when it is set up, else one of its own.
# Ends with "sdk: N passed, N failed"; exits 1 when a case failed.
set -uo pipefail
src="$(cd "$1" && pwd)"
version="$(sed -n 's/^project(kelbridge VERSION \([0-9][0-9.]*\).*/\1/p' "$src/CMakeLists.txt")"
sdk="$src/out/sdk/kelbridge-sdk-$version"
if [ ! -f "$sdk/lib/cmake/kelbridge/kelbridgeConfig.cmake" ]; then
  echo "sdk: $sdk is missing: run bash scripts/sdk.sh"
  echo "sdk: 0 passed, 1 failed"
  exit 1
fi

work="$(mktemp -d "${TMPDIR:-/tmp}/kel-sdk-test.XXXXXX")"
own_prefix=""
if [ -z "${KEL_WINEPREFIX:-}" ] || [ ! -d "$KEL_WINEPREFIX/drive_c" ]; then
  own_prefix="$work/prefix"
  export KEL_WINEPREFIX="$own_prefix"
  (unset WINEARCH; "$sdk/cmake/wine64-run.sh" wineboot -i >/dev/null 2>&1)
fi
export PLUGHOST_WINEPREFIX="$KEL_WINEPREFIX"
cleanup() {
  [ -n "${builder:-}" ] && kill "$builder" 2>/dev/null
  [ -n "$own_prefix" ] && WINEPREFIX="$own_prefix" wineserver -k >/dev/null 2>&1
  rm -rf "$work"
}
trap cleanup EXIT

passed=0
failed=0
pass() { echo "PASS: $*"; passed=$((passed + 1)); }
fail() { echo "FAIL: $*"; failed=$((failed + 1)); }

# cmake_build source build-dir toolchain-file [cmake arguments]: configure and
# build, the log in build-dir.log; build-dir.done holds the exit status.
cmake_build() {
  local source="$1" dir="$2" toolchain="$3"
  shift 3
  cmake -S "$source" -B "$dir" -G Ninja --toolchain "$toolchain" "$@" >"$dir.log" 2>&1 &&
    cmake --build "$dir" >>"$dir.log" 2>&1
  echo $? >"$dir.done"
}
# built build-dir: waits for that build, then answers whether it succeeded.
built() {
  until [ -f "$1.done" ]; do sleep 0.5; done
  [ "$(cat "$1.done")" = 0 ]
}

exports_of() {
  x86_64-w64-mingw32-objdump -p "$1" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
    sed -n 's/^[[:space:]]*\[ *[0-9]*\] //p' | tr '\n' ' '
}

# --- What is built, and the bad input's projects. ----------------------------
cp -r "$sdk/template" "$work/mytone"
templates=("g++ 32 i686-mingw" "g++ 64 x86_64-mingw" "clang 32 i686-mingw-clang"
           "clang 64 x86_64-mingw-clang")

mkdir -p "$work/probe"
cat >"$work/probe/CMakeLists.txt" <<'CMAKE'
cmake_minimum_required(VERSION 3.20)
project(probe LANGUAGES CXX)
find_package(kelbridge CONFIG REQUIRED)
if(PROBE STREQUAL "no-sources")
  kelbridge_add_engine(NAME probe_engine)
else()
  kelbridge_add_engine(NAME probe_engine SOURCES engine.cpp)
endif()
CMAKE
# A kelMain with C++ linkage: the export list finds no kelMain.
cat >"$work/probe/engine.cpp" <<'CPP'
#include "kel/kel_interfaces.h"
kel::IModule* kelMain(kel::IHost*, std::int32_t* version) {
  if (version) *version = 5;
  return nullptr;
}
CPP
# An SDK with the 32-bit build only, and one without a contract header.
for copy in x86-only no-header; do
  mkdir -p "$work/$copy"
  cp -r "$sdk/include" "$sdk/src" "$sdk/lib" "$sdk/cmake" "$sdk/bin" "$work/$copy/"
done
rm -rf "$work/x86-only/bin/x64"
rm "$work/no-header/include/kel/parameter_info.h"
# label, SDK folder, toolchain, the text the error must hold, cmake arguments
bad_cases=(
  "other-width|$work/x86-only|toolchain-x86_64-mingw.cmake|has no 64-bit build for this 64-bit configuration: missing bin/x64/kelbridge.dll, bin/x64/plughost.exe|"
  "missing-header|$work/no-header|toolchain-i686-mingw.cmake|is incomplete: missing include/kel/parameter_info.h|"
  "no-sources|$sdk|toolchain-i686-mingw.cmake|kelbridge_add_engine(NAME probe_engine): no SOURCES|-DPROBE=no-sources"
  "no-kelmain-g++|$sdk|toolchain-i686-mingw.cmake|kelMain|"
  "no-kelmain-clang|$sdk|toolchain-x86_64-mingw-clang.cmake|kelMain|")

# One build at a time in the background, while Wine checks what is built.
(
  for entry in "${templates[@]}"; do
    read -r compiler width toolchain <<<"$entry"
    cmake_build "$work/mytone" "$work/mytone/build-$compiler-$width" \
      "$sdk/cmake/toolchain-$toolchain.cmake"
  done
  for width in 32 64; do
    toolchain=i686-mingw-clang
    [ "$width" = 64 ] && toolchain=x86_64-mingw-clang
    cmake_build "$src/tests/sdk/demo_engine" "$work/demo-clang-$width" \
      "$sdk/cmake/toolchain-$toolchain.cmake" -DKEL_DEMO_SOURCE_DIR="$src/engines/demo_engine"
  done
  for entry in "${bad_cases[@]}"; do
    IFS='|' read -r label folder toolchain expected argument <<<"$entry"
    cmake_build "$work/probe" "$work/probe-$label" "$folder/cmake/$toolchain" $argument
  done
) &
builder=$!

guid="{6B656C62-7269-6467-6520-73646B746573}"
# install_and_validate label width engine effect-name process-index [install options]
install_and_validate() {
  local label="$1" width="$2" engine="$3" name="$4" index="$5"
  shift 5
  local arch=x86 plugins="$work/plugins-$label"
  [ "$width" = 64 ] && arch=x64
  local host=(env PLUGHOST_WIDTH="$width" bash "$sdk/plughost")
  if ! "${host[@]}" register --guid "$guid" --engine "$engine" >"$work/$label.host.log" 2>&1 ||
    ! "${host[@]}" install --plugin "$sdk/bin/$arch/kelbridge.dll" --dir "$plugins" --name "$name" \
      --guid "$guid" --id 1234 --process-index "$index" "$@" >>"$work/$label.host.log" 2>&1; then
    fail "$label: register and install"
    cat "$work/$label.host.log"
    return 1
  fi
  if "${host[@]}" validate "$plugins/$name.dll" --level 1 --skip-editor >"$work/$label.validate.log" 2>&1; then
    pass "$label: validate level 1 ($(tail -1 "$work/$label.validate.log" | sed 's/.*: //'))"
  else
    fail "$label: validate level 1"
    cat "$work/$label.validate.log"
  fi
}

# --- The template, out of tree, with each compiler and width. ---------------
bash -n "$work/mytone/ci.sh" && pass "template: ci.sh is a bash script" ||
  fail "template: ci.sh does not parse"
for entry in "${templates[@]}"; do
  read -r compiler width toolchain <<<"$entry"
  label="template-$compiler-$width"
  build="$work/mytone/build-$compiler-$width"
  if ! built "$build"; then
    fail "$label: build"
    tail -30 "$build.log"
    continue
  fi
  engine="$build/mytone_engine.dll"
  exports="$(exports_of "$engine")"
  [ "$exports" = "kelMain " ] && pass "$label: exports kelMain only" ||
    fail "$label: exports '$exports', not kelMain only"
  # The template's ctest: its unit test and, through kelbridge_add_validation,
  # the engine validated by the SDK's plughost of this width.
  if (cd "$build" && PLUGHOST_WINEPREFIX="$KEL_WINEPREFIX" ctest --output-on-failure \
        >"$build.ctest.log" 2>&1) &&
    grep -q 'tone_processor_test .*Passed' "$build.ctest.log" &&
    grep -q 'mytone_engine_validation .*Passed' "$build.ctest.log" &&
    grep -q '<testcase classname=".*" name="open"' "$build/mytone_engine_validation.xml"; then
    pass "$label: ctest (unit test and validation)"
  else
    fail "$label: ctest (unit test and validation)"
    cat "$build.ctest.log"
  fi
  install_and_validate "$label" "$width" "$engine" MyTone 0
  # Its installer, from the template's product file narrowed to this width.
  sed "s#^Widths=.*#Widths=$width#; s#^Engine$width=.*#Engine$width=$engine#" \
    "$work/mytone/product.ini" >"$work/$label.ini"
  if bash "$sdk/package.sh" --out "$work/setup-$label" "$work/$label.ini" >"$work/$label.package.log" 2>&1 &&
    [ -f "$work/setup-$label/MyTone-1.0.0-setup.exe" ]; then
    pass "$label: setup program"
  else
    fail "$label: setup program"
    cat "$work/$label.package.log"
  fi
done

# --- The demo engine with clang, behind the g++ kelbridge.dll. ---------------
for width in 32 64; do
  label="demo-clang-$width"
  if built "$work/$label"; then
    install_and_validate "$label" "$width" "$work/$label/kel_demo_engine.dll" DemoSynth 2 \
      --channels-in 0 --channels-out 2
  else
    fail "$label: build"
    tail -30 "$work/$label.log"
  fi
done

# --- Bad input: a configure or build error naming what is wrong. -------------
for entry in "${bad_cases[@]}"; do
  IFS='|' read -r label folder toolchain expected argument <<<"$entry"
  build="$work/probe-$label"
  if built "$build"; then
    fail "$label: no error"
  elif tr -s ' \n' ' ' <"$build.log" | grep -qF "$expected"; then
    pass "$label: error names it"
  else
    fail "$label: the error does not say '$expected'"
    tail -20 "$build.log"
  fi
done
wait "$builder"

echo "sdk: $passed passed, $failed failed"
[ "$failed" = 0 ]
