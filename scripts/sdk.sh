#!/usr/bin/env bash
# Builds the engine SDK that vendors download:
#   bash scripts/sdk.sh [--no-build]
# writes out/sdk/kelbridge-sdk-<version>/ and out/sdk/kelbridge-sdk-<version>.zip,
# each built beside its place and renamed into it when complete. The version
# is the project's (project(kelbridge VERSION ...) in CMakeLists.txt). First it
# builds kelbridge.dll and plughost.exe of both widths (presets windows and
# windows64); --no-build takes the builds as they are and names the command
# for anything missing.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
fail() { echo "sdk.sh: error: $*" >&2; exit 1; }

build=1
for arg in "$@"; do
  case "$arg" in
    --no-build) build=0 ;;
    *) fail "unknown argument $arg (usage: bash scripts/sdk.sh [--no-build])" ;;
  esac
done

version="$(sed -n 's/^project(kelbridge VERSION \([0-9][0-9.]*\).*/\1/p' "$root/CMakeLists.txt")"
[ -n "$version" ] || fail "no 'project(kelbridge VERSION x.y.z ...)' line in $root/CMakeLists.txt"
name="kelbridge-sdk-$version"
out="$root/out/sdk"
target="$out/$name"

# preset, SDK folder of its binaries
widths=("windows x86" "windows64 x64")
for entry in "${widths[@]}"; do
  read -r preset arch <<<"$entry"
  bin="$root/build/$preset/bin"
  if [ "$build" = 1 ]; then
    (cd "$root" && cmake --preset "$preset" >/dev/null &&
      cmake --build --preset "$preset" --target kelbridge plughost) ||
      fail "building kelbridge and plughost with preset $preset failed; the build's output is above"
  fi
  for file in kelbridge.dll plughost.exe; do
    [ -f "$bin/$file" ] || fail "$bin/$file is missing: build it with cmake --preset $preset && cmake --build --preset $preset --target kelbridge plughost"
  done
done

# An existing folder of that name is replaced only when it is an SDK of ours.
if [ -e "$target" ] && [ ! -f "$target/lib/cmake/kelbridge/kelbridgeConfig.cmake" ]; then
  fail "$target exists and is not a kelbridge SDK; move it away first"
fi

mkdir -p "$out"
stage="$(mktemp -d "$out/.$name.XXXXXX")"
trap 'rm -rf "$stage"' EXIT
sdk="$stage/$name"

mkdir -p "$sdk/include" "$sdk/src" "$sdk/lib/cmake/kelbridge" "$sdk/cmake" "$sdk/packaging" \
  "$sdk/docs" "$sdk/bin/x86" "$sdk/bin/x64"
cp -r "$root/src/engine_contract/kel" "$sdk/include/"
cp "$root/src/platform/dll_runtime.cpp" "$sdk/src/kelbridge_runtime.cpp"
cp "$root/sdk/kelbridgeConfig.cmake" "$sdk/lib/cmake/kelbridge/"
major="${version%%.*}"
sed "s/@KEL_VERSION@/$version/; s/@KEL_VERSION_MAJOR@/$major/" \
  "$root/sdk/kelbridgeConfigVersion.cmake.in" > "$sdk/lib/cmake/kelbridge/kelbridgeConfigVersion.cmake"
for file in toolchain-mingw-common.cmake toolchain-i686-mingw.cmake toolchain-x86_64-mingw.cmake \
    toolchain-mingw-clang-common.cmake toolchain-i686-mingw-clang.cmake \
    toolchain-x86_64-mingw-clang.cmake wine-run.sh wine64-run.sh; do
  cp "$root/cmake/$file" "$sdk/cmake/"
done
for entry in "${widths[@]}"; do
  read -r preset arch <<<"$entry"
  cp "$root/build/$preset/bin/kelbridge.dll" "$root/build/$preset/bin/plughost.exe" "$sdk/bin/$arch/"
done
cp "$root/packaging/make_installer.py" "$root/packaging/installer.nsi" "$sdk/packaging/"
cp "$root/sdk/package.sh" "$root/sdk/plughost" "$sdk/"
# The Linux runner of plughost.exe finds the Wine runners beside it.
cp "$root/scripts/plughost" "$sdk/cmake/plughost-wine"
# The SDK's packaging guide is written for its reader: its own paths and options.
cp "$root/docs/engine-guide.md" "$sdk/docs/"
cp "$root/sdk/packaging-guide.md" "$sdk/docs/packaging.md"
sed "s/@KEL_VERSION@/$version/g" "$root/sdk/README.md" > "$sdk/README.md"
cp -r "$root/sdk/template" "$sdk/template"

# The zip holds the folder as it is, execute bits included.
python3 - "$stage" "$name" <<'PY'
import os, sys, zipfile
stage, name = sys.argv[1], sys.argv[2]
with zipfile.ZipFile(os.path.join(stage, name + ".zip"), "w", zipfile.ZIP_DEFLATED) as archive:
    for folder, dirs, files in os.walk(os.path.join(stage, name)):
        dirs.sort()
        for file in sorted(files):
            path = os.path.join(folder, file)
            archive.write(path, os.path.relpath(path, stage))
PY

# Into place: the old folder steps aside first and goes once the new one is in.
[ -e "$target" ] && mv "$target" "$stage/previous"
mv "$sdk" "$target"
mv -f "$stage/$name.zip" "$target.zip"
echo "Built $target and $target.zip (kelbridge engine SDK $version)"
