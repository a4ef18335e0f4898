#!/bin/sh
# The adversary's rows of commands that open windows (edit --screenshot),
# under a virtual display in a Wine prefix of its own: a Wine server started
# without a display cannot open windows later.
#
#   adversary_under_display.sh WINE_RUNNER BIN_FOLDER
set -eu
runner="$1"
bin="$2"
here="$(cd "$(dirname "$0")" && pwd)"
prefix="$(mktemp -d "${TMPDIR:-/tmp}/kelbridge-adversary-display.XXXXXX")"
trap 'WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1 || true; rm -rf "$prefix"' EXIT
export KEL_WINEPREFIX="$prefix" KEL_ADVERSARY_ONLY="${KEL_ADVERSARY_ONLY:-edit}"
xvfb-run -a sh -c '
  "$1" wineboot -i >/dev/null 2>&1 || { echo "adversary: Wine prefix set-up failed" >&2; exit 1; }
  python3 "$3/adversary.py" "$1" "$2"; status=$?
  WINEPREFIX="$KEL_WINEPREFIX" wineserver -w
  exit $status' adversary "$runner" "$bin" "$here"
