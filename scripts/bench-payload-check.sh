#!/usr/bin/env bash
# Times the payload check of setup.exe under Wine: the whole store (all 28
# payloads) loaded with its CRC-32 check, round after round.
# Usage: bash scripts/bench-payload-check.sh [rounds]
set -euo pipefail
cd "$(dirname "$0")/.."

. scripts/lib.sh
tarnvel_build_win32 --target bench_payload_check

. scripts/wine/wine-env.sh
trap tarnvel_wine_session_stop EXIT
tarnvel_wine_session_start
/usr/lib/wine/wine build/win32/scripts/bench_payload_check.exe "${1:-10}"
