#!/bin/bash
# In the guest: an MVQ Plus printer on a USB printer gadget, bound to usblp.
# Identify it, then flash it with the real world of kvflash, while a second
# kvflash and a plain `cat` try to take the printer.
. "$(dirname "$0")/guest-lib.sh"

guid='{a5dcbf10-6530-11d2-901f-00c04fb951ed}'
id='MFG:KV;CMD:FGL;MDL:ZOW3004F;CLS:PRINTER;FWV:V5.12;'

# ---------------------------------------------------------------------------
begin identify
start_printer --device-id "$id" --reset-time 15000 || finish
kvflash_run 60 find; code=$?
show "$work/kvflash.out"
check "find exits with 0" [ "$code" -eq 0 ]
for want in 'text printerModelText "ZOW3004F"' 'text portText "USB"' 'text languageText "FGL-G"' \
            'text logicBoardText "MVQ Plus"' 'text statusText "Found Printer - Printer ready.."'; do
  check "shows: $want" grep -qxF "$want" "$work/kvflash.out"
done
check "the version from the C status reply is V5.12" \
  [ "$(grep '^text currentVersionText' "$work/kvflash.out" | tail -n1)" = 'text currentVersionText "V5.12"' ]

# The path kvflash builds, against what sysfs shows of the device.
dev=/sys/bus/usb/devices/1-1
want_path="\\\\?\\usb#vid_$(cat $dev/idVendor)&pid_$(cat $dev/idProduct)#$(tr 'A-Z' 'a-z' <$dev/serial)#$guid"
want_node="/dev/usb/$(ls /sys/bus/usb/drivers/usblp/1-1:1.0/usbmisc)"
"$KV_PROBE" usb >"$work/probe.out" 2>&1
show "$work/probe.out"
echo "    sysfs: idVendor=$(cat $dev/idVendor) idProduct=$(cat $dev/idProduct) serial=$(cat $dev/serial) node=$want_node"
check "the device path is the one sysfs describes" grep -qxF "path=$want_path" "$work/probe.out"
check "the node is the one usblp registered" grep -qxF "node=$want_node" "$work/probe.out"
check "the device ID arrives whole (the gadget's length quirk made up for)" grep -qxF "id=$id" "$work/probe.out"
check "port status: selected, no error, paper present" grep -qxF "port-status=0x18" "$work/probe.out"
check "the real-node platform test runs and passes" \
  real_node_test 'LinuxDeviceIoOnRealNodes.UsbPrinterAnswersItsDeviceId'
check "nothing left open" nothing_left_open
end_scenario

# ---------------------------------------------------------------------------
begin full-local-flash
image="$work/FMVQ_V5.20.bin"
"$KV_KVIMAGE" make --version V5.20 --size 65536 "$image" >/dev/null
check "cupsd starts with a KV queue" start_cups
flash_start=$(date +%s)
kvflash_run 240 find select "$image" flash &
flash_pid=$!

# While the printer is worked on: nobody else gets it.
begin exclusive-open
for i in $(seq 1 600); do
  grep -q 'programStatusText "Delaying' "$work/kvflash.out" 2>/dev/null && break
  sleep 0.1
done
log "the flash is under way: $(tail -n1 "$work/kvflash.out")"
bash -c 'cat "$1" >/dev/usb/lp0' cat "$image" 2>"$work/cat.err"; cat_code=$?
echo "    cat > /dev/usb/lp0: exit $cat_code, $(cat "$work/cat.err")"
check "a plain open of the node is refused as busy" grep -q "busy" "$work/cat.err"
timeout 60 "$KV_KVFLASH" --console find >"$work/second.out" 2>&1 </dev/null; second_code=$?
echo "    a second kvflash (same instance lock): exit $second_code"
show "$work/second.out" 20
check "a second kvflash is refused by the instance lock" grep -q '^box' "$work/second.out"
check "the second kvflash does not reach the printer" \
  bash -c "! grep -q 'Found Printer' '$work/second.out'"
# Its own lock and its own print-queue journal: the first one's journal is
# not its to restore.
mkdir -p "$work/other-lock" "$work/other-state"
KVFLASH_LOCK_DIR="$work/other-lock" KVFLASH_STATE_DIR="$work/other-state" timeout 60 "$KV_KVFLASH" --console --trace find \
  >"$work/third.out" 2>"$work/third.err" </dev/null
echo "    a kvflash with an instance lock of its own: $(grep -c . "$work/third.out") lines"
grep -E 'statusText|^box' "$work/third.out" | sed 's/^/    /'
check "a kvflash with its own instance lock cannot open the printer" \
  bash -c "! grep -q 'Found Printer' '$work/third.out'"
end_scenario

scenario=full-local-flash
wait "$flash_pid"; code=$?
log "the flash took $(( $(date +%s) - flash_start )) s, exit $code"
show "$work/kvflash.out" 60
# The golden transcript is the simulated world's; the real world adds
# nothing but the same lines. Only the simulated world trusts the demo key,
# so the demo's signature line is its alone.
sed -e "s|@DEMO@|$image|" -e '/^signature 4657CEF660F2F093 /d' "$KV_GOLDEN" >"$work/golden.txt"
if diff -u "$work/golden.txt" "$work/kvflash.out" >"$work/golden.diff"; then
  echo "    transcript matches tests/console/full_local_flash.txt line for line"
else
  show "$work/golden.diff" 80
fi
check "the flash exits with 0" [ "$code" -eq 0 ]
check "the transcript matches the simulated golden transcript" [ ! -s "$work/golden.diff" ]
stop_printer
stop_cups
sed 's/^/    emu: /' "$work/emu.out"
grep -E 'plugged|image|flash mode|back after' "$work/emu.err" | sed 's/^/    emu log: /'
check "the printer took exactly the image (SHA-256)" \
  [ "$(emu_summary 'flash-mode SHA-256')" = "$(sha256sum "$image" | cut -d' ' -f1)" ]
check "the printer left the bus and came back" [ "$(emu_summary 'times plugged in')" = 2 ]
check "the re-probe shows V5.20" \
  [ "$(grep '^text currentVersionText' "$work/kvflash.out" | tail -n1)" = 'text currentVersionText "V5.20"' ]
check "nothing left open" nothing_left_open
end_scenario

finish
