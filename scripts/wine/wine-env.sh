# The Wine rig, shared by the test runner and the scripts: throwaway prefixes
# and one display per run, and clean-up of only what was started here. Source
# it; nothing happens until its functions are called.
#   TARNVEL_WINE_HEADLESS=1   no display at all (a silent run needs none)
#   TARNVEL_WINE_KINDS        the prefixes a session boots, each once: win64
#                             (the default; 32-bit programs run under WoW64)
#                             and win32 (a 32-bit Windows); the first is in use
#   TARNVEL_WINE_KIND         for wine-run.sh: the session's prefix to run in
# Set by the session for the prefix in use (tarnvel_wine_use switches):
#   TARNVEL_SYSDIR_UNIX       the 32-bit system directory
#   TARNVEL_WINE_START_MS     (or set beforehand, to skip timing) how long one
#                             trivial 32-bit Windows program takes there
#   TARNVEL_DEADLINE_MS       how long any one wait lasts
#   TARNVEL_RUN_DEADLINE_S    how long a whole test program runs

# Wine's own files of component names in the system directory. The marked ones
# it would still break (olepro32 is older than its payload, wshom.ocx has no
# version): every prefix gives them the system mark, so the setup passes them
# over; the others it keeps for their newer versions.
TARNVEL_WINE_OWN_DLLS="comcat.dll oleaut32.dll olepro32.dll riched32.dll shlwapi.dll uxtheme.dll wshom.ocx"
TARNVEL_WINE_MARKED_DLLS="olepro32.dll wshom.ocx"
: "${TARNVEL_WINE_BOOT_TIMEOUT:=600}"

tarnvel_log() { echo "wine-rig: $*" >&2; }

# Wine's own tools, as native 64-bit programs.
tarnvel_wine64() { WINELOADER=/usr/lib/wine/wine64 /usr/lib/wine/wine64 "$@"; }

# Where the kernel cannot execute 32-bit ELF programs (the 32-bit half of
# Wine), or TARNVEL_EMULATE_I386=1 asks for it, qemu-user is registered as
# their interpreter; elsewhere an entry of ours left by a forced run goes.
. "$(dirname "${BASH_SOURCE[0]}")/../emulation.sh"
tarnvel_enable_i386() {
  if tarnvel_emulation_forced || ! tarnvel_kernel_runs_i386; then
    tarnvel_register_qemu || return 1
    tarnvel_log "32-bit programs run under $("$TARNVEL_QEMU" --version | head -n 1)"
  else
    tarnvel_unregister_qemu || return 1
  fi
  /usr/lib/wine/wine --version >/dev/null 2>&1
}

# An Xvfb of our own when there is no display, unless headless.
tarnvel_start_display() {
  [ "${TARNVEL_WINE_HEADLESS:-}" = 1 ] && { unset DISPLAY; return 0; }
  [ -n "${DISPLAY:-}" ] && return 0
  local fifo num=""
  fifo=$(mktemp -u) && mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
  export TARNVEL_XVFB_PID=$!
  read -r -t 30 num <"$fifo" || true
  rm -f "$fifo"
  [ -n "$num" ] || { tarnvel_log "Xvfb did not start"; return 1; }
  export DISPLAY=":$num"
}

# A fresh prefix of kind $2 (win64 unless given) in $1. A fresh boot now and
# then hangs: one retry. A 32-bit prefix runs its own tools under the 32-bit
# loader and has no redirected folder; there Wine prefers its builtin
# regsvr32.exe to a file put in its place, such as the tests' stand-in.
tarnvel_boot_prefix() {
  local prefix=$1 kind=${2:-win64} try dll font
  local wine=/usr/lib/wine/wine64 sys=syswow64 overrides="mscoree,mshtml="
  [ "$kind" = win32 ] && wine=/usr/lib/wine/wine sys=system32 overrides="$overrides;regsvr32.exe=n,b"
  local tool="env WINELOADER=$wine $wine"
  export WINEPREFIX=$prefix WINEARCH=$kind WINEDEBUG=-all WINEDLLOVERRIDES=$overrides
  for try in 1 2; do
    rm -rf "$prefix" && mkdir -p "$(dirname "$prefix")"
    timeout "$TARNVEL_WINE_BOOT_TIMEOUT" $tool wineboot -i >/dev/null 2>&1 &&
      [ -f "$prefix/drive_c/windows/$sys/cmd.exe" ] && break
    tarnvel_log "wineboot attempt $try failed"
    /usr/lib/wine/wineserver64 -k >/dev/null 2>&1 || true
    [ "$try" = 2 ] && return 1
  done
  # A virtual desktop draws window frames and keeps exit codes.
  $tool reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
  $tool reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null 2>&1
  # Wine's own "MS Sans Serif" (and Marlett for the title-bar buttons): Wine
  # looks for them in the prefix's Fonts folder, not where Debian puts them.
  for font in sserife.fon ms_sans_serif.ttf marlett.ttf; do
    cp /usr/share/wine/fonts/$font "$prefix/drive_c/windows/Fonts/" ||
      { tarnvel_log "fonts-wine is missing (run scripts/bootstrap.sh)"; return 1; }
  done
  # The desktop wineboot started predates the setting: let it end, so the
  # next program starts the virtual one.
  timeout "$TARNVEL_WINE_BOOT_TIMEOUT" /usr/lib/wine/wineserver64 -w || return 1
  # Marked once the boot's own work is over, which may still write Wine's
  # files (a 32-bit prefix now and then did after the mark), and checked.
  for dll in $TARNVEL_WINE_MARKED_DLLS; do
    for try in 1 2 3; do
      $tool cmd /c attrib +s "C:\\windows\\$sys\\$dll" >/dev/null 2>&1
      $tool cmd /c attrib "C:\\windows\\$sys\\$dll" 2>/dev/null |
        sed -n 's/^\([A-Z]*\) .*/\1/p' | grep -q S && break
      [ "$try" = 3 ] && { tarnvel_log "cannot mark $dll as a system file"; return 1; }
    done
  done
  timeout "$TARNVEL_WINE_BOOT_TIMEOUT" /usr/lib/wine/wineserver64 -w || return 1
  export TARNVEL_SYSDIR_UNIX="$prefix/drive_c/windows/$sys"  # 32-bit programs' system32
}

