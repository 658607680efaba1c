#!/usr/bin/env bash
# Builds the Debian package with Debian's own tools (dpkg-buildpackage, dh)
# from a copy of the sources, and checks it with lintian. Leaves
# kr35-download_<version>_<arch>.deb, build.log and lintian.log in
# build-package/ (or $1). Installs the packaging tools first when run as root.
#
# ARCH=arm64 cross-builds the package for that architecture with Debian's
# cross toolchain and its libraries installed side by side
# (scripts/install-arm64-deps.sh). PROFILES adds dpkg build profiles; with
# pkg.kr35-download.tests the test runners are built too, and the build tree
# is kept in $1/work for scripts/test-arm64.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
out=$(mkdir -p "${1:-build-package}" && cd "${1:-build-package}" && pwd)
jobs=${JOBS:-$(nproc)}
start=$SECONDS

scripts/install-deps.sh debhelper dpkg-dev lintian git
native=$(dpkg --print-architecture)
arch=${ARCH:-$native}
cross=()
profiles=${PROFILES:-}
options="noddebs ${DEB_BUILD_OPTIONS:-}"
if [ "$arch" != "$native" ]; then
  [ "$arch" = arm64 ] || { echo "ARCH=$arch: only arm64 is cross-built here" >&2; exit 2; }
  scripts/install-arm64-deps.sh
  # A cross build as Debian's builders make it: the cross profile, the
  # target's compilers, and no tests during the build (scripts/test-arm64.sh
  # runs them afterwards under qemu-user).
  cross=(-a"$arch")
  profiles=cross${profiles:+,$profiles}
  options="nocheck $options"
  export CC=aarch64-linux-gnu-gcc CXX=aarch64-linux-gnu-g++
fi

version=$(scripts/project-version.sh)
changelog_version=$(dpkg-parsechangelog -l debian/changelog -S Version)
if [ "$version" != "$changelog_version" ]; then
  echo "debian/changelog is at $changelog_version, the project at $version:" \
    "add a changelog entry for $version" >&2
  exit 1
fi

# dpkg-buildpackage works in the source tree and writes beside it: give it a
# copy of the project's files (tracked and new, not the build trees).
work=$out/work
rm -rf "$work"
mkdir -p "$work/kr35-download-$version"
git ls-files -z --cached --others --exclude-standard -- . ':!build*' |
  xargs -0 cp --parents -t "$work/kr35-download-$version"
rm -f "$out"/kr35-download_*

echo "Building the $arch package (log: $out/build.log)"
# No debug-symbol package (noddebs): nobody installs it from here, and
# compressing it takes longer than the build. Without it the programs are
# stripped of their debug information, so none is compiled (a third of the
# compile time).
if ! (cd "$work/kr35-download-$version" &&
  DEB_BUILD_OPTIONS=$options DEB_CFLAGS_STRIP=-g DEB_CXXFLAGS_STRIP=-g \
    dpkg-buildpackage -b -uc -us -j"$jobs" "${cross[@]}" ${profiles:+-P"$profiles"}) \
  >"$out/build.log" 2>&1; then
  tail -30 "$out/build.log" >&2
  echo "The package build failed: $out/build.log" >&2
  exit 1
fi
mv "$work"/*.deb "$work"/*.changes "$work"/*.buildinfo "$out"/
[[ ",${PROFILES:-}," == *",pkg.kr35-download.tests,"* ]] || rm -rf "$work"

deb=$out/kr35-download_${version}_$arch.deb
echo "Checking it with lintian (log: $out/lintian.log)"
lintian --fail-on error,warning "$out"/kr35-download_"$version"_*.changes >"$out/lintian.log" 2>&1 ||
  { cat "$out/lintian.log" >&2; exit 1; }
cat "$out/lintian.log"
echo "$deb ($(du -h "$deb" | cut -f1)); make package took $((SECONDS - start)) s"
