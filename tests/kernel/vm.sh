#!/usr/bin/env bash
# Boots Debian's own kernel in QEMU with this machine's root shared read-only
# over 9p, runs one guest script inside it as root, and returns the script's
# transcript and exit code.
#
#   vm.sh CACHE_DIR NAME BOUND_SECONDS [--lpt] -- GUEST_SCRIPT [ARGS...]
#
# CACHE_DIR (in the build folder) keeps the downloaded kernel and the
# initramfs, so only the first run fetches anything. NAME names the run's
# folder CACHE_DIR/runs/NAME, which the guest sees writable as $KVTEST_OUT.
# --lpt gives the guest an ISA parallel port whose output lands in
# CACHE_DIR/runs/NAME/lpt.bin. Environment variables named KV_* are handed
# to the guest script.
#
# Exit codes: the guest script's; 77 when a piece is missing and CI is not
# set (the test is skipped); 1 for a harness failure or a guest that did not
# finish within BOUND_SECONDS.
set -uo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
cache="${1:?cache folder}"; name="${2:?run name}"; bound="${3:?bound in seconds}"
shift 3
lpt=0
while [ $# -gt 0 ] && [ "$1" != "--" ]; do
  case "$1" in
    --lpt) lpt=1 ;;
    *) echo "vm.sh: unknown option $1" >&2; exit 1 ;;
  esac
  shift
done
[ "${1:-}" = "--" ] && shift
guest_script="${1:?guest script}"; shift

missing() {
  if [ "${CI:-}" = "true" ]; then
    echo "vm.sh: FAIL: $1 (the kernel tests must run under CI)" >&2
    exit 1
  fi
  echo "vm.sh: SKIP: $1 (bash scripts/install-deps.sh installs it)" >&2
  exit 77
}

for tool in qemu-system-x86_64:qemu-system-x86 cpio:cpio dpkg:dpkg apt-get:apt timeout:coreutils; do
  command -v "${tool%%:*}" >/dev/null 2>&1 || missing "no ${tool%%:*} (package ${tool#*:})"
done
busybox=/bin/busybox
if ! [ -x "$busybox" ] || ! dpkg-query -W -f='${Status}' busybox-static 2>/dev/null | grep -q "ok installed"; then
  missing "no static busybox (package busybox-static)"
fi

