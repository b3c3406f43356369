#!/usr/bin/env bash
# Renders the Windows build's window under Wine on a private X display,
# after a verified flash of the demo image, into docs/window-win32.png.
#   scripts/window-shot-win32.sh [BUILD-FOLDER]   (default: build)
# Needs the Windows build (BUILD/windows), Wine, Debian's fonts-wine,
# xvfb-run and ImageMagick's convert. Run the Windows tests once first:
# they create the Wine prefix.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(cd "${1:-build}" && pwd)
prefix="$build/windows/wineprefix"
[ -f "$prefix/system.reg" ] || { echo "no Wine prefix at $prefix: run the windows tests first" >&2; exit 1; }
# This Wine does not read its own font folder: without Marlett in the
# prefix, the title bar's close box is drawn as the letter "r".
marlett=/usr/share/wine/fonts/marlett.ttf
[ -f "$marlett" ] && cp "$marlett" "$prefix/drive_c/windows/Fonts/"
image=$(ls "$build"/demo/*.bin | head -n 1)
shot=$(mktemp --suffix=.bmp)
trap 'rm -f "$shot"' EXIT
WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml=' \
  xvfb-run -a -s '-screen 0 1024x768x24' \
  wine "$build/windows/bin/kvflash-window-shot.exe" "Z:${shot//\//\\}" \
  "Z:${image//\//\\}"
convert "$shot" docs/window-win32.png
echo "docs/window-win32.png"
