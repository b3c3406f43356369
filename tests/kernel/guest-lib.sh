# Helpers for the scenario scripts that run inside the guest (bash, as root,
# in the host's root shared read-only; /run is the guest's own tmpfs and
# $KVTEST_OUT the run folder the host reads back).
#
# The programs come from the environment the test set: KV_KVFLASH,
# KV_EMULATOR, KV_KVIMAGE, KV_PROBE, KV_PLATFORM_TESTS.

set -u
work="${TMPDIR:-/run/tmp}"
failures=0
emu_pid=""
scenario=""

log() { echo "[$(date +%H:%M:%S)] $*"; }

# Starts a scenario: its name goes in front of every check.
begin() {
  scenario="$1"
  echo
  echo "==================== scenario: $scenario ===================="
  scenario_start=$(date +%s)
}

end_scenario() {
  log "scenario $scenario took $(( $(date +%s) - scenario_start )) s"
}

check() {  # check DESCRIPTION COMMAND...
  local what="$1"; shift
  if "$@"; then
    echo "  ok   $scenario: $what"
  else
    echo "  FAIL $scenario: $what"
    failures=$((failures + 1))
  fi
}

# Starts kvprinter-emu on the gadget with the options given; waits until it
# has plugged the printer in and usblp has bound it.
start_printer() {
  local out="$work/emu.out" err="$work/emu.err"
  : >"$out"; : >"$err"
  "$KV_EMULATOR" --gadget /dev/g_printer0 "$@" >"$out" 2>"$err" &
  emu_pid=$!
  local i
  for i in $(seq 1 200); do
    if [ -s "$out" ] && [ -e /dev/usb/lp0 ]; then
      log "printer plugged in (kvprinter-emu $*)"
      return 0
    fi
    kill -0 "$emu_pid" 2>/dev/null || break
    sleep 0.1
  done
  echo "kvprinter-emu did not plug in:"; cat "$err"
  return 1
}

# Stops the emulator; its summary lands in $work/emu.out, its log in emu.err.
stop_printer() {
  [ -n "$emu_pid" ] || return 0
  kill -TERM "$emu_pid" 2>/dev/null
  wait "$emu_pid" 2>/dev/null
  emu_pid=""
  local i
  for i in $(seq 1 50); do [ -e /dev/usb/lp0 ] || break; sleep 0.1; done
}

emu_summary() { sed -n "s/^$1: //p" "$work/emu.out"; }

# kvflash's terminal front end, bounded; stdout to $work/kvflash.out (and
# each line with the time it came in $work/kvflash.times), stderr (the
# trace) to $work/kvflash.err. Returns its exit code.
kvflash_run() {
  local bound="$1"; shift
  : >"$work/kvflash.out"; : >"$work/kvflash.times"
  timeout --kill-after=5 "$bound" "$KV_KVFLASH" --console "$@" 2>"$work/kvflash.err" </dev/null |
    while IFS= read -r line; do
      printf '%s\n' "$line" >>"$work/kvflash.out"
      printf '%s %s\n' "$EPOCHREALTIME" "$line" >>"$work/kvflash.times"
    done
  local code=${PIPESTATUS[0]}
  printf '%s (end)\n' "$EPOCHREALTIME" >>"$work/kvflash.times"
  return "$code"
}

# Seconds (whole) between the first line holding FROM and the first line
# after it holding TO ("(end)": the end of the run).
seconds_between() {
  awk -v from="$1" -v to="$2" '
    !t0 && index($0, from) { t0 = $1; next }
    t0 && index($0, to) { printf "%d\n", $1 - t0; exit }' "$work/kvflash.times"
}

show() {  # show FILE [LINES]: the file, abbreviated past LINES lines
  local file="$1" lines="${2:-400}"
  local n; n=$(wc -l <"$file")
  if [ "$n" -le "$lines" ]; then
    sed 's/^/    /' "$file"
  else
    head -n $((lines / 2)) "$file" | sed 's/^/    /'
    echo "    ... ($((n - lines)) lines left out) ..."
    tail -n $((lines / 2)) "$file" | sed 's/^/    /'
  fi
}

# A flash that went through: the success text, exit code 0 (in $code), the
# image's bytes exactly (SHA-256), and VERSION as the last Current Version.
check_flashed() {  # check_flashed IMAGE VERSION
  check "the flash succeeds" \
    grep -qF 'text programStatusText "Printer successfully flashed"' "$work/kvflash.out"
  check "kvflash exits with 0" [ "$code" -eq 0 ]
  check "the printer took exactly the image (SHA-256)" \
    [ "$(emu_summary 'flash-mode SHA-256')" = "$(sha256sum "$1" | cut -d' ' -f1)" ]
  check "the re-probe shows $2" \
    [ "$(grep '^text currentVersionText' "$work/kvflash.out" | tail -n1)" = "text currentVersionText \"$2\"" ]
}

