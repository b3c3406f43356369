#!/bin/bash
# In the guest: printers on a USB printer gadget that fail in the ways a real
# one does, met by the real world of kvflash through usblp. MV38 DualDriver
# boards (3 s start delay, 512-byte blocks, 15 s reset wait) and a ZOR1
# printer keep the pauses short.
. "$(dirname "$0")/guest-lib.sh"

mv38='MFG:KV;CMD:FGL;MDL:ZOW3004F;CLS:PRINTER;FWV:V4.10;'
image="$work/F2ZOW_V4.20.bin"
"$KV_KVIMAGE" make --version V4.20 --size 65536 "$image" >/dev/null
start_cups >/dev/null || echo "no cupsd: the transcripts carry its box"

# flash_with BOUND: find select IMAGE flash; sets $code and $took.
flash_with() {
  local t0; t0=$(date +%s)
  kvflash_run "$1" find select "$image" flash; code=$?
  took=$(( $(date +%s) - t0 ))
  log "kvflash ended after $took s with $code"
}

# The lines that tell how a flash went.
outcome() {
  grep -E '^box|programStatusText|statusText "Found|currentVersionText' "$work/kvflash.out" |
    uniq | sed 's/^/    /'
}

ended_cleanly() {  # no refused exit: flashInProgress was cleared before the end
  ! grep -q 'Cannot exit while printer FW is being updated' "$work/kvflash.out"
}

# ---------------------------------------------------------------------------
begin unplugged-mid-image
start_printer --device-id "$mv38" --unplug-after-image 16384 || finish
flash_with 120
outcome
stop_printer
sed 's/^/    emu: /' "$work/emu.out"
check "the write fails with the driver's ENODEV" \
  grep -qF 'box - "Write flash error = Dec = 19, Hex = 13"' "$work/kvflash.out"
check "no success is claimed" bash -c "! grep -q 'Printer successfully flashed' '$work/kvflash.out'"
check "kvflash exits with 1" [ "$code" -eq 1 ]
gone_took=$(seconds_between 'Programming 64 KBytes' 'Write flash error')
echo "    from the programming text to the message: $gone_took s"
check "the write fails at once, no bound waited (2 s pause + 16 KiB)" test "${gone_took:-99}" -le 6
check "it ends within 60 s" [ "$took" -lt 60 ]
check "flashInProgress was cleared" ended_cleanly
check "nothing left open" nothing_left_open
end_scenario

# ---------------------------------------------------------------------------
begin stops-reading
start_printer --device-id "$mv38" --stop-reading-after-image 16384 || finish
flash_with 120
outcome
stop_printer
sed 's/^/    emu: /' "$work/emu.out"
check "the write bound fires (ETIMEDOUT)" \
  grep -qF 'box - "Write flash error = Dec = 110, Hex = 6E"' "$work/kvflash.out"
check "kvflash exits with 1" [ "$code" -eq 1 ]
# The 2 s before the first block, then the 15 s write bound; after the
# message only the re-probe (a close that waited for the stuck block again
# would add another 15 s).
bound_took=$(seconds_between 'Programming 64 KBytes' 'Write flash error')
after_took=$(seconds_between 'Write flash error' '(end)')
echo "    from the programming text to the message: $bound_took s; from there to the end: $after_took s"
check "the write bound fires after 15 s" test "${bound_took:-0}" -ge 16 -a "${bound_took:-0}" -le 22
check "the end follows without another wait" test "${after_took:-99}" -le 10
check "flashInProgress was cleared" ended_cleanly
check "nothing left open" nothing_left_open
end_scenario

# ---------------------------------------------------------------------------
# Busy, not ready and out of paper: in the status replies and in the port
# status usblp reads.
for fault in "busy --busy 0x10" "not-ready --not-ready 0x00" "paper-out --paper-out 0x30"; do
  set -- $fault
  begin "$1"
  start_printer --device-id "$mv38" "$2" || finish
  "$KV_PROBE" usb >"$work/probe.out" 2>&1
  grep port-status "$work/probe.out" | sed 's/^/    /'
  flash_with 90
  outcome
  stop_printer
  check "port status $3" grep -qx "port-status=$3" "$work/probe.out"
  check "find says the printer is not ready" \
    grep -qxF 'text statusText "Found Printer - Printer NOT ready"' "$work/kvflash.out"
  check "nothing reaches flash mode" [ "$(emu_summary flashes)" = 0 ]
  check "kvflash exits with 1" [ "$code" -eq 1 ]
  check "it ends within 30 s" [ "$took" -lt 30 ]
  check "flashInProgress was cleared" ended_cleanly
  check "nothing left open" nothing_left_open
  end_scenario
done

# ---------------------------------------------------------------------------
# A printer that offers its status a second after the host's last byte,
# read or not: without dropping stale input before each request, the
# flash-mode entry read the ESC *FR reply where the ESC IA reply belonged.
begin unasked-status
"$KV_KVIMAGE" make --version V4.20 --size 16384 "$image" >/dev/null
start_printer --device-id "$mv38" --unasked-status 1000 || finish
flash_with 120
outcome
stop_printer
sed 's/^/    emu: /' "$work/emu.out"
check_flashed "$image" V4.20
check "nothing left open" nothing_left_open
end_scenario

# ---------------------------------------------------------------------------
# A ZOR1 printer: the binary status and version requests over usblp, the
# programming command, and the image.
begin zor1-flash
zimage="$work/471KdsR6_2ds_v603.bin"
"$KV_KVIMAGE" make --version R6.03 --size 32768 "$zimage" >/dev/null
start_printer --device-id 'MFG:KV;MDL:ZOR12G;CMD:G;FWV:R6.02;' --zor1 || finish
t0=$(date +%s)
kvflash_run 120 find select "$zimage" flash; code=$?
took=$(( $(date +%s) - t0 ))
outcome
stop_printer
sed 's/^/    emu: /' "$work/emu.out"
check "the flash succeeds" grep -qF 'text programStatusText "Printer successfully flashed"' "$work/kvflash.out"
check "kvflash exits with 0" [ "$code" -eq 0 ]
check "the printer took exactly the image (SHA-256)" \
  [ "$(emu_summary 'flash-mode SHA-256')" = "$(sha256sum "$zimage" | cut -d' ' -f1)" ]
# The re-probe: the ID names R6.03; the version reply has four characters.
check "the re-probe shows the new version" \
  bash -c "sed -n '/Printer successfully flashed/,\$p' '$work/kvflash.out' | grep -qxF 'text currentVersionText \"R6.03\"'"
check "nothing left open" nothing_left_open
end_scenario

stop_cups
finish
