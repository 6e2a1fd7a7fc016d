#!/usr/bin/env bash
# Runs one Windows program under Wine and returns its exit code: CTest's
# emulator for the Windows tests. Inside a test run (scripts/test-all.sh) it
# uses that run's prefix of the kind TARNVEL_WINE_KIND names (the first when
# none) and its display; on its own it makes and removes both.
set -u
. "$(dirname "$0")/wine-env.sh"
if [ -z "${TARNVEL_WINE_SESSION:-}" ]; then
  trap tarnvel_wine_session_stop EXIT
  export TARNVEL_WINE_KINDS=${TARNVEL_WINE_KIND:-win64}
  tarnvel_wine_session_start || exit 125
elif [ -n "${TARNVEL_WINE_KIND:-}" ]; then
  tarnvel_wine_use "$TARNVEL_WINE_KIND" || exit 125
fi
# Its own waits end sooner; this ends a program stuck outside them.
rc=0
WINEDEBUG=-all timeout "$TARNVEL_RUN_DEADLINE_S" /usr/lib/wine/wine "$@" || rc=$?
[ "$rc" = 124 ] && tarnvel_log "ended $1: still running after $TARNVEL_RUN_DEADLINE_S s"
exit "$rc"
