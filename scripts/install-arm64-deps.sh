#!/usr/bin/env bash
# Installs what the arm64 cross build and its tests need: Debian's cross
# toolchain, the arm64 libraries beside the machine's own (multiarch), and
# qemu-user, registered with the kernel so that arm64 programs, and the
# programs they start, run as if they were native. Needs root for each of
# these the first time; prints what is missing otherwise.
set -euo pipefail
cd "$(dirname "$0")/.."
libraries=(qt6-base-dev libudev-dev libsystemd-dev libasound2-dev libgtest-dev libgmock-dev pkgconf
  libxcb1-dev libxcb-xtest0-dev)

if ! dpkg --print-foreign-architectures | grep -qx arm64; then
  [ "$(id -u)" -eq 0 ] || { echo "Run as root: dpkg --add-architecture arm64" >&2; exit 1; }
  dpkg --add-architecture arm64
  apt-get update -qq
fi
scripts/install-deps.sh crossbuild-essential-arm64 qemu-user-static binfmt-support \
  "${libraries[@]/%/:arm64}"

# qemu-user-static registers itself with binfmt_misc, which a container may
# not have mounted yet.
binfmt=/proc/sys/fs/binfmt_misc
if [ ! -e "$binfmt/qemu-aarch64" ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "arm64 programs cannot run here: as root, mount binfmt_misc on $binfmt" \
      "and run update-binfmts --enable qemu-aarch64" >&2
    exit 1
  fi
  [ -e "$binfmt/register" ] || mount -t binfmt_misc binfmt_misc "$binfmt"
  update-binfmts --enable qemu-aarch64
fi
