#!/usr/bin/env bash
# Signs the installer of scripts/build-windows-installer.sh with a throwaway
# self-signed certificate and checks every signature, then tries it under
# Wine: a silent install, the installed kr35ctl.exe on the simulated adapter, the
# Start-menu shortcut and the uninstall entry, then a silent uninstall that
# must leave none of them. Ends with "N passed, N failed".
set -uo pipefail
cd "$(dirname "$0")/.."
build=$(cd "${1:-build-windows}" && pwd)
start=$SECONDS
version=$(scripts/project-version.sh)
setup=$build/package/kr35-download-$version-setup.exe
[ -f "$setup" ] || { echo "$setup is missing: run make windows-installer first" >&2; exit 2; }
. scripts/wine-env.sh

install_dir="$WINEPREFIX/drive_c/Program Files/KR35 Download Utility"
shortcut="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/KR35 Hardware Download Utility.lnk"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\KR35DownloadUtility'
run_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'

. scripts/checks.sh
silently() { timeout 120 wine "$@" && wineserver -w; }
registry() { wine reg query "$key" 2>/dev/null | tr -d '\r' | filter; }
# The uninstall entry holds VALUE with DATA (a pattern).
entry_holds() { registry | grep -qE "^ +$1 +REG_[A-Z]+ +$2\$" || { registry; false; }; }
# The executable's version resource holds the project's version.
file_version_is() { local found; found=$(strings -el "$1" | grep -A1 -x FileVersion | tail -1)
  [ "$found" = "$2" ] || { echo "FileVersion \"$found\""; false; }; }
prints() { local expected=$1 output; shift; output=$(timeout 120 wine "$@" 2>&1 | tr -d '\r' | filter)
  grep -qxF "$expected" <<<"$output" || { echo "$output"; echo "(expected the line \"$expected\")"; false; }; }

echo "== signing"
# Without a certificate nothing is signed and the file stays as it was.
keys=$(mktemp -d)
trap 'rm -rf "$keys"' EXIT
cp "$build/package/programs/kr35ctl.exe" "$keys/unsigned.exe"
unsigned_untouched() {
  env -u SIGN_PKCS12 scripts/sign-windows.sh "$keys/unsigned.exe" | grep -q '^Not signed' &&
    cmp -s "$keys/unsigned.exe" "$build/package/programs/kr35ctl.exe"; }
check "without SIGN_PKCS12 nothing is signed, and the build says so" unsigned_untouched
# A certificate made for this test only, for code signing, in a PKCS#12 file
# with a password; the build signs with it.
make_certificate() {
  openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=KR35 test signer" \
    -addext "keyUsage=critical,digitalSignature" -addext "extendedKeyUsage=codeSigning" \
    -keyout "$keys/key.pem" -out "$keys/cert.pem" 2>/dev/null &&
    openssl pkcs12 -export -inkey "$keys/key.pem" -in "$keys/cert.pem" \
      -passout pass:throwaway -out "$keys/signer.p12"; }
check "a throwaway code-signing certificate" make_certificate
check "make windows-installer signs with it" env SIGN_PKCS12="$keys/signer.p12" \
  SIGN_PASSWORD=throwaway scripts/build-windows-installer.sh "$build"
# The signature must be valid; the chain ends at the test's own certificate,
# which no system trusts, so it is named as the one authority to trust here.
signature_valid() { osslsigncode verify -CAfile "$keys/cert.pem" -in "$1" 2>&1 |
  grep -q '^Signature verification: ok' || { osslsigncode verify -CAfile "$keys/cert.pem" -in "$1"; false; }; }
for f in "$build/package/programs/"{kr35ctl,kr35-download,kr35-agent}.exe "$setup"; do
  check "the signature of $(basename "$f")" signature_valid "$f"
done

echo "== silent install of $(basename "$setup")"
check "the installer succeeds" silently "$setup" /S
check "kr35-download.exe, kr35ctl.exe and kr35-agent.exe are installed" \
  test -f "$install_dir/kr35-download.exe" -a -f "$install_dir/kr35ctl.exe" \
  -a -f "$install_dir/kr35-agent.exe"
# The logon entry of the mute agent: the installed kr35-agent.exe.
logon_entry() { wine reg query "$run_key" /v "KR35 Agent" 2>/dev/null | tr -d '\r' |
  grep -qiE 'REG_SZ +"C:\\Program Files\\KR35 Download Utility\\kr35-agent\.exe"$'; }
no_logon_entry() { ! wine reg query "$run_key" /v "KR35 Agent" >/dev/null 2>&1; }
check "the mute agent starts at logon" logon_entry
check "the installed kr35ctl.exe on the simulated adapter" \
  prints "version: USB 0100, DSP 0100" "$install_dir/kr35ctl.exe" --simulate versions
check "the installed kr35ctl.exe --version" prints "kr35ctl $version" "$install_dir/kr35ctl.exe" --version
for exe in kr35ctl kr35-download kr35-agent; do
  check "the version resource of $exe.exe" file_version_is "$install_dir/$exe.exe" "$version"
done
check "the signature of the installed uninstaller" signature_valid "$install_dir/uninstall.exe"
check "the Start-menu shortcut" test -s "$shortcut"
check "the uninstall entry: name" entry_holds DisplayName "KR35 Hardware Download Utility"
check "the uninstall entry: version" entry_holds DisplayVersion "$version"
check "the uninstall entry: publisher" entry_holds Publisher "The KR35 Download Utility authors"
check "the uninstall entry: icon" entry_holds DisplayIcon '.*\\kr35-download\.exe,0'

echo "== silent uninstall"
# The uninstaller runs from a copy of itself in the temp folder: wineserver -w
# waits for that copy to finish.
check "the uninstaller succeeds" silently "$install_dir/uninstall.exe" /S
check "the install folder is gone" test ! -e "$install_dir"
check "the shortcut is gone" test ! -e "$shortcut"
check "the uninstall entry is gone" bash -c "! wine reg query '$key' >/dev/null 2>&1"
check "the agent's logon entry is gone" no_logon_entry

echo "== silent install without the agent (/AGENT=0)"
check "the installer succeeds" silently "$setup" /S /AGENT=0
check "kr35-agent.exe is installed" test -f "$install_dir/kr35-agent.exe"
check "no logon entry" no_logon_entry
check "the uninstaller succeeds" silently "$install_dir/uninstall.exe" /S
check "the install folder is gone" test ! -e "$install_dir"

wineserver -k >/dev/null 2>&1 || true
echo "$passed passed, $failed failed; make test-windows-installer took $((SECONDS - start)) s"
[ "$failed" -eq 0 ]
