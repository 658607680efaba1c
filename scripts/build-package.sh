#!/usr/bin/env bash
# Builds the Debian package with Debian's own tools (dpkg-buildpackage, dh)
# from a copy of the sources, and checks it with lintian. Leaves
# kr35-download_<version>_<arch>.deb, build.log and lintian.log in
# build-package/ (or $1). Installs the packaging tools first when run as root.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
out=$(mkdir -p "${1:-build-package}" && cd "${1:-build-package}" && pwd)
jobs=${JOBS:-$(nproc)}
start=$SECONDS

scripts/install-deps.sh debhelper dpkg-dev lintian git

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
rm -f "$out"/kr35-download_*.deb

echo "Building the package (log: $out/build.log)"
# No debug-symbol package (noddebs): nobody installs it from here, and
# compressing it takes longer than the build.
if ! (cd "$work/kr35-download-$version" &&
  DEB_BUILD_OPTIONS="noddebs ${DEB_BUILD_OPTIONS:-}" dpkg-buildpackage -b -uc -us -j"$jobs") \
  >"$out/build.log" 2>&1; then
  tail -30 "$out/build.log" >&2
  echo "The package build failed: $out/build.log" >&2
  exit 1
fi
mv "$work"/*.deb "$work"/*.changes "$work"/*.buildinfo "$out"/
rm -rf "$work"

deb=$(ls "$out"/kr35-download_"$version"_*.deb)
echo "Checking it with lintian (log: $out/lintian.log)"
lintian --fail-on error,warning "$out"/kr35-download_"$version"_*.changes >"$out/lintian.log" 2>&1 ||
  { cat "$out/lintian.log" >&2; exit 1; }
cat "$out/lintian.log"
echo "$deb ($(du -h "$deb" | cut -f1)); make package took $((SECONDS - start)) s"