# The guest sees this machine's root, except where it mounts its own /run,
# /dev, /proc and /sys.
for value in "$guest_script" $(env | sed -n 's/^KV_[A-Za-z0-9_]*=//p'); do
  case "$value" in
    /run/*|/dev/*|/proc/*|/sys/*)
      echo "vm.sh: FAIL: $value lies where the guest mounts its own folders" >&2; exit 1 ;;
  esac
done

mkdir -p "$cache"
cache="$(cd "$cache" && pwd)"

# --- the kernel: Debian's package, unpacked, never installed -------------
kernel_dir="$cache/kernel"
if ! ls "$kernel_dir"/boot/vmlinuz-* >/dev/null 2>&1; then
  pkg="$(apt-cache depends linux-image-amd64 2>/dev/null | sed -n 's/^ *Depends: \(linux-image-6\.1[^ ]*\)$/\1/p' | head -n1)"
  if [ -z "$pkg" ]; then
    apt-get update >/dev/null 2>&1 || true
    pkg="$(apt-cache depends linux-image-amd64 2>/dev/null | sed -n 's/^ *Depends: \(linux-image-6\.1[^ ]*\)$/\1/p' | head -n1)"
  fi
  [ -n "$pkg" ] || missing "apt knows no linux-image-6.1 kernel package"
  rm -rf "$cache/download" "$kernel_dir.part"
  mkdir -p "$cache/download"
  if ! (cd "$cache/download" && apt-get download "$pkg" >/dev/null 2>&1); then
    apt-get update >/dev/null 2>&1 || true
    (cd "$cache/download" && apt-get download "$pkg" >/dev/null 2>&1) ||
      missing "cannot download $pkg"
  fi
  dpkg -x "$cache"/download/*.deb "$kernel_dir.part" || { echo "vm.sh: dpkg -x failed" >&2; exit 1; }
  rm -rf "$cache/download"
  mv "$kernel_dir.part" "$kernel_dir"
fi
vmlinuz="$(ls "$kernel_dir"/boot/vmlinuz-* | head -n1)"
moddir="$(ls -d "$kernel_dir"/lib/modules/* | head -n1)"

# --- the initramfs: busybox, the init script and the modules it loads ----
modules=(
  virtio_ring virtio virtio_pci_modern_dev virtio_pci_legacy_dev virtio_pci
  netfs fscache 9pnet 9pnet_virtio 9p
  configfs usb-common usbcore udc-core libcomposite usb_f_printer dummy_hcd usblp
  parport parport_pc lp
)
initrd="$cache/initramfs.cpio.gz"
stamp="$(cat "$here/guest-init.sh" "$0" "$busybox" | sha256sum | cut -c1-16) ${modules[*]} $(basename "$moddir")"
if ! [ -f "$initrd" ] || [ "$(cat "$initrd.stamp" 2>/dev/null)" != "$stamp" ]; then
  tree="$cache/initramfs.tree"
  rm -rf "$tree"
  mkdir -p "$tree"/{bin,dev,proc,sys,tmp,mnt/host,modules}
  cp "$busybox" "$tree/bin/busybox"
  cp "$here/guest-init.sh" "$tree/init"
  chmod 755 "$tree/init"
  for m in "${modules[@]}"; do
    f="$(find "$moddir" -name "$m.ko" -o -name "$m.ko.xz" | head -n1)"
    [ -n "$f" ] || { echo "vm.sh: the kernel has no module $m" >&2; exit 1; }
    case "$f" in
      *.xz) xz -dc "$f" >"$tree/modules/$m.ko" ;;
      *) cp "$f" "$tree/modules/$m.ko" ;;
    esac
  done
  printf '%s\n' "${modules[@]}" >"$tree/modules/order"
  (cd "$tree" && find . | cpio -o -H newc --quiet | gzip -1) >"$initrd.part" || exit 1
  mv "$initrd.part" "$initrd"
  echo "$stamp" >"$initrd.stamp"
  rm -rf "$tree"
fi

# --- the run --------------------------------------------------------------
run="$cache/runs/$name"
rm -rf "$run"
mkdir -p "$run"
{
  echo "#!/bin/sh"
  echo "# written by vm.sh"
  env | grep -E '^KV_[A-Za-z0-9_]*=' | while IFS= read -r line; do
    printf 'export %s=%q\n' "${line%%=*}" "${line#*=}"
  done
  printf 'export KVTEST_OUT=/run/out\n'
  printf 'exec /bin/bash %q' "$guest_script"
  for a in "$@"; do printf ' %q' "$a"; done
  echo
} >"$run/job.sh"

qemu=(qemu-system-x86_64 -accel tcg -m 768 -smp 1 -nodefaults -no-user-config
  -display none -serial stdio -no-reboot
  -kernel "$vmlinuz" -initrd "$initrd"
  -append "console=ttyS0 panic=-1 quiet loglevel=3"
  -virtfs "local,path=/,mount_tag=host,security_model=none,readonly=on,multidevs=remap"
  -virtfs "local,path=$run,mount_tag=out,security_model=none,multidevs=remap")
if [ "$lpt" = 1 ]; then
  qemu+=(-chardev "file,id=lpt,path=$run/lpt.bin" -device "isa-parallel,chardev=lpt,iobase=0x378,irq=7")
fi

start=$(date +%s)
timeout --kill-after=10 "$bound" "${qemu[@]}" </dev/null 2>&1 | tr -d '\r' | tee "$run/console.log"
end=$(date +%s)
echo "vm.sh: guest ran $((end - start)) s (bound $bound s); run folder $run"
if ! [ -f "$run/exit-code" ]; then
  echo "vm.sh: FAIL: the guest ended without finishing its script, or ran past $bound s" >&2
  exit 1
fi
code="$(cat "$run/exit-code")"
echo "vm.sh: guest script exit code $code"
exit "$code"
