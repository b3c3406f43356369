#!/usr/bin/env bash
# Builds the release files a second time, later, in another folder at
# another depth and another time zone, and compares them byte for byte with
# those of build/ and build/windows: the Debian package, the Windows ZIP and
# installer, and SHA256SUMS. The second build makes only what the release
# files need (the programs and the demo image, no tests). Where files
# differ, it says which members of them do.
#   scripts/reproducible.sh     (after the linux and windows presets' builds)
set -uo pipefail
cd "$(dirname "$0")/.."
source=$PWD
version=$(sed -n 's/^project(kvflash VERSION \([0-9.]*\) .*/\1/p' CMakeLists.txt)
first=$source/build
second=$source/build/reproduce/a/b/c/build
deb=kvflash_${version}_amd64.deb
zip=kvflash-${version}-win64.zip
setup=kvflash-${version}-setup.exe

# The first build's release files (the Debian package is not part of all).
cmake --build "$first" --target package >/dev/null || { echo "FAIL: package in $first"; exit 1; }
for file in "$first/$deb" "$first/SHA256SUMS" "$first/windows/$zip" "$first/windows/$setup" \
  "$first/windows/SHA256SUMS"; do
  [ -f "$file" ] || { echo "FAIL: no $file (build the linux and windows presets first)"; exit 1; }
done

(cd "$first" && sha256sum -c SHA256SUMS) && (cd "$first/windows" && sha256sum -c SHA256SUMS) ||
  { echo "FAIL: SHA256SUMS does not match its files"; exit 1; }

rm -rf "$source/build/reproduce"
start=$SECONDS
(
  export TZ=Pacific/Kiritimati
  set -e
  cmake --preset program -B "$second" >/dev/null
  cmake --build "$second" --target package -j2
  cmake --preset windows -B "$second/windows" -DKVFLASH_TESTS=OFF \
    "-DKVFLASH_DEMO_IMAGE_DIR=$second/demo" >/dev/null
  cmake --build "$second/windows" --target package -j2
) >"$source/build/reproduce.log" 2>&1 || {
  tail -n 30 "$source/build/reproduce.log"
  echo "FAIL: the second build (build/reproduce.log)"
  exit 1
}
echo "second build of the release files: $((SECONDS - start)) s"

work=$(mktemp -d /tmp/kvflash-reproduce.XXXXXX)
trap 'rm -rf "$work"' EXIT
failures=0

# members KIND FILE DIR: unpacks a release file's members into DIR.
members() {
  mkdir -p "$3"
  case $1 in
    deb) dpkg-deb -R "$2" "$3" ;;
    zip) (cd "$3" && unzip -q "$2") ;;
    # The installer packs the release folder its build left beside it.
    setup) cp -a "$(dirname "$2")/release/." "$3" ;;
  esac
}

# same KIND RELATIVE: the two builds' copies of one file, compared.
same() {
  local kind=$1 file=$2
  if cmp -s "$first/$file" "$second/$file"; then
    echo "same: $file ($(stat -c %s "$first/$file") bytes, $(sha256sum <"$first/$file" | cut -c1-16)...)"
    return
  fi
  failures=$((failures + 1))
  echo "DIFFERENT: $file"
  cmp "$first/$file" "$second/$file" | head -n 1
  [ "$kind" = text ] && { diff "$first/$file" "$second/$file"; return; }
  members "$kind" "$first/$file" "$work/$file/1"
  members "$kind" "$second/$file" "$work/$file/2"
  diff -rq "$work/$file/1" "$work/$file/2"
  case $kind in
    deb) diff <(dpkg-deb -c "$first/$file") <(dpkg-deb -c "$second/$file") ;;
    zip) diff <(zipinfo -v "$first/$file") <(zipinfo -v "$second/$file") | head -n 40 ;;
  esac
}

same deb "$deb"
same text SHA256SUMS
same zip "windows/$zip"
same setup "windows/$setup"
same text windows/SHA256SUMS
if [ $failures -ne 0 ]; then
  echo "$failures release file(s) differ between $first and $second"
  exit 1
fi
rm -rf "$source/build/reproduce"
echo "two builds, the same release files"
