#!/usr/bin/env bash
# Packs this build into a .deb, unpacks it into a scratch root and checks the
# installed tree: the package's fields, lintian, every file and its mode, the
# menu entry, metainfo, polkit action, icons, manual pages and completion, and
# a whole simulated flash by the installed kvflash with its installed demo
# image.
#   check-package.sh CPACK BUILD_DIR VERSION APP_ID LINTIAN_KEPT
set -uo pipefail
cpack=$1 build=$2 version=$3 app=$4 kept=$5

missing=()
for tool in dpkg-deb dpkg-shlibdeps lintian desktop-file-validate appstreamcli xmllint man groff file; do
  command -v "$tool" >/dev/null || missing+=("$tool")
done
dtd=/usr/share/polkit-1/policyconfig-1.dtd
[ -f "$dtd" ] || missing+=("$dtd (polkitd)")
[ -f /usr/share/bash-completion/bash_completion ] || missing+=("bash-completion")
if [ ${#missing[@]} -gt 0 ]; then
  echo "package test skipped: missing ${missing[*]} (scripts/install-deps.sh installs them)"
  [ "${CI:-}" = true ] && exit 1
  exit 77
fi

work=$(mktemp -d /tmp/kvflash-package.XXXXXX)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# The package, beside the build rather than in it.
if ! "$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$work/pkg" >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log"; echo "FAIL: cpack"; exit 1
fi
deb=$(echo "$work"/pkg/kvflash_"$version"_*.deb)
[ -f "$deb" ] || { ls "$work/pkg"; echo "FAIL: no kvflash_${version}_*.deb"; exit 1; }
echo "== $(basename "$deb"), $(stat -c %s "$deb") bytes"

# Control fields; no maintainer scripts.
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = kvflash ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version)"
[ "$(field Section)" = utils ] || fail "Section: $(field Section)"
[ "$(field Priority)" = optional ] || fail "Priority: $(field Priority)"
[ "$(field Recommends)" = cups ] || fail "Recommends: $(field Recommends)"
depends=$(field Depends)
for dep in libc6 libstdc++6 libcups2 libgcrypt20 libqt6core6 libqt6gui6 libqt6widgets6 pkexec; do
  [[ ", $depends," == *", $dep "* || ", $depends," == *", $dep,"* ]] || fail "Depends lacks $dep: $depends"
done
dpkg-deb -e "$deb" "$work/control"
scripts=$(ls "$work/control" | grep -v -x -e control -e md5sums)
[ -z "$scripts" ] || fail "maintainer scripts: $scripts"
echo "Depends: $depends"

# lintian: no error, and no warning but the ones kept with a reason.
lintian --tag-display-limit 0 "$deb" >"$work/lintian.txt" 2>&1
echo "== lintian"; cat "$work/lintian.txt"
while read -r severity _ tag _; do
  case $severity in
    E:) fail "lintian error $tag" ;;
    W:) grep -q "^$tag " "$kept" || fail "lintian warning $tag is not in $(basename "$kept")" ;;
  esac
done <"$work/lintian.txt"

# Every file, its mode and owner, and nothing else.
dpkg-deb -c "$deb" | awk '{ print $1, $2, $6 }' | sort -k3 >"$work/contents"
expected_files=(
  "-rwxr-xr-x ./usr/bin/kvflash"
  "-rwxr-xr-x ./usr/bin/kvimage"
  "-rwxr-xr-x ./usr/bin/kvprinter-emu"
  "-rw-r--r-- ./usr/share/applications/$app.desktop"
  "-rw-r--r-- ./usr/share/bash-completion/completions/kvflash"
  "-rw-r--r-- ./usr/share/bash-completion/completions/kvimage"
  "-rw-r--r-- ./usr/share/bash-completion/completions/kvprinter-emu"
  "-rw-r--r-- ./usr/share/doc/kvflash/changelog.gz"
  "-rw-r--r-- ./usr/share/doc/kvflash/copyright"
  "-rw-r--r-- ./usr/share/kvflash/FMVQ_V5.20.bin"
  "-rw-r--r-- ./usr/share/kvflash/FMVQ_V5.20.bin.minisig"
  "-rw-r--r-- ./usr/share/man/man1/kvflash.1.gz"
  "-rw-r--r-- ./usr/share/man/man1/kvimage.1.gz"
  "-rw-r--r-- ./usr/share/man/man1/kvprinter-emu.1.gz"
  "-rw-r--r-- ./usr/share/metainfo/$app.metainfo.xml"
  "-rw-r--r-- ./usr/share/polkit-1/actions/$app.policy"
  "-rw-r--r-- ./usr/share/icons/hicolor/scalable/apps/$app.svg"
)
sizes=(16 22 24 32 48 64 128 256)
for s in "${sizes[@]}"; do
  expected_files+=("-rw-r--r-- ./usr/share/icons/hicolor/${s}x${s}/apps/$app.png")
done
printf '%s\n' "${expected_files[@]}" | sort -k2 >"$work/expected"
grep -v '^d' "$work/contents" | awk '{ print $1, $3 }' | diff -u "$work/expected" - || fail "the package's files"
grep '^d' "$work/contents" | grep -v '^drwxr-xr-x ' && fail "folders not 0755"
awk '$2 != "root/root" { print }' "$work/contents" | grep . && fail "entries not owned by root"

root=$work/root
dpkg -x "$deb" "$root"
share=$root/usr/share

