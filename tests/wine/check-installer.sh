#!/usr/bin/env bash
# The Windows installer as an administrator deploys it, under Wine in a
# prefix of its own: a silent install; the files, the Uninstall key and the
# Start-menu entries; a simulated flash by the installed terminal program; a
# second install over the first; a silent uninstall, which keeps the flash
# history. Every Wine run is bounded.
#   check-installer.sh SETUP_EXE VERSION DEMO_IMAGE_NAME
set -uo pipefail
setup=$1 version=$2 demo=$3

skip() {
  echo "installer test skipped: $*"
  [ "${CI:-}" = true ] && exit 1
  exit 77
}
command -v wine >/dev/null && command -v wineserver >/dev/null ||
  skip "no Wine (Debian packages wine, wine64)"
[ -f "$setup" ] || skip "no installer at $setup (cmake --preset windows && cmake --build --preset windows)"

work=$(mktemp -d /tmp/kvflash-installer.XXXXXX)
# No Mono, Gecko or menu builder: nothing leaves the prefix.
export WINEPREFIX=$work/prefix WINEDLLOVERRIDES='mscoree,mshtml,winemenubuilder.exe=' WINEDEBUG=-all
unset DISPLAY WAYLAND_DISPLAY
trap 'timeout 30 wineserver -k 2>/dev/null; rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
# bounded SECONDS COMMAND...: Wine's output without carriage returns.
bounded() {
  local seconds=$1
  shift
  timeout -k 5 "$seconds" "$@" 2>&1 | tr -d '\r'
  return "${PIPESTATUS[0]}"
}

timeout -k 5 180 wineboot -i >/dev/null 2>&1 || { echo "FAIL: wineboot -i"; exit 1; }
folder="$WINEPREFIX/drive_c/Program Files/kvflash"
menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\kvflash'
history="$WINEPREFIX/drive_c/ProgramData/kvflash/history-simulated.jsonl"
installed='C:\Program Files\kvflash'
links=("KV Firmware Updater.lnk" "KV Firmware Updater (terminal).lnk")

# install NAME: the silent install, and what it leaves.
install() {
  local name=$1
  bounded 120 wine "$setup" /S >"$work/setup.log"
  local status=$?
  [ $status -eq 0 ] || fail "$name: setup /S ended with $status: $(cat "$work/setup.log")"

  echo "== $name: $installed"
  (cd "$folder" 2>/dev/null && ls -l --time-style=+ | awk 'NR > 1 { print $5, $NF }') | tee "$work/files"
  local expected="$demo $demo.minisig LGPL-2.1.txt LICENSE.txt README.txt kvflash-cli.exe kvflash.exe"
  expected+=" kvimage.exe libgcrypt-20.dll libgcrypt-copyright.txt libgpg-error-0.dll"
  expected+=" libgpg-error-copyright.txt uninstall.exe"
  local found
  found=$(awk '{ print $2 }' "$work/files" | LC_ALL=C sort | xargs)
  [ "$found" = "$expected" ] || fail "$name: files are '$found', not '$expected'"

  echo "== $name: $key"
  bounded 60 wine reg query "$key" | tee "$work/key"
  local size
  size=$(awk '$2 != "uninstall.exe" { total += int(($1 + 1023) / 1024) } END { print total }' "$work/files")
  while IFS='|' read -r value type data; do
    grep -qxF "    $value    $type    $data" "$work/key" || fail "$name: no $value $type '$data'"
  done <<EOF
DisplayName|REG_SZ|KV Firmware Updater (kvflash)
DisplayVersion|REG_SZ|$version
Publisher|REG_SZ|The kvflash authors
InstallLocation|REG_SZ|$installed
UninstallString|REG_SZ|"$installed\\uninstall.exe"
QuietUninstallString|REG_SZ|"$installed\\uninstall.exe" /S
EstimatedSize|REG_DWORD|$(printf '0x%x' "$size")
EOF

  for link in "${links[@]}"; do
    [ -f "$menu/$link" ] || fail "$name: no Start-menu entry $link"
  done
  [ -d "$WINEPREFIX/drive_c/ProgramData/kvflash/trusted-keys" ] || fail "$name: no trusted keys' folder"
  # The window's entry starts kvflash.exe; the terminal's, cmd.exe in the
  # install folder.
  strings -e l "$menu/${links[0]}" 2>/dev/null | grep -qF "$installed\\kvflash.exe" ||
    fail "$name: ${links[0]} does not start $installed\\kvflash.exe"
  strings -e l "$menu/${links[1]}" 2>/dev/null | grep -q 'cmd\.exe' ||
    fail "$name: ${links[1]} does not start cmd.exe"
  strings -e l "$menu/${links[1]}" 2>/dev/null | grep -qxF "$installed" ||
    fail "$name: ${links[1]} does not open in $installed"
}

install "first install"

echo "== installed kvflash-cli.exe: a simulated flash"
bounded 180 wine "$installed\\kvflash-cli.exe" --console --simulate --fast find select \
  "$installed\\$demo" flash >"$work/flash"
status=$?
tail -n 3 "$work/flash"
[ $status -eq 0 ] || fail "the installed kvflash-cli.exe ended with $status"
[[ "$(tail -n 1 "$work/flash")" == 'verify verified '* ]] || fail "the flash did not end 'verify verified'"
[ -s "$history" ] || fail "no flash history at $history"

install "second install over the first"

echo "== silent uninstall"
bounded 60 wine "$installed\\uninstall.exe" /S
status=$?
[ $status -eq 0 ] || fail "uninstall.exe /S ended with $status"
# It goes on from a copy in %TEMP%: wait for the prefix's last program.
timeout -k 5 120 wineserver -w || fail "the uninstaller was still running after 120 s"
[ ! -e "$folder" ] || fail "left behind: $(ls -A "$folder" | xargs)"
for link in "${links[@]}"; do
  [ ! -e "$menu/$link" ] || fail "left behind: Start-menu entry $link"
done
echo "== $key after the uninstall"
bounded 60 wine reg query "$key" && fail "the Uninstall key is still there"
[ -s "$history" ] && echo "kept: ${history#"$WINEPREFIX/drive_c/"}" || fail "the flash history went with the uninstall"

[ $failures -eq 0 ] || { echo "$failures failure(s)"; exit 1; }
echo "installer: all checks passed"
