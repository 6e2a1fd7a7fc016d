#!/usr/bin/env bash
# The setup at work: builds it, gives a throwaway Wine prefix older copies of
# a few components, runs "setup.exe /s" there and reports what it replaced and
# registered. Exits non-zero when the run did not do its job.
set -euo pipefail
cd "$(dirname "$0")/.."

: "${TARNVEL_DEMO_RUN_TIMEOUT:=1200}"

# Components Wine does not provide itself, so the prefix has none of them.
seeded=(agentctl.dll MSCOMCTL.OCX MSINET.OCX Flash.ocx)
old_size=4096
mark_key='HKCU\Software\Tarnvel\StandIn\Registered'

. scripts/lib.sh
tarnvel_build_win32
# What setup.exe carries: the stand-ins, unless a packager bound other files.
payload=$(tarnvel_payload_dir)

# A prefix of our own, whatever the environment points at, and no display:
# the silent run shows nothing and needs none.
unset WINEPREFIX TARNVEL_WINE_SESSION TARNVEL_SYSDIR_UNIX DISPLAY
export TARNVEL_WINE_HEADLESS=1
. scripts/wine/wine-env.sh
trap tarnvel_wine_session_stop EXIT
echo "demo: booting a throwaway Wine prefix"
tarnvel_wine_session_start
sysdir=$TARNVEL_SYSDIR_UNIX

for name in "${seeded[@]}"; do
  { printf 'MZ'; head -c $((old_size - 2)) /dev/zero | tr '\0' 'o'; } >"$sysdir/$name"
done

echo "demo: running setup.exe /s"
start=$(date +%s%N)
set +e
timeout "$TARNVEL_DEMO_RUN_TIMEOUT" /usr/lib/wine/wine build/win32/setup.exe /s
rc=$?
set -e
seconds=$((($(date +%s%N) - start) / 1000000000))

replaced=()
for name in "${seeded[@]}"; do
  cmp -s "$sysdir/$name" "$payload/$name" && replaced+=("$name")
done

# The setup waits for its registrations before it ends: their marks are
# there now, or the exit code says that one failed.
have=$(tarnvel_wine64 reg query "$mark_key" 2>/dev/null | awk '$2 == "REG_DWORD" {print $1}')
log=$(find "$WINEPREFIX/drive_c/users" -name 'Tarnvel setup *.log' | sort | tail -n 1)

ok=1
echo
echo "Tarnvel setup, silent run under Wine"
printf '  %-14s %9s -> %-9s %s\n' component "old size" "new size" "same as payload"
for name in "${seeded[@]}"; do
  same=no
  cmp -s "$sysdir/$name" "$payload/$name" && same=yes
  [ "$same" = yes ] || ok=0
  printf '  %-14s %9d -> %-9d %s\n' "$name" "$old_size" "$(stat -c %s "$sysdir/$name")" "$same"
done
list="none "
[ -n "$have" ] && list=$(tr '\n' ' ' <<<"$have")
echo "  registered:    ${list}"
for name in "${seeded[@]}"; do
  grep -qixF "$name" <<<"$have" || ok=0
done
echo "  exit code:     $rc"
[ "$rc" -eq 0 ] || ok=0
echo "  silent run:    ${seconds} s wall time"
if [ -n "$log" ]; then
  echo "  its log:       ${log#"$WINEPREFIX/drive_c/"}"
  sed 's/^/    /' "$log"
else
  echo "  its log:       none found"
  ok=0
fi
if [ "$ok" -eq 1 ]; then
  echo "  result:        every seeded component replaced and registered"
else
  echo "  result:        FAILED"
  exit 1
fi
