#!/usr/bin/env bash
# Renders the Windows build's windows under Wine on a private X display:
# the main window after a verified flash of the demo image into
# docs/window-win32.png, and the network printers' window in the middle of
# a run over twenty emulated printers into docs/fleet-window-win32.png.
#   scripts/window-shot-win32.sh [BUILD-FOLDER]   (default: build)
# Needs the Windows build (BUILD/windows), Wine, Debian's fonts-wine,
# xvfb-run and python3. Run the Windows tests once first: they create the
# Wine prefix.
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

# The picture program writes a 24-bit BMP; the pictures in docs/ are PNG.
bmp_to_png() {
  python3 - "$1" "$2" <<'PY'
import struct, sys, zlib
data = open(sys.argv[1], "rb").read()
if data[:2] != b"BM" or len(data) < 54:
    sys.exit("not a BMP: " + sys.argv[1])
offset, = struct.unpack_from("<I", data, 10)
width, height, planes, bits, compression = struct.unpack_from("<iiHHI", data, 18)
if bits != 24 or compression != 0 or width <= 0 or height == 0:
    sys.exit("not an uncompressed 24-bit BMP")
stride = (width * 3 + 3) & ~3
if len(data) < offset + stride * abs(height):
    sys.exit("the BMP is cut short")
rows = []
for y in range(abs(height)):
    source = abs(height) - 1 - y if height > 0 else y
    row = data[offset + source * stride: offset + source * stride + width * 3]
    rgb = bytearray(row)
    rgb[0::3], rgb[2::3] = row[2::3], row[0::3]
    rows.append(b"\0" + bytes(rgb))
def chunk(kind, body):
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, abs(height), 8, 2, 0, 0, 0))
png += chunk(b"IDAT", zlib.compress(b"".join(rows), 9)) + chunk(b"IEND", b"")
open(sys.argv[2], "wb").write(png)
PY
}

# shoot OUT.png [--fleet]
shoot() {
  local out=$1
  shift
  WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml=' \
    xvfb-run -a -s '-screen 0 1024x768x24' \
    wine "$build/windows/bin/kvflash-window-shot.exe" "$@" "Z:${shot//\//\\}" \
    "Z:${image//\//\\}"
  bmp_to_png "$shot" "$out"
  echo "$out"
}

shoot docs/window-win32.png
shoot docs/fleet-window-win32.png --fleet
