#!/usr/bin/env bash
# Installs the Debian package of scripts/build-package.sh (from build-package/
# or $1) with apt-get, uses the installed programs, checks the files it puts in
# place, purges it and checks that nothing of it is left. Needs root: meant for
# throw-away machines such as CI's.
set -uo pipefail
cd "$(dirname "$0")/.."
out=${1:-build-package}
start=$SECONDS
version=$(scripts/project-version.sh)
deb=$(ls "$out"/kr35-download_"$version"_*.deb 2>/dev/null | head -1)
[ -n "$deb" ] || { echo "No package in $out: run make package first" >&2; exit 2; }
[ "$(id -u)" -eq 0 ] || { echo "test-package installs a package: run it as root" >&2; exit 2; }
scripts/install-deps.sh desktop-file-utils appstream man-db || exit 2

. scripts/checks.sh
# The command runs for a moment without failing: timeout ends it (status 124).
runs_for_a_moment() { timeout 3 "$@" >/dev/null 2>&1; [ $? -eq 124 ]; }
# The command prints nothing on stderr and succeeds.
quiet() { local errors; errors=$("$@" 2>&1 >/dev/null) && [ -z "$errors" ] || { echo "$errors"; false; }; }
prints() { local expected=$1 output; shift; output=$("$@") && grep -qxF "$expected" <<<"$output" ||
  { echo "$output"; echo "(expected the line \"$expected\")"; false; }; }

export DEBIAN_FRONTEND=noninteractive QT_QPA_PLATFORM=offscreen MANWIDTH=80
echo "== install $deb"
check "apt-get install the package" apt-get install -y -qq "./$deb"
mapfile -t files < <(dpkg-query -L kr35-download | while read -r f; do [ -f "$f" ] && echo "$f"; done)

echo "== the installed programs"
check "kr35ctl --version" prints "kr35ctl $version" /usr/bin/kr35ctl --version
check "kr35-download --version" prints "kr35-download $version" /usr/bin/kr35-download --version
check "kr35-sim --version" prints "kr35-sim $version" /usr/bin/kr35-sim --version
check "kr35ctl --simulate download --yes" \
  prints "version: USB 0104, DSP 0107" /usr/bin/kr35ctl --simulate download --yes
check "kr35-download --simulate runs (offscreen)" \
  runs_for_a_moment /usr/bin/kr35-download --simulate

echo "== the installed files"
check "the udev rule" test -s /usr/lib/udev/rules.d/70-kr35.rules
check "the desktop entry is valid" desktop-file-validate /usr/share/applications/org.kr35.Download.desktop
check "the metainfo is valid" appstreamcli validate --no-net /usr/share/metainfo/org.kr35.Download.metainfo.xml
check "the scalable icon" test -s /usr/share/icons/hicolor/scalable/apps/org.kr35.Download.svg
check "the bash completion" test -s /usr/share/bash-completion/completions/kr35ctl
for page in kr35ctl kr35-download kr35-sim; do
  check "man $page renders without warnings" \
    quiet man --warnings -E UTF-8 -Tutf8 -Z "$page"
done

echo "== the user service"
unit=/usr/lib/systemd/user/kr35-mute.service
enabled=/etc/systemd/user/default.target.wants/kr35-mute.service
check "kr35-mute.service is installed" test -s "$unit"
check "it is enabled for every user" test "$(readlink "$enabled")" = "$unit"
check "systemd-analyze verify accepts it" quiet systemd-analyze verify "$unit"
check "kr35ctl agent --simulate runs quietly" \
  quiet /usr/bin/kr35ctl --simulate agent --no-notify --duration=0.5

echo "== purge"
check "apt-get purge the package" apt-get purge -y -qq kr35-download
left=()
for f in "${files[@]}"; do [ -e "$f" ] && left+=("$f"); done
check "no file of the package is left" test ${#left[@]} -eq 0
[ ${#left[@]} -gt 0 ] && printf '    left: %s\n' "${left[@]}"
check "the user service is no longer enabled" test ! -e "$enabled" -a ! -L "$enabled"
check "dpkg knows it no more" bash -c '! dpkg-query -W kr35-download >/dev/null 2>&1'

echo "$passed passed, $failed failed; the checks took $((SECONDS - start)) s"
[ "$failed" -eq 0 ]
