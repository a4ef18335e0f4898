#!/usr/bin/env bash
# Builds a Windows installer for a product of kelbridge effects:
#   bash scripts/package.sh PRODUCT.ini
# writes out/package/<Product>-<Version>-setup.exe. The product file is
# described in docs/packaging.md. Installs what is missing and builds the
# plug-in of each width the product asks for (preset windows for 32 bits,
# windows64 for 64 bits) first.
#   --no-build   use the builds as they are (tests run it inside a build)
#   --bin32 DIR, --bin64 DIR
#                take the plug-in from DIR instead of build/windows/bin and
#                build/windows64/bin (implies --no-build)
#   --out DIR    write the installer to DIR instead of out/package
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
fail() { echo "package.sh: error: $*" >&2; exit 1; }

build=1
bin32="$root/build/windows/bin"
bin64="$root/build/windows64/bin"
out="$root/out/package"
product=""
while [ $# -gt 0 ]; do
  case "$1" in
    --no-build) build=0 ;;
    --out) [ $# -ge 2 ] || fail "--out needs a folder"; out="$2"; shift ;;
    --bin32) [ $# -ge 2 ] || fail "--bin32 needs a folder"; bin32="$2"; build=0; shift ;;
    --bin64) [ $# -ge 2 ] || fail "--bin64 needs a folder"; bin64="$2"; build=0; shift ;;
    -*) fail "unknown option $1" ;;
    *) [ -z "$product" ] || fail "give one product file"; product="$1" ;;
  esac
  shift
done
[ -n "$product" ] || fail "usage: bash scripts/package.sh [--no-build] [--bin32 DIR] [--bin64 DIR] [--out DIR] PRODUCT.ini"
[ -f "$product" ] || fail "$product does not exist"

# The generator needs only the standard library: Debian's Python will do, and
# it starts without going through a version manager's shim.
python=python3
[ -x /usr/bin/python3 ] && python=/usr/bin/python3
generator=("$python" "$root/packaging/make_installer.py" "$product"
           --bin32 "$bin32" --bin64 "$bin64" --out "$out")
if [ "$build" = 1 ]; then
  bash "$root/scripts/install-deps.sh"
  # The fields first, so a bad product file stops before any build.
  widths="$("${generator[@]}" --check)"
  for width in $widths; do
    preset=windows; [ "$width" = 64 ] && preset=windows64
    (cd "$root" && cmake --preset "$preset" >/dev/null && cmake --build --preset "$preset")
  done
fi
exec "${generator[@]}"
