#!/usr/bin/env bash
# Signs Windows executables in place (Authenticode, SHA-256) with osslsigncode,
# when a certificate is given through the environment:
#   SIGN_PKCS12=FILE          the certificate with its private key (.p12 or .pfx)
#   SIGN_PASSWORD=TEXT        its password, or SIGN_PASSWORD_FILE=FILE holding it
#   SIGN_TIMESTAMP_URL=URL    an RFC 3161 time-stamp server; none when not set
# Without SIGN_PKCS12 it signs nothing and says so (exit 0). Each file is
# signed into a new file that then replaces it, so a failed signing leaves the
# file as it was.
#
#   scripts/sign-windows.sh FILE...
set -euo pipefail

if [ -z "${SIGN_PKCS12:-}" ]; then
  echo "Not signed (no SIGN_PKCS12 given): $(for f in "$@"; do basename "$f"; done | paste -sd' ')"
  exit 0
fi
[ -r "$SIGN_PKCS12" ] || { echo "SIGN_PKCS12: cannot read $SIGN_PKCS12" >&2; exit 2; }
command -v osslsigncode >/dev/null || {
  echo "osslsigncode is missing: apt-get install osslsigncode" >&2; exit 2; }

# The password reaches osslsigncode through a file only this user can read,
# never on a command line, where other users could see it.
private=$(mktemp -d)
trap 'rm -rf "$private"' EXIT
password_file=${SIGN_PASSWORD_FILE:-}
if [ -z "$password_file" ]; then
  [ -n "${SIGN_PASSWORD+set}" ] || {
    echo "SIGN_PKCS12 needs SIGN_PASSWORD or SIGN_PASSWORD_FILE" >&2; exit 2; }
  password_file=$private/password
  (umask 077 && printf '%s' "$SIGN_PASSWORD" >"$password_file")
fi
timestamp=()
[ -n "${SIGN_TIMESTAMP_URL:-}" ] && timestamp=(-ts "$SIGN_TIMESTAMP_URL")

for file in "$@"; do
  signed=$file.signing
  rm -f "$signed"
  if ! osslsigncode sign -pkcs12 "$SIGN_PKCS12" -readpass "$password_file" -h sha256 \
      -n "KR35 Hardware Download Utility" "${timestamp[@]}" -in "$file" -out "$signed" >/dev/null; then
    rm -f "$signed"
    echo "cannot sign $file" >&2
    exit 1
  fi
  mv -f "$signed" "$file"
  echo "Signed $(basename "$file")${timestamp:+ (time-stamped)}"
done
