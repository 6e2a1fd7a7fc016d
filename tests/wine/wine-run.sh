#!/usr/bin/env bash
# Runs one Windows program under Wine and returns its exit code: CTest's
# emulator for the Windows tests. Inside a test run (scripts/test-all.sh) it
# uses that run's prefix and display; on its own it makes and removes both.
set -u
. "$(dirname "$0")/wine-env.sh"
if [ -z "${TARNVEL_WINE_SESSION:-}" ]; then
  trap tarnvel_wine_session_stop EXIT
  tarnvel_wine_session_start || exit 125
fi
WINEDEBUG=-all timeout "${TARNVEL_WINE_RUN_TIMEOUT:-1500}" /usr/lib/wine/wine "$@"
