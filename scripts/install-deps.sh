#!/usr/bin/env bash
# Installs what building and testing need on a Debian machine, only what is
# missing. Safe to run again.
set -euo pipefail

need=()
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  sudo_cmd=""; [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
  $sudo_cmd dpkg --add-architecture i386
  added_arch=1
fi

for pkg in cmake ninja-build g++ g++-mingw-w64-i686 wine wine32:i386 xvfb googletest \
           xauth libcli11-dev nsis python3; do
  have_pkg "$pkg" || need+=("$pkg")
done

if [ "${#need[@]}" -gt 0 ] || [ -n "${added_arch:-}" ]; then
  sudo_cmd=""; [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
  echo "Installing: ${need[*]}" >&2
  $sudo_cmd apt-get update -qq
  if [ "${#need[@]}" -gt 0 ]; then
    DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq \
      "${need[@]}" >&2
  fi
fi
