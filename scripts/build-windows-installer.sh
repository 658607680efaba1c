#!/usr/bin/env bash
# From the mingw-w64 build (scripts/build-windows.sh) in build-windows/ (or
# $1): the NSIS installer kr35-download-<version>-setup.exe and the portable
# kr35-download-<version>-windows-x64.zip, in its package/ folder. Installs
# NSIS and zip first when run as root. With SIGN_PKCS12 (and SIGN_PASSWORD or
# SIGN_PASSWORD_FILE, and SIGN_TIMESTAMP_URL when wanted) it signs both
# programs, the uninstaller and the setup (scripts/sign-windows.sh); without
# them it builds them unsigned and says so.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=$(cd "${1:-build-windows}" && pwd)
out=$build/package
start=$SECONDS

signing=()
if [ -n "${SIGN_PKCS12:-}" ]; then
  scripts/install-deps.sh nsis zip osslsigncode
  signing=(-DSIGN_COMMAND="$root/scripts/sign-windows.sh")
else
  scripts/install-deps.sh nsis zip
fi

version=$(scripts/project-version.sh)
exes=("$build/src/app/win32/kr35-download.exe" "$build/src/app/console/kr35ctl.exe"
  "$build/src/app/win32/kr35-agent.exe")
for exe in "${exes[@]}"; do
  [ -f "$exe" ] || { echo "$exe is missing: run scripts/build-windows.sh first" >&2; exit 2; }
done
mkdir -p "$out"

# The setup and the zip carry copies of the programs, signed when signing;
# the build's own files stay as the linker wrote them.
programs=$out/programs
rm -rf "$programs"
mkdir -p "$programs"
cp "${exes[@]}" "$programs"/
exes=("$programs/kr35-download.exe" "$programs/kr35ctl.exe" "$programs/kr35-agent.exe")
scripts/sign-windows.sh "${exes[@]}"

setup=$out/kr35-download-$version-setup.exe
size_kb=$(du -ck "${exes[@]}" | tail -1 | cut -f1)
makensis -V2 -DVERSION="$version" -DPROGRAMS="$programs" -DSOURCE="$root" \
  -DOUTFILE="$setup" -DSIZE_KB="$size_kb" "${signing[@]}" dist/windows/kr35-download.nsi
scripts/sign-windows.sh "$setup"

# The portable zip: the two programs, the licence and a short README, with
# Windows line ends in the texts.
zip=$out/kr35-download-$version-windows-x64.zip
staging=$(mktemp -d)
trap 'rm -rf "$staging"' EXIT
cp "${exes[@]}" "$staging"/
sed 's/$/\r/' LICENSE >"$staging/LICENSE.txt"
sed 's/$/\r/' dist/windows/README.txt >"$staging/README.txt"
rm -f "$zip"
(cd "$staging" && zip -q -X "$zip" kr35-download.exe kr35ctl.exe kr35-agent.exe LICENSE.txt README.txt)

for f in "$setup" "$zip"; do echo "$f ($(du -h "$f" | cut -f1))"; done
echo "make windows-installer took $((SECONDS - start)) s (without the build)"
