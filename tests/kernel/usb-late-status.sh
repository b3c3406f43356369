#!/bin/bash
# In the guest: a printer on a USB printer gadget that answers ESC "IA" 0x0F
# with a plain status first, as if it had offered one unasked, and with its
# "FLASH READY" reply once the host has fetched that. usblp fetches the
# status at once, after the stale input was dropped, and hands it over where
# the reply belongs; kvflash reads once more and the flash goes on. An MV38
# DualDriver board (3 s start delay, 15 s reset wait) keeps it short.
. "$(dirname "$0")/guest-lib.sh"

mv38='MFG:KV;CMD:FGL;MDL:ZOW3004F;CLS:PRINTER;FWV:V4.10;'
image="$work/F2ZOW_V4.20.bin"
"$KV_KVIMAGE" make --version V4.20 --size 16384 "$image" >/dev/null
start_cups >/dev/null || echo "no cupsd: the transcripts carry its box"

begin late-flash-ready
start_printer --device-id "$mv38" --late-flash-ready || finish
t0=$(date +%s)
kvflash_run 120 --trace find select "$image" flash; code=$?
took=$(( $(date +%s) - t0 ))
log "kvflash ended after $took s with $code"
grep -E '^box|programStatusText|statusText "Found|currentVersionText' "$work/kvflash.out" |
  uniq | sed 's/^/    /'
grep -E 'FLASH READY|reading once more' "$work/kvflash.err" | sed 's/^/    trace: /'
stop_printer
sed 's/^/    emu: /' "$work/emu.out"
grep -E 'ESC I A 0F|unasked status' "$work/emu.err" | sed 's/^/    emu log: /'
check "the printer put a status ahead of its FLASH READY reply" \
  grep -q 'unasked status ahead of the reply' "$work/emu.err"
check "that status was read where FLASH READY belonged, then read past" \
  grep -qF 'EnterFlashModeLocal - Status without FLASH READY, reading once more' "$work/kvflash.err"
check "no refused flash mode" bash -c "! grep -q 'Failed to entered flash programming mode' '$work/kvflash.out'"
check_flashed "$image" V4.20
check "nothing left open" nothing_left_open
end_scenario

stop_cups
finish
