#!/usr/bin/env bash
# Runs every test: host unit tests, a minute of fuzzing the image version
# reader, then the Windows tests under Wine, in throwaway prefixes booted once
# for the whole run: a 64-bit one, and a 32-bit one for the end-to-end runs
# that differ on a 32-bit Windows.
set -euo pipefail
cd "$(dirname "$0")/.."

. scripts/lib.sh
bash scripts/bootstrap.sh

tarnvel_build host
ctest --preset host
tarnvel_build win32
# The Wine prefixes boot beside the fuzzer's minute, which takes the stand-ins
# the Windows build links as seeds.
. scripts/wine/wine-env.sh
export TARNVEL_WINE_KINDS="win64 win32" TARNVEL_WINE_SESSION
TARNVEL_WINE_SESSION=$(mktemp -d /tmp/tarnvel-wine.XXXXXX)
trap '[ -z "${boot:-}" ] || wait "$boot" || true; tarnvel_wine_session_stop' EXIT
tarnvel_start_display
tarnvel_wine_session_start "$TARNVEL_WINE_SESSION" &
boot=$!
bash scripts/fuzz-image-version.sh 60
wait "$boot"
tarnvel_wine_session_join "$TARNVEL_WINE_SESSION"
# After wine-run.sh's own limit, so that one says which program it ended.
ctest --preset win32 -j2 --timeout $((TARNVEL_TEST_TIMEOUT_S + $(tarnvel_deadline_s))) "$@"
