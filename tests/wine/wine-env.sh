# Shared by the Wine test runner and the scripts: one throwaway Wine prefix and
# one display per test run, and clean-up of only what was started here.
# Source it; it defines functions and changes nothing until they are called.

# The seven component names that Wine provides itself in the system directory.
# Wine loads them from there, so they are given the system mark in every test
# prefix: the setup's presence test then passes them over.
TARNVEL_WINE_OWN_DLLS="comcat.dll oleaut32.dll olepro32.dll riched32.dll shlwapi.dll uxtheme.dll wshom.ocx"

: "${TARNVEL_WINE_BOOT_TIMEOUT:=600}"

tarnvel_log() { echo "wine-rig: $*" >&2; }

# 64-bit Wine runs Wine's own tools natively; our 32-bit programs run in the
# same prefix under WoW64.
tarnvel_wine64() { WINELOADER=/usr/lib/wine/wine64 /usr/lib/wine/wine64 "$@"; }

# Some kernels (certain virtual machines) cannot execute 32-bit ELF programs,
# which the 32-bit half of Wine is. Debian's qemu-user-static runs them then,
# registered as the interpreter for i386 ELF files.
tarnvel_enable_i386() {
  if /usr/lib/wine/wine --version >/dev/null 2>&1; then
    return 0
  fi
  local qemu=/usr/bin/qemu-i386-static
  if [ ! -x "$qemu" ]; then
    tarnvel_log "this kernel cannot run 32-bit programs and $qemu is missing (run scripts/bootstrap.sh)"
    return 1
  fi
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo=sudo
  if [ ! -e /proc/sys/fs/binfmt_misc/register ]; then
    $sudo mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc || return 1
  fi
  if [ ! -e /proc/sys/fs/binfmt_misc/tarnvel-i386 ]; then
    printf '%s' ':tarnvel-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:'"$qemu"':F' \
      | $sudo tee /proc/sys/fs/binfmt_misc/register >/dev/null || return 1
  fi
  /usr/lib/wine/wine --version >/dev/null 2>&1
}

# Starts Xvfb when there is no display; remembers its PID for clean-up.
# TARNVEL_WINE_HEADLESS=1 asks for no display at all (a silent run needs none).
tarnvel_start_display() {
  if [ "${TARNVEL_WINE_HEADLESS:-}" = 1 ]; then
    unset DISPLAY
    return 0
  fi
  if [ -n "${DISPLAY:-}" ]; then
    return 0
  fi
  local fifo
  fifo=$(mktemp -u)
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
  TARNVEL_XVFB_PID=$!
  local num=""
  read -r -t 30 num <"$fifo" || true
  rm -f "$fifo"
  if [ -z "$num" ]; then
    tarnvel_log "Xvfb did not start"
    return 1
  fi
  export DISPLAY=":$num"
  export TARNVEL_XVFB_PID
}

# Boots a fresh prefix in $1. A fresh boot now and then hangs: retry once.
tarnvel_boot_prefix() {
  local prefix=$1 try
  export WINEPREFIX=$prefix WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  for try in 1 2; do
    rm -rf "$prefix"
    mkdir -p "$(dirname "$prefix")"
    if timeout "$TARNVEL_WINE_BOOT_TIMEOUT" env WINELOADER=/usr/lib/wine/wine64 /usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1 \
       && [ -d "$prefix/drive_c/windows/syswow64" ]; then
      break
    fi
    tarnvel_log "wineboot attempt $try failed"
    WINEPREFIX=$prefix /usr/lib/wine/wineserver64 -k >/dev/null 2>&1 || true
    [ "$try" = 2 ] && return 1
  done
  # A virtual desktop gives windows their frame and title, and keeps exit codes.
  tarnvel_wine64 reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
  tarnvel_wine64 reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null 2>&1
  local dll
  for dll in $TARNVEL_WINE_OWN_DLLS; do
    tarnvel_wine64 cmd /c attrib +s "C:\\windows\\syswow64\\$dll" >/dev/null 2>&1
  done
  # 32-bit programs see C:\windows\system32 through the WoW64 redirection.
  export TARNVEL_SYSDIR_UNIX="$prefix/drive_c/windows/syswow64"
  touch "$prefix/.tarnvel-ready"
}

# Makes a display and a prefix for one test run (unless one is already up).
tarnvel_wine_session_start() {
  local root=${1:-$(mktemp -d /tmp/tarnvel-wine.XXXXXX)}
  if [ -n "${TARNVEL_WINE_SESSION:-}" ] && [ -f "${WINEPREFIX:-/nonexistent}/.tarnvel-ready" ]; then
    return 0
  fi
  tarnvel_enable_i386 || return 1
  tarnvel_start_display || return 1
  tarnvel_log "booting a throwaway prefix in $root/prefix (DISPLAY=${DISPLAY:-none})"
  tarnvel_boot_prefix "$root/prefix" || return 1
  export TARNVEL_WINE_SESSION=$root
}

tarnvel_wine_session_stop() {
  local root=${TARNVEL_WINE_SESSION:-}
  if [ -n "${WINEPREFIX:-}" ]; then
    /usr/lib/wine/wineserver64 -k >/dev/null 2>&1 || true
  fi
  if [ -n "${TARNVEL_XVFB_PID:-}" ]; then
    kill "$TARNVEL_XVFB_PID" 2>/dev/null || true
    unset TARNVEL_XVFB_PID
    unset DISPLAY
  fi
  if [ -n "$root" ] && [ -d "$root" ]; then
    rm -rf "$root"
  fi
  unset TARNVEL_WINE_SESSION
}
