#!/usr/bin/env bash
# Runs one Windows program under Wine and returns its exit code. Used by CTest
# as the cross-compiling emulator. Inside a test run (scripts/test-all.sh) it
# reuses that run's prefix and display; on its own it makes and removes both.
set -u
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine-env.sh"

: "${TARNVEL_WINE_RUN_TIMEOUT:=1500}"

if [ -z "${TARNVEL_WINE_SESSION:-}" ]; then
  trap tarnvel_wine_session_stop EXIT
  tarnvel_wine_session_start || exit 125
fi
tarnvel_enable_i386 || exit 125
export WINEDEBUG=-all

timeout "$TARNVEL_WINE_RUN_TIMEOUT" /usr/lib/wine/wine "$@"
exit $?
