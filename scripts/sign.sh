#!/usr/bin/env bash
# sign.sh FILE...
# Signs each file (an .exe or an .msi) in place with Authenticode, SHA-256, when
# a code-signing certificate is configured:
#   TOLV_SIGN_PKCS12    the certificate and its key, a PKCS#12 (.p12/.pfx) file
#   TOLV_SIGN_PASSWORD  its password (may be empty)
#   TOLV_TIMESTAMP_URL  an RFC 3161 time-stamp server (optional)
# Without TOLV_SIGN_PKCS12 it signs nothing, says so and succeeds.
set -euo pipefail

if [ -z "${TOLV_SIGN_PKCS12:-}" ]; then
  echo "sign: TOLV_SIGN_PKCS12 is not set: the files stay unsigned"
  exit 0
fi
[ -r "$TOLV_SIGN_PKCS12" ] || { echo "sign: cannot read $TOLV_SIGN_PKCS12" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/tolv-sign.XXXXXX")
trap 'rm -rf "$work"' EXIT
# The password goes through a private file, not the command line (ps shows that).
umask 077
printf '%s' "${TOLV_SIGN_PASSWORD:-}" >"$work/pass"

stamp=()
if [ -n "${TOLV_TIMESTAMP_URL:-}" ]; then
  stamp=(-ts "$TOLV_TIMESTAMP_URL")
else
  echo "sign: TOLV_TIMESTAMP_URL is not set: no time stamp (the signature is valid only while the certificate is)"
fi

for file in "$@"; do
  rm -f "$work/signed"
  osslsigncode sign -pkcs12 "$TOLV_SIGN_PKCS12" -readpass "$work/pass" -h sha256 \
    -n "Tolv.Viewer" "${stamp[@]}" -in "$file" -out "$work/signed" >/dev/null
  cat "$work/signed" >"$file" # in place, keeping the file's mode
  echo "sign: signed $(basename "$file")"
done
