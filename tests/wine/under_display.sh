#!/bin/sh
# Runs a Windows test program under a virtual display, in a Wine prefix of its
# own: a Wine server started without a display cannot open windows later, so
# the shared prefix of the other Windows tests (set up without one) will not
# do. KEL_REQUIRE_DISPLAY tells the program that a check which finds no
# display must fail, not skip.
#
#   under_display.sh WINE_RUNNER PROGRAM.exe [ARGUMENTS...]
set -eu
runner="$1"
shift
prefix="$(mktemp -d "${TMPDIR:-/tmp}/kelbridge-display.XXXXXX")"
trap 'WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1 || true; rm -rf "$prefix"' EXIT
export KEL_WINEPREFIX="$prefix" KEL_REQUIRE_DISPLAY=1
# The server ends before the display does, or Wine's X11 driver complains
# about the broken connection.
xvfb-run -a sh -c '
  runner="$1"; shift
  "$runner" wineboot -i >/dev/null 2>&1 || { echo "under_display: Wine prefix set-up failed" >&2; exit 1; }
  "$runner" "$@"; status=$?
  WINEPREFIX="$KEL_WINEPREFIX" wineserver -w
  exit $status' under_display "$runner" "$@"
