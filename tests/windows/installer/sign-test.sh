#!/usr/bin/env bash
# sign-test.sh BUILD_DIR
# Signs copies of the build's program and installer package with scripts/sign.sh
# and a throwaway certificate authority made here with openssl, and checks that
# osslsigncode accepts both signatures against that authority (and refuses the
# unsigned originals). Leaves the signed copies in BUILD_DIR/signed/ for the
# tests that run the signed program.
set -euo pipefail
build=$(cd "$1" && pwd)
root=$(cd "$(dirname "$0")/../../.." && pwd)
out=$build/signed
work=$(mktemp -d "${TMPDIR:-/tmp}/tolv-sign-test.XXXXXX")
trap 'rm -rf "$work"' EXIT
rm -rf "$out"
mkdir -p "$out"

cd "$work"
openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 2 \
  -subj "/CN=Tolv Test CA" -addext "basicConstraints=critical,CA:TRUE" \
  -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
openssl req -newkey rsa:2048 -nodes -keyout signer.key -out signer.csr \
  -subj "/CN=Tolv Test Signer" 2>/dev/null
printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n' >signer.ext
openssl x509 -req -in signer.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 2 \
  -extfile signer.ext -out signer.pem 2>/dev/null
openssl pkcs12 -export -inkey signer.key -in signer.pem -certfile ca.pem \
  -passout pass:'gizli parola' -out signer.p12

msi=$(cd "$build" && ls Tolv.Viewer-*-x64.msi | grep -v -- '-1\.99-' | head -n 1)
cp "$build/Tolv.Viewer.Exe" "$build/$msi" "$out/"

TOLV_SIGN_PKCS12=$work/signer.p12 TOLV_SIGN_PASSWORD='gizli parola' TOLV_TIMESTAMP_URL= \
  "$root/scripts/sign.sh" "$out/Tolv.Viewer.Exe" "$out/$msi"

status=0
for file in Tolv.Viewer.Exe "$msi"; do
  if osslsigncode verify -CAfile ca.pem -in "$out/$file" >verify.log 2>&1; then
    echo "verified: $file"
  else
    echo "not verified: $file"; cat verify.log; status=1
  fi
  if osslsigncode verify -CAfile ca.pem -in "$build/$file" >/dev/null 2>&1; then
    echo "the unsigned $file passed verification"; status=1
  fi
done
# Another authority does not vouch for the signer.
openssl req -x509 -newkey rsa:2048 -nodes -keyout other.key -out other.pem -days 2 \
  -subj "/CN=Other CA" 2>/dev/null
if osslsigncode verify -CAfile other.pem -in "$out/Tolv.Viewer.Exe" >/dev/null 2>&1; then
  echo "verified against an unrelated authority"; status=1
fi
# Without a certificate nothing is signed, and it says so.
cp "$build/Tolv.Viewer.Exe" unsigned.exe
message=$(env -u TOLV_SIGN_PKCS12 "$root/scripts/sign.sh" unsigned.exe)
cmp -s unsigned.exe "$build/Tolv.Viewer.Exe" || { echo "signed without a certificate"; status=1; }
grep -q unsigned <<<"$message" || { echo "no word that the files stay unsigned"; status=1; }
[ $status -eq 0 ] && echo "signing: 2 files signed and verified"
exit $status
