#!/usr/bin/env bash
# bench/signature.sh [RUNS]
# The signature check on a report carrying a 128 MB PDF, signed by xmlsec1
# (RSA-SHA256 over the ds:Object and the signed properties; made once, with a
# throwaway key, into build/bench), and the same PDF in an enveloped report
# (the signature after the PDF, URI="" with the enveloped-signature transform),
# which the check reads twice. Runs, interleaved RUNS times (default 5):
# tolv-extract --verify against xmlsec1 --verify, and extraction alone against
# extraction with the check (--check) of each report. Prints the median wall time and the peak
# RSS of each, and the two ratios with their targets: verify at most 0.25 of
# xmlsec1's time in under 16 MiB, the check at most 1.5 times extraction alone.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${TOLV_BENCH_DIR:-$root/build/bench}
build=${TOLV_BENCH_BUILD:-$out/native}
runs=${1:-5}
mb=128

mkdir -p "$out/signature"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j2 --target tolv-extract >/dev/null

work=$out/signature
report=$work/signed-${mb}MB.Tolv
pdf=$work/signed-${mb}MB.pdf
if [ ! -f "$report" ] || [ ! -f "$pdf" ]; then
  echo "signature bench: signing a report with a $mb MB PDF (once)" >&2
  openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/key.pem" -out "$work/cert.pem" -days 3650 \
    -utf8 -subj "/C=TR/O=Tolv Deneme/CN=Örnek İmzacı" 2>/dev/null
  python3 "$root/scripts/make-report.py" "$work/unsigned.Tolv" --pdf-size $((mb * 1024 * 1024)) --write-pdf "$pdf"
  rm "$work/unsigned.Tolv"
  # The template: the report's own shape, digests and signature value left for xmlsec1.
  /usr/bin/python3 - "$pdf" "$work/cert.pem" "$work/template.xml" <<'PY'
import base64, hashlib, subprocess, sys
pdf, cert, template = sys.argv[1:]
der = subprocess.run(["openssl", "x509", "-in", cert, "-outform", "DER"], capture_output=True, check=True).stdout
ds, sha256 = "http://www.w3.org/2000/09/xmldsig#", "http://www.w3.org/2001/04/xmlenc#sha256"
ref = lambda uri, type_="": (f'<ds:Reference{type_} URI="{uri}"><ds:DigestMethod Algorithm="{sha256}"/>'
                             f'<ds:DigestValue></ds:DigestValue></ds:Reference>')
with open(template, "wb") as f:
    f.write(f'''<?xml version="1.0" encoding="UTF-8"?>
<ds:Signature xmlns:ds="{ds}" Id="Imza-1">
<ds:SignedInfo><ds:CanonicalizationMethod Algorithm="http://www.w3.org/TR/2001/REC-xml-c14n-20010315"/>
<ds:SignatureMethod Algorithm="http://www.w3.org/2001/04/xmldsig-more#rsa-sha256"/>
{ref("#Nesne-PDF")}
{ref("#Imza-1-SignedProperties", ' Type="http://uri.etsi.org/01903#SignedProperties"')}
</ds:SignedInfo>
<ds:SignatureValue/>
<ds:KeyInfo><ds:X509Data><ds:X509Certificate/></ds:X509Data></ds:KeyInfo>
<ds:Object><xades:QualifyingProperties xmlns:xades="http://uri.etsi.org/01903/v1.3.2#" Target="#Imza-1">
<xades:SignedProperties Id="Imza-1-SignedProperties"><xades:SignedSignatureProperties>
<xades:SigningTime>2024-03-18T10:15:42+03:00</xades:SigningTime>
<xades:SigningCertificateV2><xades:Cert><xades:CertDigest><ds:DigestMethod Algorithm="{sha256}"/>
<ds:DigestValue>{base64.b64encode(hashlib.sha256(der).digest()).decode()}</ds:DigestValue>
</xades:CertDigest></xades:Cert></xades:SigningCertificateV2>
</xades:SignedSignatureProperties></xades:SignedProperties></xades:QualifyingProperties></ds:Object>
<ds:Object Id="Nesne-PDF" MimeType="application/pdf" Encoding="{ds}base64">
'''.encode())
    with open(pdf, "rb") as source:
        while chunk := source.read(57 * 1024 * 64):
            f.write(base64.encodebytes(chunk))
    f.write(b"</ds:Object>\n</ds:Signature>\n")
PY
  xmlsec1 --sign --privkey-pem "$work/key.pem,$work/cert.pem" --output "$report.part" "$work/template.xml"
  rm "$work/template.xml"
  mv "$report.part" "$report"
fi

