#!/bin/sh
# Runs a Windows program under Wine with a quiet, throwaway prefix.
# KEL_WINEPREFIX chooses the prefix; by default one beside the build tree.
# KEL_WINE chooses the Wine loader (wine64-run.sh sets the 64-bit one).
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
export WINEPREFIX="${KEL_WINEPREFIX:-${TMPDIR:-/tmp}/kelbridge-wine-$(id -u)}"
exec "${KEL_WINE:-wine}" "$@"
