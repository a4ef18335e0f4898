#!/bin/sh
# Runs a Windows program under Wine, quietly.
# KEL_WINEPREFIX chooses the prefix; by default ${TMPDIR:-/tmp}/kelbridge-wine-<uid>,
# one prefix shared by every run of this user on the machine (registered
# engines included): give each CI job or build its own KEL_WINEPREFIX.
# KEL_WINE chooses the Wine loader (wine64-run.sh sets the 64-bit one).
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
export WINEPREFIX="${KEL_WINEPREFIX:-${TMPDIR:-/tmp}/kelbridge-wine-$(id -u)}"
# Without address-space randomisation: where 32-bit Wine runs under qemu's
# user-mode emulator, a randomised layout now and then takes the addresses
# Wine must map at start ("failed to map the shared user data").
if command -v setarch >/dev/null 2>&1; then
  exec setarch "$(uname -m)" -R "${KEL_WINE:-wine}" "$@"
fi
exec "${KEL_WINE:-wine}" "$@"
