#!/bin/busybox sh
# /init of the test VM: mounts what the programs need, loads the kernel
# modules in dependency order, runs the checks and powers off. The last
# console line the host looks for is "KR35-VM: PASS" or "KR35-VM: FAIL ...".
/bin/busybox --install -s /bin
export PATH=/bin:/usr/bin
mkdir -p /proc /sys /dev /tmp /run
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
mount -t tmpfs tmpfs /tmp
mount -t tmpfs tmpfs /run
echo "KR35-VM: init started at uptime $(cut -d' ' -f1 /proc/uptime) s"

verdict="FAIL (module loading)"
modules_ok=1
while read -r module; do
  [ -n "$module" ] || continue
  if ! insmod "/lib/modules/$module" 2>/tmp/insmod.err; then
    # A module already loaded (built in or loaded as a dependency) is fine.
    grep -q "File exists" /tmp/insmod.err || { echo "insmod $module: $(cat /tmp/insmod.err)"; modules_ok=0; }
  fi
done < /lib/modules/load-order

if [ "$modules_ok" = 1 ]; then
  echo "KR35-VM: modules loaded at uptime $(cut -d' ' -f1 /proc/uptime) s"
  if sh /kr35/vm_checks.sh; then verdict=PASS; else verdict="FAIL ($(cat /tmp/failed 2>/dev/null) checks failed)"; fi
fi
echo "KR35-VM: checks ended at uptime $(cut -d' ' -f1 /proc/uptime) s"
echo "KR35-VM: $verdict"
sync
poweroff -f
