#!/usr/bin/env bash
# A Windows installer from a product file, with this SDK's kelbridge.dll of
# each width (docs/packaging.md describes the product file):
#   bash <sdk>/package.sh [--out DIR] PRODUCT.ini
# writes <Product>-<Version>-setup.exe into DIR (by default out/package of
# the current folder). Needs python3 and makensis (NSIS).
set -euo pipefail
sdk="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
exec python3 "$sdk/packaging/make_installer.py" --bin32 "$sdk/bin/x86" --bin64 "$sdk/bin/x64" "$@"
