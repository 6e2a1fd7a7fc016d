#!/usr/bin/env bash
# Kill storm: "setup.exe /s" under Wine against present targets, killed hard at
# many moments spread over its run. A kill is SIGKILL to the Unix process that
# is the Windows process: none of its code runs on the way out, as in a power
# cut for that process (the machine's caches survive). After every kill each
# target must hold its old bytes or exactly its payload; after a clean run at
# the end no temporary file may be left in the system directory.
#
#   scripts/kill-storm.sh [--kills N] [--disk-full]
#
# --disk-full then also runs the setup against a system directory on a small
# tmpfs (needs root for mount): exit code 1, every target old or payload, no
# leftover. Not run by CI; about a minute on a machine that runs 32-bit code
# natively (after the prefix boot). Exits non-zero when a check fails.
set -euo pipefail
cd "$(dirname "$0")/.."

kills=48
disk_full=0
while [ $# -gt 0 ]; do
  case $1 in
    --kills) kills=$2; shift 2 ;;
    --disk-full) disk_full=1; shift ;;
    *) echo "usage: $0 [--kills N] [--disk-full]" >&2; exit 2 ;;
  esac
done

# Nine components that Wine does not provide itself, small to large.
targets=(agentctl.dll asycfilt.dll COMCTL32.OCX Flash.ocx MSCOMCTL.OCX msdxm.ocx MSINET.OCX
         msvbvm60.dll VB6STKIT.DLL)
old_size=50000

. scripts/lib.sh
setup=build/win32/setup.exe
[ -f "$setup" ] || tarnvel_build_win32 --target setup
# What setup.exe carries: the stand-ins unless a packager bound other files.
payload=$(tarnvel_payload_dir)

unset WINEPREFIX TARNVEL_WINE_SESSION TARNVEL_SYSDIR_UNIX DISPLAY
. scripts/wine/wine-env.sh
work=$(mktemp -d /tmp/tarnvel-storm.XXXXXX)
small=$work/small
cleanup() {
  if mountpoint -q "${TARNVEL_SYSDIR_UNIX:-/nonexistent}"; then
    /usr/lib/wine/wineserver64 -k >/dev/null 2>&1 || true
    /usr/lib/wine/wineserver64 -w >/dev/null 2>&1 || true
    umount "$TARNVEL_SYSDIR_UNIX" 2>/dev/null || umount -l "$TARNVEL_SYSDIR_UNIX"
  fi
  if mountpoint -q "$small"; then umount "$small" 2>/dev/null || umount -l "$small"; fi
  tarnvel_wine_session_stop
  rm -rf "$work"
}
trap cleanup EXIT
echo "storm: booting a throwaway Wine prefix"
tarnvel_wine_session_start "$work/wine" >/dev/null
export WINEDEBUG=-all
sysdir=$TARNVEL_SYSDIR_UNIX
# One wineserver for all runs (ended by the session's clean-up), in place of
# the one the boot left, so each run starts at the same pace.
/usr/lib/wine/wineserver64 -k || true
/usr/lib/wine/wineserver64 -w
/usr/lib/wine/wineserver64 -p >/dev/null 2>&1
/usr/lib/wine/wine cmd /c exit 0 >/dev/null 2>&1

mkdir -p "$work/old"
for name in "${targets[@]}"; do
  { printf 'MZ old %s ' "$name"; head -c "$old_size" /dev/zero | tr '\0' 'o'; } >"$work/old/$name"
done
ls -A "$sysdir" | sort >"$work/baseline"

# Puts every target back to its old bytes, each by one rename, so a
# registration still holding the previous file keeps its own copy. Old
# targets are dated 2000: a file the setup renamed in is newer than $ref.
ref=$work/ref
touch -d 2001-01-01 "$ref"
restore_targets() {
  local name
  for name in "${targets[@]}"; do
    cp "$work/old/$name" "$sysdir/.storm-restore"
    touch -d 2000-01-01 "$sysdir/.storm-restore"
    mv -f "$sysdir/.storm-restore" "$sysdir/$name"
  done
}
# old, payload, other or absent
state_of() {
  local file=$sysdir/$1
  if [ ! -e "$file" ]; then echo absent
  elif cmp -s "$file" "$work/old/$1"; then echo old
  elif cmp -s "$file" "$payload/$1"; then echo payload
  else echo other
  fi
}
# Every file of the system directory but the targets: name, size, time.
others() {
  (cd "$sysdir" && find . -type f -printf '%P %s %T@\n') | grep -vi -f <(printf '^%s \n' "${targets[@]}") | sort
}
# Names in the system directory that were not there before and are no target.
leftovers() {
  ls -A "$sysdir" | sort | comm -13 "$work/baseline" - | grep -vixF -f <(printf '%s\n' "${targets[@]}") || true
}

# Kill moments follow the run's progress rather than the clock, since Wine's
# start-up time varies with the machine's load. Run i has a point: k targets
# renamed over (k from 0 to 9), either with the next temporary file present
# (then it kills at once) or not (then it kills 0 to 19 ms later). The watch
# uses only shell builtins (a read with a timeout on a FIFO is the pause), so
# it takes little from the run it watches.
mkfifo "$work/tick"
exec 9<>"$work/tick"
pause_ms() { read -r -t "$(printf '0.%03d' "$1")" -u 9 || true; }
reached() {
  local renamed=$1 with_temporary=$2 name newer=0
  for name in "${targets[@]}"; do
    [ "$sysdir/$name" -nt "$ref" ] && newer=$((newer + 1))
  done
  [ "$newer" -ge "$renamed" ] || return 1
  [ "$with_temporary" -eq 0 ] || compgen -G "$sysdir/~tvl*" >/dev/null
}

