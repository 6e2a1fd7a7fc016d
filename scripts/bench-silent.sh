#!/usr/bin/env bash
# Times the silent run under Wine, side by side with what it is measured
# against, in one throwaway prefix without a display:
#   - no target present: setup.exe /s against an empty program;
#   - 21 targets present: setup.exe /s, the bare job (a program that only
#     starts regsvr32.exe for the 21 targets, hidden, not waiting), the bare
#     job that also waits for them at the end, the limit (a program that does
#     setup.exe's durable writes, starts and waits and nothing else), an
#     empty program, and three NSIS installers built from the same files
#     that write them and register them: with Exec (not waiting), with
#     ExecWait (waiting for each), and with Library.nsh's InstallLib
#     (registering in its own process).
# The prefix's regsvr32.exe is an empty program, so that the registrations
# cost only their start (InstallLib's in-process ones run the stand-ins' own
# DllRegisterServer: one registry value each). Every command's job is
# checked once before it is timed; the targets are reset before every timed
# run. Not run by CI.
#
#   bash scripts/bench-silent.sh            # TARNVEL_BENCH_RUNS=12 by default
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

: "${TARNVEL_BENCH_RUNS:=12}"
: "${TARNVEL_BENCH_REGISTER_TIMEOUT:=120}"

. scripts/lib.sh
tarnvel_build_win32 --target setup
setup_exe=$root/build/win32/setup.exe
payload=$(tarnvel_payload_dir)

work=$root/build/bench
rm -rf "$work"
mkdir -p "$work"
cc=(i686-w64-mingw32-gcc -Os -s -static -mwindows -Wall -Wextra -Werror)
"${cc[@]}" -o "$work/empty.exe" scripts/bench/empty.c
"${cc[@]}" -DRECORD -o "$work/record.exe" scripts/bench/empty.c
"${cc[@]}" -o "$work/bare_job.exe" scripts/bench/bare_job.c
"${cc[@]}" -DWAIT -o "$work/bare_job_wait.exe" scripts/bench/bare_job.c
"${cc[@]}" -o "$work/limit.exe" scripts/bench/limit.c

unset WINEPREFIX TARNVEL_WINE_SESSION TARNVEL_SYSDIR_UNIX DISPLAY
export TARNVEL_WINE_HEADLESS=1
. scripts/wine/wine-env.sh

# The targets: every manifest name that Wine does not ship. Wine's own DLLs
# stay out of the job: the bench gives them the system mark itself (below),
# whatever the rig marks, so setup.exe passes over them and every command
# times the same 21 files.
targets=()
while IFS=$'\t' read -r name _; do
  lower=$(tr 'A-Z' 'a-z' <<<"$name")
  case " $TARNVEL_WINE_OWN_DLLS " in *" $lower "*) continue ;; esac
  targets+=("$name")
