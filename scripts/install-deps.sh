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

# LMMS is the third-party host of the real-host test: only its i386 build hosts
# Windows plug-ins, and installing it replaces an amd64 lmms.
for pkg in cmake ninja-build g++ g++-mingw-w64-i686 g++-mingw-w64-x86-64-posix wine wine32:i386 \
           wine64 xvfb googletest xauth libcli11-dev nsis python3 ccache clang-format clang lld \
           lmms:i386 lmms-vst-server:i386; do
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
# emulator, registered as the interpreter of 32-bit x86 programs. Wine reserves
# its address ranges with MAP_FIXED_NOREPLACE, which qemu honours only from
# version 8 on, so Debian 12 takes qemu from its backports.
if ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
  sudo_cmd=""; [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
  qemu=/usr/bin/qemu-i386
  qemu_major() { "$qemu" --version 2>/dev/null | sed -n 's/^qemu-i386 version \([0-9]*\).*/\1/p'; }
  if [ "$(qemu_major)" = "" ] || [ "$(qemu_major)" -lt 8 ]; then
    echo "Installing: qemu-user (this kernel runs no 32-bit programs)" >&2
    target=()
    if grep -q '^VERSION_CODENAME=bookworm' /etc/os-release; then
      list=/etc/apt/sources.list.d/bookworm-backports.sources
      if [ ! -e "$list" ]; then
        printf '%s\n' 'Types: deb' 'URIs: http://deb.debian.org/debian' \
          'Suites: bookworm-backports' 'Components: main' \
          'Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg' | $sudo_cmd tee "$list" >/dev/null
      fi
      $sudo_cmd apt-get update -qq
      target=(-t bookworm-backports)
    fi
    DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq "${target[@]}" qemu-user >&2
  fi
  binfmt=/proc/sys/fs/binfmt_misc
  [ -e "$binfmt/register" ] || $sudo_cmd mount -t binfmt_misc binfmt_misc "$binfmt"
  if [ ! -e "$binfmt/qemu-i386" ]; then
    magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
    mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
    echo ":qemu-i386:M::$magic:$mask:$qemu:F" | $sudo_cmd tee "$binfmt/register" >/dev/null
  fi
  if ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
    echo "install-deps: 32-bit Wine cannot run on this machine" >&2
    exit 1
  fi
fi
