#!/usr/bin/env bash
# Takes the README's screenshots: builds setup.exe and the screenshot driver
# (scripts/screenshots/), starts a Wine session of its own (so nothing but
# setup.exe's windows is on its desktop) and writes docs/screenshots/*.png.
set -euo pipefail
cd "$(dirname "$0")/.."

. scripts/lib.sh
tarnvel_build_win32 --target setup screenshots
build=build/win32

unset WINEPREFIX TARNVEL_WINE_SESSION TARNVEL_WINE_HEADLESS DISPLAY
. scripts/wine/wine-env.sh
shots=$(mktemp -d)
trap 'tarnvel_wine_session_stop; rm -rf "$shots"' EXIT
tarnvel_wine_session_start
export WINEDEBUG=-all
timeout "$TARNVEL_RUN_DEADLINE_S" /usr/lib/wine/wine $build/scripts/screenshots.exe "Z:${shots//\//\\}" 96
tarnvel_wine64 reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 144 /f >/dev/null
timeout "$TARNVEL_RUN_DEADLINE_S" /usr/lib/wine/wine $build/scripts/screenshots.exe "Z:${shots//\//\\}" 144

mkdir -p docs/screenshots
for name in welcome installation installation-running welcome-144dpi; do
  # -strip: no time stamps, so an unchanged window gives an unchanged file.
  convert "$shots/$name.ppm" -strip "docs/screenshots/$name.png"
  echo "screenshots: docs/screenshots/$name.png"
done
