#!/usr/bin/env python3
"""make-window-reports.py FOLDER

Reports for the "İmza bilgisi" window and file mode's revocation warning,
signed with the long-term cases' throwaway PKI (tests/validation/
longterm_cases.py makes it into FOLDER/keys) and two more signers of its CA:

  valid.Tolv     "Örnek İmzacı", time-stamped on 2025-01-01, with the CA's CRL
                 of the next day that does not list it
  revoked.Tolv   "İptal Edilmiş İmzacı", revoked on 2024-06-01, signed and
                 time-stamped on 2025-01-01, with the CRL that lists it
  unasked.Tolv   "Çevrimiçi İmzacı", without revocation data; its certificate
                 names a CRL at http://127.0.0.1:47391/kok.crl (written as
                 kok.crl), where the window asks
  ca.pem         the CA, the anchor the tests name in TrustAnchors
  self-made-qualified.Tolv, lt-good-twin-crl.Tolv
                 the long-term cases of these names
  anchors/       the CA and the samples' signer, file mode's TrustAnchors

Every report carries the CA's certificate among its CertificateValues, as a
long-term signature does. kok.crl is dated 2035, and "Çevrimiçi İmzacı" valid
beyond it: an answer fetched online counts only when issued in the last week,
and the fixture is made once for every later run.
"""
import base64
import importlib.util
import pathlib
import shutil
import sys

from lxml import etree

HERE = pathlib.Path(__file__).resolve().parent
spec = importlib.util.spec_from_file_location(
    "longterm_cases", HERE.parent.parent / "validation" / "longterm_cases.py")
longterm = importlib.util.module_from_spec(spec)
spec.loader.exec_module(longterm)
run, DS, XADES, C14N = longterm.run, longterm.DS, longterm.XADES, longterm.C14N

CRL_URL = "http://127.0.0.1:47391/kok.crl"
CRL_DATE, ONLINE_CRL_DATE = "2025-01-02 12:00:00", "2035-01-01 00:00:00"
SIGNED, STAMPED = "2025-01-01 10:00:00", "2025-01-01 12:00:00"
CA_CONFIG = """[ca]
default_ca=kok
[kok]
database={keys}/index.txt
crlnumber={keys}/crlnumber
default_md=sha256
default_crl_days=30
"""


def issue(keys, name, cn, extensions, days=3650):
    k = lambda f: str(keys / f)
    (keys / f"{name}.ext").write_text(extensions)
    run("openssl", "req", "-new", "-newkey", "rsa:2048", "-nodes", "-keyout", k(f"{name}.key"),
        "-out", k(f"{name}.csr"), "-subj", f"/C=TR/CN={cn}", "-utf8")
    run("openssl", "x509", "-req", "-in", k(f"{name}.csr"), "-CA", k("ca.pem"), "-CAkey", k("ca.key"),
        "-CAcreateserial", "-extfile", k(f"{name}.ext"), "-days", str(days), "-out", k(f"{name}.pem"),
        when="2024-01-01 00:00:00")


def der(keys, name):
    return run("openssl", "x509", "-in", str(keys / f"{name}.pem"), "-outform", "DER")


def make_crl(keys, revoked, when=CRL_DATE):
    """The CA's CRL, listing `revoked` as revoked on 2024-06-01."""
    serial = longterm.serial(keys, revoked)
    (keys / "index.txt").write_text(f"R\t340101000000Z\t240601000000Z\t{serial}\tunknown\t/CN=x\n")
    (keys / "crlnumber").write_text("01\n")
    (keys / "kok.cnf").write_text(CA_CONFIG.format(keys=keys))
    run("openssl", "ca", "-gencrl", "-config", str(keys / "kok.cnf"), "-cert", str(keys / "ca.pem"),
        "-keyfile", str(keys / "ca.key"), "-out", str(keys / "crl.pem"), when=when)
    return run("openssl", "crl", "-in", str(keys / "crl.pem"), "-outform", "DER")


def sign(out, keys, name, signer, crl=None, stamp=False):
    work = out / "work"
    work.mkdir(exist_ok=True)
    pdf = base64.b64encode(b"%PDF-1.4\n% " + name.encode() + b"\n%%EOF\n").decode()
    (work / "t.xml").write_text(longterm.template(pdf))
    run("xmlsec1", "--sign", "--privkey-pem", f"{keys / signer}.key,{keys / signer}.pem",
        "--output", str(work / "s.xml"), str(work / "t.xml"), when=SIGNED)
    doc = etree.parse(str(work / "s.xml"))
    props = doc.find(f".//{{{XADES}}}UnsignedSignatureProperties")
    if stamp:
        covered = etree.tostring(doc.find(f"{{{DS}}}SignatureValue"), method="c14n")
        token = longterm.time_stamp(keys, work, covered, "tsa", STAMPED)
        ts = etree.SubElement(props, f"{{{XADES}}}SignatureTimeStamp")
        etree.SubElement(ts, f"{{{DS}}}CanonicalizationMethod", Algorithm=C14N)
        etree.SubElement(ts, f"{{{XADES}}}EncapsulatedTimeStamp").text = base64.b64encode(token).decode()
    values = etree.SubElement(props, f"{{{XADES}}}CertificateValues")
    etree.SubElement(values, f"{{{XADES}}}EncapsulatedX509Certificate").text = \
        base64.b64encode(der(keys, "ca")).decode()
    if crl:
        revocation = etree.SubElement(props, f"{{{XADES}}}RevocationValues")
        crls = etree.SubElement(revocation, f"{{{XADES}}}CRLValues")
        etree.SubElement(crls, f"{{{XADES}}}EncapsulatedCRLValue").text = base64.b64encode(crl).decode()
    doc.write(str(out / f"{name}.Tolv"), xml_declaration=True, encoding="UTF-8")


def main(out):
    out = pathlib.Path(out).resolve()
    keys = out / "keys"
    longterm.make_pki(keys)
    leaf = "keyUsage=critical,digitalSignature,nonRepudiation\n"
    issue(keys, "revoked", "İptal Edilmiş İmzacı", leaf)
    issue(keys, "online", "Çevrimiçi İmzacı", leaf + f"crlDistributionPoints=URI:{CRL_URL}\n", days=5000)
    crl = make_crl(keys, "revoked")
    sign(out, keys, "valid", "signer", crl, stamp=True)
    sign(out, keys, "revoked", "revoked", crl, stamp=True)
    sign(out, keys, "unasked", "online")
    (out / "kok.crl").write_bytes(make_crl(keys, "revoked", ONLINE_CRL_DATE))
    (out / "ca.pem").write_bytes((keys / "ca.pem").read_bytes())
    for name in ("self-made-qualified", "lt-good-twin-crl"):
        longterm.make_report(out, keys, name, longterm.CASES[name])
    (out / "anchors").mkdir(exist_ok=True)
    shutil.copy(keys / "ca.pem", out / "anchors")
    shutil.copy(HERE.parents[2] / "samples" / "sample-signer.pem", out / "anchors")


if __name__ == "__main__":
    main(sys.argv[1])
