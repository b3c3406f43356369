#!/bin/busybox sh
# The guest's init: load the modules (the package has no modules.dep, so in
# dependency order), mount the host's root read-only and the run folder
# writable, and run the job as root inside the host's root. Powers off at
# the end whatever happens; the host bounds the whole boot.
/bin/busybox --install -s /bin
export PATH=/bin
mount -t proc proc /proc
mount -t sysfs sys /sys
mount -t devtmpfs dev /dev

say() { echo "guest-init: $*"; }

while read -r m; do
  insmod "/modules/$m.ko" 2>/tmp/insmod.err || say "insmod $m: $(cat /tmp/insmod.err)"
done </modules/order

h=/mnt/host
if ! mount -t 9p -o trans=virtio,version=9p2000.L,ro,msize=262144 host $h; then
  say "cannot mount the host's root"; poweroff -f
fi
mount -t tmpfs -o mode=755 run $h/run
mkdir -p $h/run/out $h/run/lock $h/run/tmp $h/run/kvstate
mount -t 9p -o trans=virtio,version=9p2000.L,msize=262144 out $h/run/out
mount --bind /dev $h/dev
mount -t devpts devpts $h/dev/pts 2>/dev/null
mount --bind /proc $h/proc
mount --bind /sys $h/sys
mount -t configfs none $h/sys/kernel/config

say "running the job"
chroot $h /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/run/tmp TMPDIR=/run/tmp \
  KVFLASH_LOCK_DIR=/run/lock KVFLASH_STATE_DIR=/run/kvstate /bin/bash /run/out/job.sh
code=$?
echo "$code" >$h/run/out/exit-code
say "job ended with $code"
sync
umount $h/run/out 2>/dev/null
poweroff -f
