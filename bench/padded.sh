#!/usr/bin/env bash
# bench/padded.sh [RUNS]
# A genuine long-term report (the long-term validation cases' lt-good.Tolv,
# made by ctest into build/native) and the same report with its unsigned
# properties padded as far as the reader allows: 46 copies of its CA's
# certificate, 32 copies of its time-stamp and 4 CRLs of 150,000 entries each.
# Runs `tolv-extract --verify` on both and `--check` on the padded one (which
# reads and decodes every value it carries, without validating), interleaved
# RUNS times (default 5), and prints the medians and how the padded report's
# time compares with twice the plain one's plus the time to read it (the
# target: at most 1).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TOLV_BENCH_BUILD:-$root/build/native}
runs=${1:-5}
cases=$build/tests/validation/longterm
out=$root/build/bench/padded
mkdir -p "$out"
[ -f "$cases/lt-good.Tolv" ] || ctest --test-dir "$build" -R validation.longterm_cases >/dev/null
plain=$cases/lt-good.Tolv
padded=$out/padded.Tolv
[ -f "$padded" ] || /usr/bin/python3 - "$cases/keys" "$plain" "$padded" "$out" <<'PY'
import base64, pathlib, subprocess, sys
from lxml import etree
keys, plain, padded, work = map(pathlib.Path, sys.argv[1:])
XADES = "http://uri.etsi.org/01903/v1.3.2#"
run = lambda *a: subprocess.run(a, check=True, capture_output=True).stdout
# A CRL of the CA with 150,000 entries, none of them the signer.
lines = [f"R\t401231000000Z\t240601000000Z\t{n:08X}\tunknown\t/CN=x\n" for n in range(1, 150001)]
(work / "index.txt").write_text("".join(lines))
(work / "crlnumber").write_text("01\n")
(work / "crl.cnf").write_text(f"[ca]\ndefault_ca=c\n[c]\ndatabase={work}/index.txt\n"
                              f"crlnumber={work}/crlnumber\ndefault_md=sha256\ndefault_crl_days=3650\n")
run("openssl", "ca", "-gencrl", "-config", str(work / "crl.cnf"), "-cert", str(keys / "ca.pem"),
    "-keyfile", str(keys / "ca.key"), "-out", str(work / "crl.pem"))
crl = base64.b64encode(run("openssl", "crl", "-in", str(work / "crl.pem"), "-outform", "DER")).decode()
ca = base64.b64encode(run("openssl", "x509", "-in", str(keys / "ca.pem"), "-outform", "DER")).decode()
doc = etree.parse(str(plain))
props = doc.find(f".//{{{XADES}}}UnsignedSignatureProperties")
stamp = props.find(f"{{{XADES}}}SignatureTimeStamp")
for _ in range(31):
    props.insert(list(props).index(stamp), etree.fromstring(etree.tostring(stamp)))
values = etree.SubElement(props, f"{{{XADES}}}CertificateValues")
for _ in range(46):
    etree.SubElement(values, f"{{{XADES}}}EncapsulatedX509Certificate").text = ca
revocation = props.find(f"{{{XADES}}}RevocationValues")
crls = etree.Element(f"{{{XADES}}}CRLValues")
revocation.insert(0, crls)
for _ in range(4):
    etree.SubElement(crls, f"{{{XADES}}}EncapsulatedCRLValue").text = crl
doc.write(str(padded), xml_declaration=True, encoding="UTF-8")
PY
ls -l "$plain" "$padded"
anchor=(--trust-anchors "$cases/keys/ca.pem")
python3 "$root/bench/interleave.py" "$runs" \
  "plain=$build/tolv-extract --verify ${anchor[*]} $plain >/dev/null" \
  "padded=$build/tolv-extract --verify ${anchor[*]} $padded >/dev/null" \
  "read=$build/tolv-extract --check $padded $out/padded.pdf >/dev/null" | tee "$out/figures.txt"
awk '{t[$1] = $2} END {
  printf "padded / (2 x plain + read): %.2f (target <= 1)\n", t["padded"] / (2 * t["plain"] + t["read"]) }' \
  "$out/figures.txt"
