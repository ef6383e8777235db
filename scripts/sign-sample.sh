#!/usr/bin/env bash
# sign-sample.sh
# Signs samples/sample.Tolv for real (xmlsec1) with a throwaway certificate,
# "Örnek İmzacı", and writes samples/sample-altered.Tolv, the same report with
# one character of its PDF changed after signing: the viewer's check finds the
# first intact and the second altered. The key is made in a temporary folder
# and deleted with it; only the certificate stays, samples/sample-signer.pem.
# The embedded PDF stays the same bytes (make-report.py's default one).
# Needs openssl and xmlsec1 (apt-get install xmlsec1).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

openssl req -x509 -newkey rsa:3072 -sha256 -nodes -utf8 -days 3650 \
  -subj "/C=TR/O=Tolv Örnek/CN=Örnek İmzacı" \
  -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null
python3 scripts/make-report.py samples/sample.Tolv --sign "$work/key.pem" "$work/cert.pem"
cp "$work/cert.pem" samples/sample-signer.pem

# One letter of the PDF's text in another case: one Base64 character differs,
# and the PDF stays valid (same length, only the shown text changes).
python3 - samples/sample.Tolv samples/sample-altered.Tolv <<'PY'
import base64, re, sys
data = open(sys.argv[1], "rb").read()
match = re.search(rb'Encoding="[^"]*base64">(.*?)</ds:Object>', data, re.S)
text = match.group(1)
plain = re.sub(rb"\s", b"", text)
pdf = bytearray(base64.b64decode(plain))
at = pdf.index(b"rnek rapor") + len(b"rnek ")
pdf[at] ^= 0x20  # "rapor" -> "Rapor"
changed = base64.b64encode(bytes(pdf))
diffs = [i for i in range(len(plain)) if plain[i] != changed[i]]
assert len(diffs) == 1, diffs
# The same position in the text with its line breaks.
position = [i for i, c in enumerate(text) if not chr(c).isspace()][diffs[0]]
start = match.start(1) + position
altered = data[:start] + changed[diffs[0]:diffs[0] + 1] + data[start + 1:]
open(sys.argv[2], "wb").write(altered)
PY
echo "signed samples/sample.Tolv, wrote samples/sample-altered.Tolv and samples/sample-signer.pem"