# No kvflash left running and nobody holding the printer's node.
nothing_left_open() {
  ! pgrep -x kvflash >/dev/null 2>&1 || return 1
  local fd
  for fd in /proc/[0-9]*/fd/*; do
    [ "$(readlink "$fd" 2>/dev/null)" = /dev/usb/lp0 ] && return 1
  done
  return 0
}

# The platform tests that need a real device, which skip on a machine
# without one; here they must run and pass.
real_node_test() {  # real_node_test GTEST_NAME
  "$KV_PLATFORM_TESTS" --gtest_filter="$1" >"$work/gtest.out" 2>&1
  local code=$?
  grep -E '^\[ +(OK|FAILED|SKIPPED) +\]|ID:|probe' "$work/gtest.out" | sed 's/^/    /'
  [ "$code" -eq 0 ] && grep -q '^\[       OK \]' "$work/gtest.out"
}

finish() {
  stop_printer
  echo
  echo "---- kernel messages (usb, usblp, printer gadget, parport) ----"
  dmesg | grep -Ei 'usblp|usb 1-|printer|g_printer|parport|lp0|dummy' | tail -n 60 | sed 's/^/    /'
  echo
  if [ "$failures" -eq 0 ]; then
    echo "ALL SCENARIOS PASSED"
    exit 0
  fi
  echo "$failures CHECK(S) FAILED"
  exit 1
}

# A private CUPS scheduler with one KV queue on a USB printer, as on a
# service laptop; kvflash parks it on the dummy port while it works.
start_cups() {
  local root="$work/cups"
  rm -rf "$root"; mkdir -p "$root"/{etc,state,cache,spool/tmp,log,ppd,bin/backend}
  chmod 755 "$root"
  local d
  for d in filter driver daemon monitor notifier cgi-bin; do
    [ -e "/usr/lib/cups/$d" ] && ln -s "/usr/lib/cups/$d" "$root/bin/$d"
  done
  # The queue's backend; no job is printed here.
  printf '#!/bin/sh\n[ $# -eq 0 ] && exit 0\ncat >/dev/null\n' >"$root/bin/backend/usb"
  chmod 700 "$root/bin/backend/usb"
  cat >"$root/etc/cups-files.conf" <<CONF
ServerRoot $root/etc
StateDir $root/state
CacheDir $root/cache
RequestRoot $root/spool
TempDir $root/spool/tmp
ServerBin $root/bin
AccessLog $root/log/access_log
ErrorLog $root/log/error_log
PageLog $root/log/page_log
SystemGroup root
CONF
  cat >"$root/etc/cupsd.conf" <<CONF
Listen $root/cups.sock
Browsing No
BrowseLocalProtocols none
WebInterface No
LogLevel warn
<Location />
  Order allow,deny
  Allow all
</Location>
CONF
  cat >"$root/ppd/kv.ppd" <<'PPD'
*PPD-Adobe: "4.3"
*FormatVersion: "4.3"
*FileVersion: "1.0"
*LanguageVersion: English
*LanguageEncoding: ISOLatin1
*PCFileName: "KVTEST.PPD"
*Manufacturer: "KV"
*Product: "(ZOW3004F)"
*ModelName: "KV ZOW3004F PT"
*ShortNickName: "KV ZOW3004F PT"
*NickName: "KV ZOW3004F PT"
*PSVersion: "(3010.000) 0"
*LanguageLevel: "3"
*ColorDevice: False
*DefaultColorSpace: Gray
*FileSystem: False
*Throughput: "1"
*OpenUI *PageSize: PickOne
*DefaultPageSize: Letter
*PageSize Letter: ""
*CloseUI: *PageSize
*DefaultImageableArea: Letter
*ImageableArea Letter: "0 0 612 792"
*DefaultPaperDimension: Letter
*PaperDimension Letter: "612 792"
PPD
  export CUPS_SERVER="$root/cups.sock"
  timeout 60 cupsd -c "$root/etc/cupsd.conf" -s "$root/etc/cups-files.conf" || {
    echo "cupsd did not start"; cat "$root/log/error_log" 2>/dev/null; return 1; }
  timeout 30 lpadmin -p kv_usb 2>"$root/lpadmin.err" -E -v 'usb://KV/ZOW3004F?serial=5A4F573330303446' -P "$root/ppd/kv.ppd" || {
    echo "lpadmin failed"; cat "$root/lpadmin.err"; return 1; }
  log "cupsd runs with the queue kv_usb -> $(lpstat -v kv_usb 2>&1)"
}

stop_cups() {
  local pidfile="$work/cups/state/cupsd.pid"
  [ -f "$pidfile" ] && kill -TERM "$(cat "$pidfile")" 2>/dev/null
  unset CUPS_SERVER
}
