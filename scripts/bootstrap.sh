#!/usr/bin/env bash
# Installs everything the build and the tests need, from Debian's packages.
# Safe to run again: it only installs what is missing.
set -euo pipefail
. "$(dirname "$0")/emulation.sh"

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  SUDO="sudo"
fi
export DEBIAN_FRONTEND=noninteractive

native=(cmake g++ make googletest libgtest-dev g++-mingw-w64-i686 mingw-w64-i686-dev
        xvfb imagemagick clang-format fonts-wine clang libclang-rt-dev
        osslsigncode openssl hyperfine nsis procps)
i386=(wine wine32:i386 wine64)

missing=()
for p in "${native[@]}" "${i386[@]}"; do
  if ! dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q '^install ok installed'; then
    missing+=("$p")
  fi
done

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386

fi

# Where the kernel runs no 32-bit programs (or emulation is asked for), Wine's
# 32-bit half needs qemu-user.
if tarnvel_emulation_forced || ! tarnvel_kernel_runs_i386; then
  tarnvel_install_qemu
fi

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "bootstrap: installing ${missing[*]}"
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
# The win32 threads flavour has no winpthread DLL dependency; make it the default.
if command -v update-alternatives >/dev/null; then
  $SUDO update-alternatives --set i686-w64-mingw32-g++ /usr/bin/i686-w64-mingw32-g++-win32 >/dev/null 2>&1 || true
  $SUDO update-alternatives --set i686-w64-mingw32-gcc /usr/bin/i686-w64-mingw32-gcc-win32 >/dev/null 2>&1 || true
fi
