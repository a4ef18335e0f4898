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
           xauth libcli11-dev; do
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

# Some kernels cannot run 32-bit Linux programs (no IA32 emulation), and the
# 32-bit Wine loader is one. There, 32-bit Wine runs under qemu's user-mode
# emulator, registered as the interpreter of 32-bit x86 programs.
if ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
  sudo_cmd=""; [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
  if ! have_pkg qemu-user-static; then
    echo "Installing: qemu-user-static (this kernel runs no 32-bit programs)" >&2
    DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq qemu-user-static >&2
  fi
  binfmt=/proc/sys/fs/binfmt_misc
  [ -e "$binfmt/register" ] || $sudo_cmd mount -t binfmt_misc binfmt_misc "$binfmt"
  if [ ! -e "$binfmt/qemu-i386" ]; then
    magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
    mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
    echo ":qemu-i386:M::$magic:$mask:/usr/bin/qemu-i386-static:F" |
      $sudo_cmd tee "$binfmt/register" >/dev/null
  fi
  if ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
    echo "install-deps: 32-bit Wine cannot run on this machine" >&2
    exit 1
  fi
fi
