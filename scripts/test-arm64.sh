#!/usr/bin/env bash
# Cross-builds the Debian package for arm64 with its test runners (one build,
# build-arm64/ or $1), then runs every test under qemu-user from that build
# tree, and a simulated standard download with its kr35ctl. The package it
# leaves in $1 is what scripts/test-package.sh checks for arm64.
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-build-arm64}
jobs=${JOBS:-$(nproc)}
start=$SECONDS

ARCH=arm64 PROFILES=pkg.kr35-download.tests JOBS=$jobs scripts/build-package.sh "$out"
built=$SECONDS
tree=$(ls -d "$out"/work/kr35-download-*/obj-aarch64-linux-gnu)
kr35ctl=$tree/src/app/console/kr35ctl
readelf -h "$kr35ctl" | grep -q "Machine:.*AArch64" || { echo "$kr35ctl is not an arm64 program" >&2; exit 1; }
"$kr35ctl" --version >/dev/null || { echo "arm64 programs do not run here (qemu-user)" >&2; exit 1; }

echo "== the tests under qemu-user ($(qemu-aarch64-static --version | head -1))"
export QT_QPA_PLATFORM=offscreen
status=0
(cd "$tree" && ctest -j "$jobs" --output-on-failure) || status=$?
# Each skipped test with the reason it gave.
awk '/^\[ RUN      \]/ { name = $4 } /: Skipped$/ { getline reason; print "skipped: " name ": " reason }' \
  "$tree/Testing/Temporary/LastTest.log"
if [ $status -ne 0 ]; then
  # The real-time tests keep the protocol's timing under emulation, beside
  # another test on the other core; a failed test runs once more alone, and
  # is named either way.
  echo "== failed under qemu-user, run once more alone:"
  sed 's/^[0-9]*:/  /' "$tree/Testing/Temporary/LastTestsFailed.log"
  (cd "$tree" && ctest --rerun-failed --output-on-failure) || exit 1
  echo "== each passed when run alone"
fi

echo "== a simulated standard download with the arm64 kr35ctl"
output=$("$kr35ctl" --simulate download --yes)
echo "$output" | tail -2
grep -qxF "version: USB 0104, DSP 0107" <<<"$output" ||
  { echo "(expected the line \"version: USB 0104, DSP 0107\")" >&2; exit 1; }

echo "make test-arm64: build $((built - start)) s, tests $((SECONDS - built)) s"