# The only place that sizes deadlines to this machine, from one trivial 32-bit
# program's start (an emulator makes those slow): a wait ends at 30 starts,
# and at least after 30 s; a whole test program after 10 waits.
tarnvel_size_deadlines() {
  if [ -z "${TARNVEL_WINE_START_MS:-}" ]; then
    local started rc=0
    started=$(date +%s%3N)
    WINEDEBUG=-all timeout "$TARNVEL_WINE_BOOT_TIMEOUT" /usr/lib/wine/wine \
      "C:\\windows\\${TARNVEL_SYSDIR_UNIX##*/}\\cmd.exe" /c exit 7 >/dev/null 2>&1 || rc=$?
    [ "$rc" = 7 ] || { tarnvel_log "a trivial 32-bit program ended with $rc, not 7"; return 1; }
    TARNVEL_WINE_START_MS=$(($(date +%s%3N) - started))
  fi
  local deadline=$((TARNVEL_WINE_START_MS * 30))
  [ "$deadline" -ge 30000 ] || deadline=30000
  export TARNVEL_WINE_START_MS TARNVEL_DEADLINE_MS=$deadline TARNVEL_RUN_DEADLINE_S=$((deadline / 100))
  tarnvel_log "$WINEARCH: a 32-bit program starts in $TARNVEL_WINE_START_MS ms: a wait ends after" \
    "$(tarnvel_deadline_s) s, a test program after $TARNVEL_RUN_DEADLINE_S s"
}

# TARNVEL_DEADLINE_MS in whole seconds, for timeout(1).
tarnvel_deadline_s() { echo $(((TARNVEL_DEADLINE_MS + 999) / 1000)); }

# The prefix of kind $1 within the session's folder $2.
tarnvel_prefix_of() { [ "$1" = win32 ] && echo "$2/prefix32" || echo "$2/prefix"; }

# Makes the session's prefix of kind $1 the one in use, with its deadlines.
tarnvel_wine_use() { . "$(tarnvel_prefix_of "$1" "$TARNVEL_WINE_SESSION")/.tarnvel-ready"; }

# A display and a prefix of each of TARNVEL_WINE_KINDS, unless already up.
tarnvel_wine_session_start() {
  [ -n "${TARNVEL_WINE_SESSION:-}" ] && [ -f "${WINEPREFIX:-/nonexistent}/.tarnvel-ready" ] && return 0
  local root=${1:-$(mktemp -d /tmp/tarnvel-wine.XXXXXX)} kind prefix start=${TARNVEL_WINE_START_MS:-}
  export TARNVEL_WINE_KINDS=${TARNVEL_WINE_KINDS:-win64} TARNVEL_WINE_SESSION=$root
  tarnvel_enable_i386 && tarnvel_start_display || return 1
  for kind in $TARNVEL_WINE_KINDS; do
    prefix=$(tarnvel_prefix_of "$kind" "$root")
    tarnvel_log "booting a throwaway $kind prefix in $prefix (DISPLAY=${DISPLAY:-none})"
    TARNVEL_WINE_START_MS=$start
    tarnvel_boot_prefix "$prefix" "$kind" && tarnvel_size_deadlines || return 1
    declare -p WINEPREFIX WINEARCH WINEDLLOVERRIDES TARNVEL_SYSDIR_UNIX TARNVEL_WINE_START_MS \
      TARNVEL_DEADLINE_MS TARNVEL_RUN_DEADLINE_S | sed 's/^declare -x/export/' >"$prefix/.tarnvel-ready"
  done
  tarnvel_wine_session_join "$root"
}

# Takes up the session in $1, started here or in another shell: the first
# kind's prefix in use; for the test runner, the longest a program may take.
tarnvel_wine_session_join() {
  local kind longest=0
  export TARNVEL_WINE_SESSION=$1
  for kind in $TARNVEL_WINE_KINDS; do
    tarnvel_wine_use "$kind" || return 1
    [ "$TARNVEL_RUN_DEADLINE_S" -le "$longest" ] || longest=$TARNVEL_RUN_DEADLINE_S
  done
  export TARNVEL_TEST_TIMEOUT_S=$longest
  tarnvel_wine_use "${TARNVEL_WINE_KINDS%% *}"
}

tarnvel_wine_session_stop() {
  local root=${TARNVEL_WINE_SESSION:-} kind
  [ -n "$root" ] && for kind in ${TARNVEL_WINE_KINDS:-win64}; do
    WINEPREFIX=$(tarnvel_prefix_of "$kind" "$root") /usr/lib/wine/wineserver64 -k >/dev/null 2>&1 || true
  done
  [ -n "${TARNVEL_XVFB_PID:-}" ] && { kill "$TARNVEL_XVFB_PID" 2>/dev/null; unset TARNVEL_XVFB_PID DISPLAY; }
  [ -n "$root" ] && [ -d "$root" ] && rm -rf "$root"
  unset TARNVEL_WINE_SESSION
}
