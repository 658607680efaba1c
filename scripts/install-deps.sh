#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, or, when not root,
# prints the apt-get line that would and stops.
set -euo pipefail
packages=(cmake ninja-build g++ clang libclang-rt-14-dev pkg-config
  qt6-base-dev libudev-dev libsystemd-dev libasound2-dev libcli11-dev nlohmann-json3-dev
  libgtest-dev libgmock-dev libbenchmark-dev binutils xvfb xauth
  libxcb1-dev libxcb-xtest0-dev dbus-daemon)
extra=("$@")
missing=()
for p in "${packages[@]}" "${extra[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
if [ "$(id -u)" -ne 0 ]; then
  echo "Missing packages. Install them with:" >&2
  echo "  sudo apt-get install -y ${missing[*]}" >&2
  exit 1
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq "${missing[@]}" >/dev/null