done <install/manifest.tsv
[ ${#targets[@]} -eq 21 ] || { echo "bench: expected 21 targets, found ${#targets[@]}" >&2; exit 1; }
# The limit's arguments: each target with its payload's size.
sized=()
for name in "${targets[@]}"; do sized+=("$name=$(stat -c %s "$payload/$name")"); done

# The NSIS installers: the same 21 files, each written into the system
# directory only where present and then registered. Stored uncompressed, as
# setup.exe carries them. $1 names the installer, $2 how it registers:
#   exec      Exec regsvr32.exe: started, not waited for;
#   execwait  ExecWait regsvr32.exe: each waited for before the next file;
#   library   Library.nsh's InstallLib REGDLL NOTSHARED NOREBOOT_NOTPROTECTED:
#             no shared-DLL count, no Windows File Protection check (that
#             would call sfc through the System plugin), and a file in use
#             fails instead of going in at the next reboot (setup.exe leaves
#             nothing for a reboot either). It would create a missing file,
#             hence IfFileExists around it. It compares versions first and
#             keeps an installed file as new as the payload, only registering
#             it. Its REGDLL is NSIS's RegDLL: the installer loads the file
#             itself (LoadLibraryEx), calls its DllRegisterServer and unloads
#             it, so it waits for each registration but starts no
#             regsvr32.exe; the stand-ins' registry marks show it ran.
#             (LIBRARY_X64 would ExecWait regsvr32.exe instead, but with the
#             file system redirection off, in the 64-bit system directory.)
nsis_installer() {
  local out=$1 how=$2 name i=0 verb=Exec
  [ "$how" != execwait ] || verb=ExecWait
  {
    [ "$how" != library ] || echo '!include Library.nsh'
    echo 'Name "Tarnvel bench"'
    echo "OutFile \"$work/$out.exe\""
    echo 'SilentInstall silent'
    echo 'RequestExecutionLevel admin'
    echo 'SetCompress off'
    echo 'Section'
    echo '  SetOutPath $SYSDIR'
    echo '  SetOverwrite on'
    for name in "${targets[@]}"; do
      i=$((i + 1))
      if [ "$how" = library ]; then
        # The macro is many instructions: a label, not a relative jump.
        echo "  IfFileExists \"\$SYSDIR\\$name\" 0 absent$i"
        echo "    !insertmacro InstallLib REGDLL NOTSHARED NOREBOOT_NOTPROTECTED \"$payload/$name\" \"\$SYSDIR\\$name\" \$SYSDIR"
        echo "  absent$i:"
      else
        echo "  IfFileExists \"\$SYSDIR\\$name\" 0 +3"
        echo "    File \"$payload/$name\""
        echo "    $verb '\"\$SYSDIR\\regsvr32.exe\" /s \"\$SYSDIR\\$name\"'"
      fi
    done
    echo 'SectionEnd'
  } >"$work/$out.nsi"
  makensis -V1 "$work/$out.nsi"
}
nsis_installer nsis-setup exec
nsis_installer nsis-execwait execwait
nsis_installer nsis-library library

trap tarnvel_wine_session_stop EXIT
tarnvel_wine_session_start
sysdir=$TARNVEL_SYSDIR_UNIX
# One server for the whole benchmark: each new one starts the prefix's
# services again with its first program, which would then take a second.
/usr/lib/wine/wineserver64 -k || true
/usr/lib/wine/wineserver64 -w
/usr/lib/wine/wineserver64 -p
# Wine's own DLLs keep the system mark here, whatever the rig gives them.
own=()
for dll in $TARNVEL_WINE_OWN_DLLS; do own+=("attrib +s C:\\windows\\syswow64\\$dll &"); done
tarnvel_wine64 cmd /c "${own[*]} exit 0" >/dev/null 2>&1

# Run between timed runs: the registrations the last run started end first
# (they would take the processor from the next run), then older, smaller
# copies go in place of the 21 targets. They carry no version record, so
# setup.exe and InstallLib, which keep a target as new as its payload, still
# write every one. pgrep only looks.
settle='while pgrep -f "regsvr32[.]exe" >/dev/null; do sleep 0.05; done'
cat >"$work/present.sh" <<EOF
$settle
for name in ${targets[*]}; do printf 'MZ old copy' >"$sysdir/\$name"; done
EOF
cat >"$work/absent.sh" <<EOF
$settle
for name in ${targets[*]}; do rm -f "$sysdir/\$name"; done
EOF

wine=/usr/lib/wine/wine
record=$work/record
export TARNVEL_BENCH_RECORD="Z:${record//\//\\}"
cp "$work/record.exe" "$sysdir/regsvr32.exe"

fail() { echo "bench: $*" >&2; exit 1; }
records() { cat "$record"/*.txt 2>/dev/null | tr -cd '\n' | wc -c; }
# The stand-ins' DllRegisterServer sets a value named after the file here.
mark_key='HKCU\Software\Tarnvel\StandIn\Registered'
# Runs one command and checks its job: exit code 0; `expect` registrations
# started (one per target, naming it), or with `in-process` none started and
# each target's registry mark set; with `written` each target holding its
# payload.
check() {
  local label=$1 expect=$2 written=$3 waited=0 name marks=""
  shift 3
  rm -rf "$record"
  mkdir -p "$record"
  "$wine" reg delete "$mark_key" /f >/dev/null 2>&1 || true
  "$@" >/dev/null 2>&1 || fail "$label: exit code $?"
  if [ "$expect" = in-process ]; then
    expect=0
    marks=$("$wine" reg query "$mark_key" 2>/dev/null) || fail "$label: no registration ran"
  fi
  while [ "$(records)" -lt "$expect" ] && [ "$waited" -lt "$((TARNVEL_BENCH_REGISTER_TIMEOUT * 10))" ]; do
    sleep 0.1
    waited=$((waited + 1))
  done
  sleep 0.5  # a late extra registration would show now
  [ "$(records)" -eq "$expect" ] || fail "$label: $(records) registrations started, expected $expect"
  for name in "${targets[@]}"; do
    if [ "$expect" -gt 0 ]; then
      grep -qiF "system32\\$name\"" "$record"/*.txt || fail "$label: no registration of $name"
    fi
    if [ -n "$marks" ]; then
      grep -qiF " $name " <<<"$marks" || fail "$label: $name not registered"
    fi
    if [ "$written" = yes ]; then
      cmp -s "$sysdir/$name" "$payload/$name" || fail "$label: $name not written"
    fi
  done
  echo "bench: checked $label"
}

bash "$work/absent.sh"
check "setup.exe /s, no target" 0 no "$wine" "$setup_exe" /s
for name in "${targets[@]}"; do
  [ ! -e "$sysdir/$name" ] || fail "setup.exe /s created $name"
done
check "empty program" 0 no "$wine" "$work/empty.exe"
bash "$work/present.sh"
check "setup.exe /s" 21 yes "$wine" "$setup_exe" /s
bash "$work/present.sh"
check "NSIS installer" 21 yes "$wine" "$work/nsis-setup.exe"
bash "$work/present.sh"
check "NSIS ExecWait" 21 yes "$wine" "$work/nsis-execwait.exe"
bash "$work/present.sh"
check "NSIS Library.nsh" in-process yes "$wine" "$work/nsis-library.exe"
check "bare job" 21 no "$wine" "$work/bare_job.exe" "${targets[@]}"
check "waiting bare job" 21 no "$wine" "$work/bare_job_wait.exe" "${targets[@]}"
bash "$work/present.sh"
check "limit" 21 no "$wine" "$work/limit.exe" "${sized[@]}"
for name in "${targets[@]}"; do
  [ "$(stat -c %s "$sysdir/$name")" = "$(stat -c %s "$payload/$name")" ] || fail "limit: $name not written"
done

cp "$work/empty.exe" "$sysdir/regsvr32.exe"
unset TARNVEL_BENCH_RECORD

bench() {
  local csv=$1 prepare=$2
  shift 2
  hyperfine -N --style basic --warmup 2 --runs "$TARNVEL_BENCH_RUNS" --prepare "bash $prepare" \
    --export-csv "$csv" "$@"
}
bench "$work/absent.csv" "$work/absent.sh" \
  -n "empty program" "$wine $work/empty.exe" \
  -n "setup.exe /s" "$wine $setup_exe /s"
bench "$work/present.csv" "$work/present.sh" \
  -n "setup.exe /s" "$wine $setup_exe /s" \
  -n "bare job" "$wine $work/bare_job.exe ${targets[*]}" \
  -n "waiting bare job" "$wine $work/bare_job_wait.exe ${targets[*]}" \
  -n "limit" "$wine $work/limit.exe ${sized[*]}" \
  -n "NSIS installer" "$wine $work/nsis-setup.exe" \
  -n "NSIS ExecWait" "$wine $work/nsis-execwait.exe" \
  -n "NSIS Library.nsh" "$wine $work/nsis-library.exe" \
  -n "empty program" "$wine $work/empty.exe"

# From hyperfine's CSV (command,mean,stddev,median,...): one column of one
# command, in ms.
ms() { awk -F, -v name="$2" -v column="$3" '$1 == name { printf "%.0f", $column * 1000 }' "$1"; }
# A table row: the label, the median, the mean and standard deviation.
row() {
  printf '  %-34s %6s ms %6s ± %s ms\n' "$3" "$(ms "$1" "$2" 4)" "$(ms "$1" "$2" 2)" "$(ms "$1" "$2" 3)"
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
a_empty=$(ms "$work/absent.csv" "empty program" 4)
a_setup=$(ms "$work/absent.csv" "setup.exe /s" 4)
p_setup=$(ms "$work/present.csv" "setup.exe /s" 4)
p_bare=$(ms "$work/present.csv" "bare job" 4)
p_wait=$(ms "$work/present.csv" "waiting bare job" 4)
p_limit=$(ms "$work/present.csv" "limit" 4)
p_nsis=$(ms "$work/present.csv" "NSIS installer" 4)
p_execwait=$(ms "$work/present.csv" "NSIS ExecWait" 4)
p_library=$(ms "$work/present.csv" "NSIS Library.nsh" 4)

echo
echo "Silent run under Wine, headless: $TARNVEL_BENCH_RUNS runs each"
printf '  %-34s %6s    %6s ± sd\n' "no target present" "median" "mean"
row "$work/absent.csv" "empty program" "empty program"
row "$work/absent.csv" "setup.exe /s" "setup.exe /s"
echo "  21 targets present"
row "$work/present.csv" "setup.exe /s" "setup.exe /s"
row "$work/present.csv" "bare job" "bare job (21 starts)"
row "$work/present.csv" "waiting bare job" "waiting bare job (21 waits)"
row "$work/present.csv" "limit" "limit (writes, starts, waits)"
row "$work/present.csv" "NSIS installer" "NSIS Exec (starts, no wait)"
row "$work/present.csv" "NSIS ExecWait" "NSIS ExecWait (waits each)"
row "$work/present.csv" "NSIS Library.nsh" "NSIS Library.nsh (in-process)"
row "$work/present.csv" "empty program" "empty program"
echo "  ratios of medians (goal in brackets)"
printf '  %-34s %6s  [<= 2.00]\n' "no target: setup / empty" "$(ratio "$a_setup" "$a_empty")"
# setup.exe waits for its registrations, the bare job does not: no goal.
printf '  %-34s %6s\n' "21 targets: setup / bare job" "$(ratio "$p_setup" "$p_bare")"
printf '  %-34s %6s\n' "21 targets: setup / waiting job" "$(ratio "$p_setup" "$p_wait")"
printf '  %-34s %6s  [<= 1.05]\n' "21 targets: setup / limit" "$(ratio "$p_setup" "$p_limit")"
printf '  %-34s %6s  [<= 0.90]\n' "21 targets: setup / NSIS" "$(ratio "$p_setup" "$p_nsis")"
# The NSIS installers that wait for their registrations, as setup.exe does: no goal yet.
printf '  %-34s %6s\n' "21 targets: setup / NSIS ExecWait" "$(ratio "$p_setup" "$p_execwait")"
printf '  %-34s %6s\n' "21 targets: setup / NSIS Library" "$(ratio "$p_setup" "$p_library")"
