#!/usr/bin/env bash
# The programs on a real Linux kernel: boots Debian's kernel in QEMU (TCG)
# with an initramfs holding kr35ctl, kr35-sim and the ALSA probe, runs
# tests/kernel/vm_checks.sh there and passes only when the VM prints
# "KR35-VM: PASS". See docs/kernel-test.md.
#   scripts/test-kernel.sh [BUILD_DIR]     (default: build)
# Environment: KR35_VM_TIMEOUT (seconds, default 600).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
out=build-kernel
timeout_s=${KR35_VM_TIMEOUT:-600}
wall_start=$EPOCHREALTIME

scripts/install-deps.sh qemu-system-x86 linux-image-amd64 busybox-static

# The kernel linux-image-amd64 stands for (not the build machine's own).
kver=$(dpkg-query -W -f='${Depends}' linux-image-amd64 | grep -o 'linux-image-[^ ,]*' | head -1)
kver=${kver#linux-image-}
kernel=/boot/vmlinuz-$kver
if [[ -z $kver || ! -r $kernel || ! -d /lib/modules/$kver ]]; then
  echo "test-kernel: no readable kernel and modules for '$kver'" >&2
  exit 1
fi

# The programs, built in the normal build directory.
if [[ ! -f $build/build.ninja ]]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKR35_WERROR=ON >/dev/null
fi
cmake --build "$build" -j "$(nproc)" --target kr35ctl kr35-sim kr35-alsa-probe kr35-make-hex

# HEX files for the FULL mode, and the versions the adapter will report once
# they are installed: the u16 at payload offset 6 of each converted image
# (file offset 8 + 6 of the dump kr35ctl convert writes).
mkdir -p "$out"
"$build/tools/kr35-make-hex" "$out/usb.hex" 0.01 >/dev/null
"$build/tools/kr35-make-hex" "$out/dsp.hex" 0.05 >/dev/null
"$build/src/app/console/kr35ctl" convert --usb="$out/usb.hex" --dsp="$out/dsp.hex" --output-dir="$out" >/dev/null
version_of() { od -An -tx1 -j14 -N2 "$1" | awk '{print $2 $1}'; }
echo "USB $(version_of "$out/USBFileDump.bin"), DSP $(version_of "$out/DSPFileDump.bin")" >"$out/hex-versions"

tests/kernel/build_initramfs.sh "$kver" "$build" "$out"

# Copies the console to stdout and the log, noting when /init starts.
console() {
  local line
  while IFS= read -r line; do
    line=${line%$'\r'}
    printf '%s\n' "$line" | tee -a "$log"
    [[ $line == *"KR35-VM: init started"* ]] && echo "$EPOCHREALTIME" >"$out/init-seen"
  done
  return 0
}

echo "== booting $kernel (TCG), time limit ${timeout_s} s"
log=$out/vm-console.log
rm -f "$log" "$out/init-seen"
boot_start=$EPOCHREALTIME
timeout "$timeout_s" qemu-system-x86_64 -accel tcg -machine pc -cpu max -smp 2 -m 512 \
  -nographic -no-reboot -usb -device usb-tablet \
  -kernel "$kernel" -initrd "$out/initramfs.cpio.gz" \
  -append "console=ttyS0 panic=-1 loglevel=4" </dev/null 2>&1 | console || true
boot_end=$EPOCHREALTIME

elapsed() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.1f", b - a}'; }
boot="?"
[[ -f $out/init-seen ]] && boot=$(elapsed "$boot_start" "$(cat "$out/init-seen")")
echo "== VM boot (QEMU start to /init): $boot s; QEMU ran $(elapsed "$boot_start" "$boot_end") s;" \
  "whole check $(elapsed "$wall_start" "$boot_end") s"
if grep -q '^KR35-VM: PASS$' "$log"; then
  echo "test-kernel: PASS"
  exit 0
fi
echo "test-kernel: FAIL (no PASS line from the VM; console log in $log)" >&2
exit 1
