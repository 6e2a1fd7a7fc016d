#!/usr/bin/env bash
# Takes the screenshots of the two windows for the README: builds the Windows
# program, starts a throwaway Wine session of its own (so nothing but
# setup.exe's windows is on its desktop), drives setup.exe with the
# screenshot driver and writes PNG files into docs/screenshots/.
set -euo pipefail
cd "$(dirname "$0")/.."

if ! dpkg-query -W -f='${Status}\n' fonts-wine 2>/dev/null | grep -q '^install ok installed'; then
  echo "screenshots: fonts-wine is missing (run scripts/bootstrap.sh): no MS Sans Serif, no title-bar glyphs" >&2
  exit 1
fi

cmake --preset win32 >/dev/null
cmake --build --preset win32 --target setup e2e_gui_screenshots

. tests/wine/wine-env.sh
unset TARNVEL_WINE_SESSION WINEPREFIX DISPLAY
trap tarnvel_wine_session_stop EXIT
tarnvel_wine_session_start
# Wine does not look for its own fonts (MS Sans Serif, Marlett for the
# title-bar buttons) where Debian puts them, but loads them from the prefix's
# Fonts folder.
cp /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/"

shots=$(mktemp -d)
trap 'tarnvel_wine_session_stop; rm -rf "$shots"' EXIT
WINEDEBUG=-all timeout 1800 /usr/lib/wine/wine build/win32/tests/e2e/e2e_gui_screenshots.exe "Z:${shots//\//\\}"

mkdir -p docs/screenshots
for name in welcome installation installation-running welcome-144dpi; do
  # -strip: no time stamps, so an unchanged window gives an unchanged file.
  convert "$shots/$name.bmp" -strip "docs/screenshots/$name.png"
  echo "screenshots: docs/screenshots/$name.png"
done