enveloped=$work/enveloped-${mb}MB.Tolv
if [ ! -f "$enveloped" ]; then
  echo "signature bench: signing an enveloped report with the same PDF (once)" >&2
  {
    printf '<?xml version="1.0" encoding="UTF-8"?>\n<Rapor xmlns:ds="http://www.w3.org/2000/09/xmldsig#">\n'
    printf '<ds:Object Id="Nesne-PDF" Encoding="http://www.w3.org/2000/09/xmldsig#base64">\n'
    base64 -w 76 "$pdf"
    cat <<'XML'
</ds:Object>
<ds:Signature><ds:SignedInfo>
<ds:CanonicalizationMethod Algorithm="http://www.w3.org/TR/2001/REC-xml-c14n-20010315"/>
<ds:SignatureMethod Algorithm="http://www.w3.org/2001/04/xmldsig-more#rsa-sha256"/>
<ds:Reference URI=""><ds:Transforms>
<ds:Transform Algorithm="http://www.w3.org/2000/09/xmldsig#enveloped-signature"/></ds:Transforms>
<ds:DigestMethod Algorithm="http://www.w3.org/2001/04/xmlenc#sha256"/><ds:DigestValue/></ds:Reference>
</ds:SignedInfo><ds:SignatureValue/><ds:KeyInfo><ds:X509Data><ds:X509Certificate/></ds:X509Data></ds:KeyInfo></ds:Signature>
</Rapor>
XML
  } >"$work/enveloped.xml"
  xmlsec1 --sign --privkey-pem "$work/key.pem,$work/cert.pem" --output "$enveloped.part" "$work/enveloped.xml"
  rm "$work/enveloped.xml"
  mv "$enveloped.part" "$enveloped"
fi

xmlsec_verify=(xmlsec1 --verify --trusted-pem "$work/cert.pem" "$report")
"${xmlsec_verify[@]}" 2>/dev/null || { echo "signature bench: xmlsec1 does not verify $report" >&2; exit 1; }
"$build/tolv-extract" --verify "$report" >/dev/null ||
  { echo "signature bench: tolv-extract --verify does not find $report intact" >&2; exit 1; }
"$build/tolv-extract" --verify "$enveloped" >/dev/null ||
  { echo "signature bench: tolv-extract --verify does not find $enveloped intact" >&2; exit 1; }
cat "$report" "$enveloped" >/dev/null # warm the page cache for everyone alike

declare -A commands=(
  [tolv-verify]="$build/tolv-extract --verify $report"
  [xmlsec1-verify]="${xmlsec_verify[*]}"
  [extract]="$build/tolv-extract $report $work/extract.pdf"
  [extract-check]="$build/tolv-extract --check $report $work/check.pdf"
  [env-extract]="$build/tolv-extract $enveloped $work/env-extract.pdf"
  [env-check]="$build/tolv-extract --check $enveloped $work/env-check.pdf"
)
order=(tolv-verify xmlsec1-verify extract extract-check env-extract env-check)
results=$work/results.txt
: >"$results"
for ((i = 0; i < runs; i++)); do
  for name in "${order[@]}"; do
    # The last line is measure.py's; the paths have no spaces (build tree).
    # shellcheck disable=SC2086
    line=$(python3 "$root/bench/measure.py" 1 ${commands[$name]} 2>/dev/null | tail -n 1)
    echo "$name $line" >>"$results"
  done
done
cmp -s "$work/extract.pdf" "$pdf" || { echo "signature bench: extraction wrote different bytes" >&2; exit 1; }
for written in check env-extract env-check; do
  cmp -s "$work/$written.pdf" "$pdf" || { echo "signature bench: $written wrote different bytes" >&2; exit 1; }
done

python3 - "$results" "$(stat -c %s "$report")" <<'PY'
import statistics, sys
rows = [line.split() for line in open(sys.argv[1])]
size = int(sys.argv[2])
med = {}
print(f"{'program':<16} {'seconds':>10} {'MB/s':>8} {'RSS MiB':>9}")
for name in dict.fromkeys(r[0] for r in rows):
    seconds = statistics.median(float(r[1]) for r in rows if r[0] == name)
    rss = max(int(r[2]) for r in rows if r[0] == name) / 1024
    med[name] = (seconds, rss)
    print(f"{name:<16} {seconds:>10.3f} {size / seconds / 1e6:>8.0f} {rss:>9.1f}")
verify = med["tolv-verify"][0] / med["xmlsec1-verify"][0]
check = med["extract-check"][0] / med["extract"][0]
ok = lambda good: "ok" if good else "MISSED"
print(f"\nverify / xmlsec1 verify: {verify:.3f}x (target <= 0.25: {ok(verify <= 0.25)}), "
      f"peak RSS {med['tolv-verify'][1]:.1f} MiB (target < 16: {ok(med['tolv-verify'][1] < 16)})")
print(f"check / extraction alone: {check:.3f}x (target <= 1.5: {ok(check <= 1.5)}), "
      f"peak RSS {med['extract-check'][1]:.1f} MiB")
enveloped = med["env-check"][0] / med["env-extract"][0]
print(f"enveloped, read twice: check / extraction alone: {enveloped:.3f}x, "
      f"peak RSS {med['env-check'][1]:.1f} MiB")
PY
