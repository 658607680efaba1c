#!/usr/bin/env bash
# Assembles the test VM's initramfs:
#   build_initramfs.sh KVER BUILD_DIR OUT_DIR
# OUT_DIR/root gets busybox, the kernel modules uhid, hid-generic, usbhid
# (QEMU's USB tablet: a HID device that is not the adapter) and snd-dummy
# with everything they depend on (in load order), kr35ctl, kr35-sim,
# kr35-alsa-probe with their shared libraries, ALSA's configuration, the
# check scripts, scenarios and HEX files; OUT_DIR/initramfs.cpio.gz is the result.
set -euo pipefail
kver=$1 build=$2 out=$3
here=$(cd "$(dirname "$0")" && pwd)
root=$out/root
rm -rf "$root"
mkdir -p "$root"/{bin,usr/bin,lib/modules,kr35/scenarios,proc,sys,dev,tmp,run}

# Busybox (static) and the init script.
cp /bin/busybox "$root/bin/busybox"
cp "$here/vm_init.sh" "$root/init"
chmod +x "$root/init"

# Kernel modules, each after the modules it depends on.
declare -A seen=()
order=()
resolve() {
  local module=$1 deps dep file
  [[ -n ${seen[$module]:-} ]] && return 0
  seen[$module]=1
  deps=$(modinfo -k "$kver" -F depends "$module")
  IFS=, read -ra list <<<"$deps"
  for dep in "${list[@]}"; do
    [[ -n $dep ]] && resolve "$dep"
  done
  file=$(modinfo -k "$kver" -n "$module")
  [[ -f $file ]] || return 0  # built into the kernel
  local name
  name=$(basename "$file")
  case $name in
    *.ko.xz) xz -dc "$file" >"$root/lib/modules/${name%.xz}"; name=${name%.xz} ;;
    *.ko.zst) zstd -qdc "$file" >"$root/lib/modules/${name%.zst}"; name=${name%.zst} ;;
    *.ko.gz) gzip -dc "$file" >"$root/lib/modules/${name%.gz}"; name=${name%.gz} ;;
    *) cp "$file" "$root/lib/modules/$name" ;;
  esac
  order+=("$name")
}
for module in uhid hid-generic uhci-hcd usbhid snd-dummy; do
  resolve "$module"
done
printf '%s\n' "${order[@]}" >"$root/lib/modules/load-order"

# The programs and every shared library they load, at the paths the loader expects.
programs=("$build/src/app/console/kr35ctl" "$build/src/sim/uhid/kr35-sim" "$build/tests/kernel/kr35-alsa-probe")
for program in "${programs[@]}"; do
  # Without debug information: a smaller image unpacks faster in the emulated CPU.
  strip -o "$root/usr/bin/$(basename "$program")" "$program"
  ldd "$program" | grep -o '/[^ ]*' | while read -r lib; do
    mkdir -p "$root$(dirname "$lib")"
    cp -L "$lib" "$root$lib"
  done
done
# alsa-lib reads its configuration to resolve "hw:N".
mkdir -p "$root/usr/share"
cp -r /usr/share/alsa "$root/usr/share/alsa"

# Checks, scenarios, and HEX files for the FULL mode with the versions they carry.
cp "$here/vm_checks.sh" "$root/kr35/"
cp "$here"/scenarios/*.json "$root/kr35/scenarios/"
cp "$out/usb.hex" "$out/dsp.hex" "$out/hex-versions" "$root/kr35/"

(cd "$root" && find . -print0 | cpio --null -o -H newc --quiet) | gzip -1 >"$out/initramfs.cpio.gz"
echo "initramfs: $(du -h "$out/initramfs.cpio.gz" | cut -f1), modules: ${order[*]}"
