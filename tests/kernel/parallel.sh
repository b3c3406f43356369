#!/bin/bash
# In the guest: QEMU's emulated ISA parallel port with parport_pc and lp; its
# output lands in the run folder ($KVTEST_OUT/lpt.bin). What of IEEE 1284 the
# emulation supports, and whether a flash's bytes arrive whole through lp.
. "$(dirname "$0")/guest-lib.sh"

out="$KVTEST_OUT/lpt.bin"
port=/proc/sys/dev/parport/parport0

begin port
check "parport_pc found the port" [ -d "$port" ]
check "lp made /dev/lp0" [ -c /dev/lp0 ]
echo "    modes: $(cat $port/modes 2>&1)"
for f in autoprobe autoprobe0 autoprobe1 autoprobe2 autoprobe3; do
  echo "    $f: $(tr '\n' ' ' <"$port/$f" 2>&1)"
done
dmesg | grep -E 'parport|lp0' | sed 's/^/    dmesg: /'
check "the real-node platform test runs and passes" \
  real_node_test 'LinuxDeviceIoOnRealNodes.ParallelPortOpensAndShowsItsProbe'
end_scenario

# ---------------------------------------------------------------------------
# The reverse channel: a read on lp asks for nibble mode (IEEE 1284
# negotiation); the ID query reads the kernel's probe data.
begin reverse-and-id
"$KV_PROBE" lpt-read >"$work/read.out" 2>&1
show "$work/read.out"
check "a read on the port fails at once (no nibble-mode reply): EIO" grep -q 'obtained=0 errno=5 ' "$work/read.out"
check "no IEEE 1284 device ID comes back" grep -q '^id-errno=' "$work/read.out"
end_scenario

# ---------------------------------------------------------------------------
# A flash's data through the product's own writes (512-byte blocks, the
# 15 s write time-out given to lp).
begin flash-bytes
image="$work/FMVQ_V5.20.bin"
"$KV_KVIMAGE" make --version V5.20 --size 65536 "$image" >/dev/null
before=$(stat -c %s "$out" 2>/dev/null || echo 0)
t0=$(date +%s)
"$KV_PROBE" lpt-write "$image" >"$work/write.out" 2>&1; code=$?
show "$work/write.out"
sync
# The host writes the file as the port strobes each byte; 9p shows it.
for i in $(seq 1 50); do
  [ "$(stat -c %s "$out" 2>/dev/null || echo 0)" -ge $((before + 65536)) ] && break
  sleep 0.1
done
got=$(stat -c %s "$out" 2>/dev/null || echo 0)
echo "    the host side holds $got bytes (before: $before), $(( $(date +%s) - t0 )) s"
check "every block was written" [ "$code" -eq 0 ]
check "the bytes arrived whole (SHA-256)" \
  [ "$(tail -c +$((before + 1)) "$out" | head -c 65536 | sha256sum | cut -d' ' -f1)" = \
    "$(sha256sum "$image" | cut -d' ' -f1)" ]
check "nothing more arrived" [ "$got" -eq $((before + 65536)) ]
end_scenario

# ---------------------------------------------------------------------------
# kvflash's own search on the real lp driver: without a reverse channel the
# status read fails (EIO), so no printer counts as present.
begin find-on-lpt
before=$(stat -c %s "$out")
t0=$(date +%s)
kvflash_run 120 --trace find; code=$?
took=$(( $(date +%s) - t0 ))
grep -E '^box|statusText' "$work/kvflash.out" | sed 's/^/    /'
grep -E 'IsPrinterPARALLEL - (After|Preparing)' "$work/kvflash.err" | head -n 12 | sed 's/^/    trace: /'
sync; sleep 0.5
after=$(stat -c %s "$out")
echo "    bytes the search sent to the port: $((after - before)) ($(tail -c +$((before + 1)) "$out" | od -An -tx1 | tr -s ' '))"
echo "    took $took s, exit $code"
check "no parallel printer is found" grep -qF 'text statusText "KV printer not found"' "$work/kvflash.out"
check "the status read failed, so not even the zero byte went out" [ "$after" -eq "$before" ]
check "the search ends within 60 s" [ "$took" -lt 60 ]
check "nothing left open" nothing_left_open
end_scenario

finish