declare -A count=([old]=0 [payload]=0 [other]=0 [absent]=0)
declare -A replaced_at_kill=()
seen_leftovers=0
missed=0
bad=()
start=$(date +%s)
# A run that ends before its moment kills nothing and is tried again.
for ((i = 0, hit = 0; hit < kills && i < 3 * kills; i++)); do
  restore_targets
  point=$((i % (2 * ${#targets[@]} + 2)))
  renamed=$((point / 2))
  with_temporary=$((point % 2))
  /usr/lib/wine/wine "$setup" /s &
  pid=$!
  while kill -0 "$pid" 2>/dev/null && ! reached "$renamed" "$with_temporary"; do pause_ms 1; done
  [ "$with_temporary" -eq 1 ] || pause_ms $((RANDOM % 20))
  # Our own child, not yet waited for: the PID cannot have been reused. The
  # Wine loader becomes the Windows process itself (same PID).
  kill -KILL "$pid" 2>/dev/null || true
  rc=0
  wait "$pid" 2>/dev/null || rc=$?
  payloads=0
  for name in "${targets[@]}"; do
    state=$(state_of "$name")
    [ "$rc" -eq 137 ] && count[$state]=$((count[$state] + 1))
    [ "$state" = payload ] && payloads=$((payloads + 1))
    case $state in other | absent) bad+=("run $i ($renamed renamed, temporary $with_temporary): $name $state") ;; esac
  done
  if [ "$rc" -ne 137 ]; then
    missed=$((missed + 1))  # ended (exit code rc) before the kill
    continue
  fi
  hit=$((hit + 1))
  replaced_at_kill[$payloads]=$((${replaced_at_kill[$payloads]:-0} + 1))
  seen_leftovers=$((seen_leftovers + $(leftovers | grep -c . || true)))
done
storm_seconds=$(($(date +%s) - start))

# A clean run sweeps what the killed ones left and replaces every target.
restore_targets
set +e
/usr/lib/wine/wine "$setup" /s
clean_rc=$?
set -e
clean_payload=0
for name in "${targets[@]}"; do
  [ "$(state_of "$name")" = payload ] && clean_payload=$((clean_payload + 1))
done
left=$(leftovers)

ok=1
echo
echo "Kill storm: ${hit} hard kills of setup.exe /s in ${storm_seconds} s (${missed} runs ended first), ${#targets[@]} present targets"
echo "  targets after the kills: old ${count[old]}, payload ${count[payload]}, other ${count[other]}, absent ${count[absent]}"
printf '  kills by targets already replaced:'
for k in $(printf '%s\n' "${!replaced_at_kill[@]}" | sort -n); do printf ' %s:%s' "$k" "${replaced_at_kill[$k]}"; done
echo
echo "  leftovers seen right after the kills (swept by the next run): ${seen_leftovers}"
echo "  clean run: exit ${clean_rc}, ${clean_payload}/${#targets[@]} targets payload, leftovers: ${left:-none}"
[ "${count[other]}" -eq 0 ] && [ "${count[absent]}" -eq 0 ] && [ ${#bad[@]} -eq 0 ] || ok=0
[ "$hit" -ge $((kills * 5 / 6)) ] || ok=0  # most kills land mid-run
[ "$clean_rc" -eq 0 ] && [ "$clean_payload" -eq ${#targets[@]} ] && [ -z "$left" ] || ok=0
for line in "${bad[@]}"; do echo "  $line"; done

if [ "$disk_full" -eq 1 ]; then
  # The system directory moves onto a tmpfs of its own, which then shrinks to
  # what it holds plus about 1 MB: some payloads fit, the larger ones do not.
  /usr/lib/wine/wineserver64 -k
  /usr/lib/wine/wineserver64 -w
  mkdir -p "$small"
  mount -t tmpfs -o size=2g tmpfs "$small"
  cp -a "$sysdir/." "$small/"
  mount --bind "$small" "$sysdir"
  restore_targets
  others_before=$(others)
  /usr/lib/wine/wine cmd /c exit 0 >/dev/null 2>&1
  used_kb=$(df -k --output=used "$small" | tail -1)
  mount -o remount,size=$((used_kb + 1024))k "$small"
  set +e
  /usr/lib/wine/wine "$setup" /s
  full_rc=$?
  set -e
  declare -A full=([old]=0 [payload]=0 [other]=0 [absent]=0)
  for name in "${targets[@]}"; do
    state=$(state_of "$name")
    full[$state]=$((full[$state] + 1))
  done
  full_left=$(leftovers)
  echo "Disk full: system directory on a tmpfs with about 1 MB free"
  echo "  exit ${full_rc}; targets: old ${full[old]}, payload ${full[payload]}, other ${full[other]}, absent ${full[absent]}; leftovers: ${full_left:-none}"
  [ "$full_rc" -eq 1 ] && [ "${full[other]}" -eq 0 ] && [ "${full[absent]}" -eq 0 ] || ok=0
  [ "${full[old]}" -gt 0 ] && [ "${full[payload]}" -gt 0 ] && [ -z "$full_left" ] || ok=0
  [ "$others_before" = "$(others)" ] || { echo "  other files of the system directory changed"; ok=0; }
fi

if [ "$ok" -eq 1 ]; then
  echo "  result:  every target old or payload at every kill, nothing left behind"
else
  echo "  result:  FAILED"
  exit 1
fi