# The menu entry, metainfo and polkit action.
desktop=$share/applications/$app.desktop
desktop-file-validate "$desktop" || fail "desktop-file-validate"
grep -qx "Exec=pkexec /usr/bin/kvflash" "$desktop" || fail "the menu entry does not start /usr/bin/kvflash through pkexec"
grep -qx "Icon=$app" "$desktop" || fail "the menu entry's icon is not $app"
appstreamcli validate --no-net "$share/metainfo/$app.metainfo.xml" || fail "appstreamcli validate"
grep -q "<project_license>MIT</project_license>" "$share/metainfo/$app.metainfo.xml" || fail "project_license"
grep -q "<metadata_license>CC0-1.0</metadata_license>" "$share/metainfo/$app.metainfo.xml" || fail "metadata_license"
policy=$share/polkit-1/actions/$app.policy
xmllint --noout --dtdvalid "$dtd" "$policy" || fail "the polkit action against polkit's DTD"
[ "$(xmllint --xpath 'string(//annotate[@key="org.freedesktop.policykit.exec.path"])' "$policy")" = /usr/bin/kvflash ] \
  || fail "the polkit action's program is not /usr/bin/kvflash"
[ "$(xmllint --xpath 'string(//annotate[@key="org.freedesktop.policykit.exec.allow_gui"])' "$policy")" = true ] \
  || fail "the polkit action does not allow a GUI"
[ "$(xmllint --xpath 'string(//defaults/allow_active)' "$policy")" = auth_admin_keep ] \
  || fail "the polkit action's default is not auth_admin_keep"

# Icons: each PNG the size its folder names, and the SVG.
for s in "${sizes[@]}"; do
  png=$share/icons/hicolor/${s}x${s}/apps/$app.png
  file -b "$png" | grep -q "PNG image data, $s x $s," || fail "$png: $(file -b "$png")"
done
xmllint --noout "$share/icons/hicolor/scalable/apps/$app.svg" || fail "the SVG icon is not XML"

# The licence and the changelog.
head -n 1 "$root/usr/share/doc/kvflash/copyright" | grep -q "^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/" \
  || fail "debian/copyright is not machine-readable"
newest=$(zcat "$root/usr/share/doc/kvflash/changelog.gz" | head -n 1)
[[ $newest == "kvflash ($version) "* ]] || fail "the changelog's newest entry is not $version: $newest"

# Manual pages render, without a warning from man or groff.
for page in "$share"/man/man1/*.1.gz; do
  out=$(MANWIDTH=80 man -l "$page" 2>&1 >/dev/null) || fail "man -l $page"
  [ -z "$out" ] || fail "man -l $(basename "$page"): $out"
  out=$(zcat "$page" | groff -ww -man -Tutf8 -z 2>&1)
  [ -z "$out" ] || fail "groff -ww $(basename "$page"): $out"
done

# The completion loads, for each program.
for program in kvflash kvprinter-emu kvimage; do
  bash -c 'source /usr/share/bash-completion/bash_completion && source "$1" && complete -p "$2"' \
    _ "$share/bash-completion/completions/$program" "$program" >/dev/null || fail "completion for $program"
done

# The installed program, from where it is installed.
"$root/usr/bin/kvflash" --version | grep -qx "kvflash $version" || fail "kvflash --version"
if [ "$(id -u)" -ne 0 ]; then
  echo "package test: the installed kvflash needs root for its flash (skipped)"
  [ "${CI:-}" = true ] && exit 1
  [ "$failures" -eq 0 ] && exit 77
  exit 1
fi
export KVFLASH_LOCK_DIR=$work KVFLASH_STATE_DIR=$work/state
demo=$share/kvflash/FMVQ_V5.20.bin
"$root/usr/bin/kvflash" --console --simulate --fast find select "$demo" flash >"$work/flash.txt" 2>&1 \
  || fail "the installed kvflash's flash exited with $?: $(tail -n 5 "$work/flash.txt")"
grep -qx 'text programStatusText "Printer successfully flashed"' "$work/flash.txt" || fail "no successful flash"
grep -qx 'text currentVersionText "V5.20"' "$work/flash.txt" || fail "the printer does not report V5.20 afterwards"
# Its signature, by the demo key, which only a simulated world trusts.
grep -q '^signature 4657CEF660F2F093 "kvflash demo image V5.20' "$work/flash.txt" || fail "the demo's signature was not shown"
# With no command and no display, the demo flashes the installed image, not
# the build's.
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$root/usr/bin/kvflash" --simulate --fast \
  >"$work/demo.txt" 2>&1 || fail "the installed demo exited with $?"
grep -qxF "file-dialog \"Bin Files (*.bin)\" \"*.bin\" -> \"$demo\"" "$work/demo.txt" \
  || fail "the demo did not take the installed image: $(grep file-dialog "$work/demo.txt")"

# From a terminal without root it asks for no password: the box and exit
# code stay the program's own.
chmod 755 "$work"
mkdir -m 1777 "$work/lock-nobody"
runuser -u nobody -- env KVFLASH_LOCK_DIR="$work/lock-nobody" "$root/usr/bin/kvflash" --console \
  >"$work/nobody.txt" 2>&1
code=$?
[ "$code" -eq 0 ] || fail "kvflash without root exited with $code"
grep -qx 'box "Error" "Not running as admin, please run as Adminstrator"' "$work/nobody.txt" \
  || fail "kvflash without root: $(cat "$work/nobody.txt")"

[ "$failures" -eq 0 ] && echo "package: all checks passed" && exit 0
echo "package: $failures check(s) failed"
exit 1
