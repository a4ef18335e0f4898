#!/bin/sh
# Runs a 64-bit Windows program under 64-bit Wine, as wine-run.sh does.
# Plain `wine` starts the 32-bit loader first, which hands 64-bit programs on
# to wine64 but cannot start at all where the kernel runs no 32-bit code;
# Debian keeps wine64 outside PATH. A prefix that wine64 creates is 64-bit.
if [ -z "${KEL_WINE:-}" ]; then
  for loader in /usr/lib/wine/wine64 wine64 wine; do
    if command -v "$loader" >/dev/null 2>&1; then
      KEL_WINE="$loader"
      break
    fi
  done
fi
export KEL_WINE
exec "$(dirname "$0")/wine-run.sh" "$@"
