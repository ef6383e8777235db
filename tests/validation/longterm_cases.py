#!/usr/bin/env python3
"""longterm_cases.py [--windows] OUT -- TOLV-EXTRACT...

Signs small reports with xmlsec1 and throwaway keys (a CA, a time-stamping
authority it certified, signers, all dated with faketime), gives some of them
what a long-term signature carries (a signature time-stamp made by openssl ts
over the canonical ds:SignatureValue, an OCSP response made by openssl ocsp),
then runs `tolv-extract --verify --json --trust-anchors CA` over each and
checks the validation's conclusion against the table below. Prints one line
per failure; exits 1 if there is any. The Windows program (--windows, under
Wine) must answer every row as the Linux one does.
"""
import argparse
import base64
import json
import pathlib
import shutil
import subprocess
import sys

from lxml import etree

DS = "http://www.w3.org/2000/09/xmldsig#"
XADES = "http://uri.etsi.org/01903/v1.3.2#"
C14N = "http://www.w3.org/TR/2001/REC-xml-c14n-20010315"

# The PKI, every date fixed: (name, CN, issuer, extensions, valid from, days,
# key, digest the issuer signs with). The CA from 2019 is the anchor.
LEAF = "keyUsage=critical,digitalSignature,nonRepudiation"
CA = "basicConstraints=critical,CA:TRUE\nkeyUsage=critical,keyCertSign,cRLSign"
PKI = [
    ("tsa", "Tolv Zaman Damgası", "ca", "extendedKeyUsage=critical,timeStamping", "2019-06-01", 5000),
    ("signer", "Örnek İmzacı", "ca", LEAF, "2024-01-01", 3650),
    ("old", "Eski İmzacı", "ca", LEAF, "2020-01-01", 700),
    ("expiring", "Süresi Dolan İmzacı", "ca", LEAF, "2024-01-01", 731),  # to 2026-01-01
    ("ds-only", "Yalnız İmzalayan", "ca", "keyUsage=critical,digitalSignature", "2024-01-01", 3650),
    ("retired", "Emekli OCSP", "ca", "extendedKeyUsage=OCSPSigning\nnoCheck=ignored", "2020-01-01", 366),
    ("inter", "Tolv Ara Makam", "ca", CA, "2019-06-01", 5000),
    ("inter-signer", "Ara İmzacı", "inter", LEAF, "2024-01-01", 3650),
    ("weak", "Tolv Zayıf Ara Makam", "ca", CA, "2019-06-01", 5000, "rsa:1024", "sha1"),
    ("weak-signer", "Zayıf Zincirli İmzacı", "weak", LEAF, "2024-01-01", 3650, "rsa:2048", "sha1"),
    ("small-curve", "Tolv Küçük Eğrili Ara Makam", "ca", CA, "2019-06-01", 5000, "ec:P-192", "sha256"),
    ("small-curve-signer", "Küçük Eğrili Zincirli İmzacı", "small-curve", LEAF, "2024-01-01", 3650),
    ("nocs", "Tolv Yetkisiz Ara Makam", "ca", "basicConstraints=critical,CA:TRUE\nkeyUsage=critical,cRLSign",
     "2019-06-01", 5000),
    ("nocs-signer", "Yetkisiz Zincirli İmzacı", "nocs", LEAF, "2024-01-01", 3650),
    ("top", "Tolv Üst Ara Makam", "ca", CA, "2019-06-01", 5000),
    ("low", "Tolv Alt Ara Makam", "top", CA, "2019-06-01", 5000),
    ("deep-signer", "Derin İmzacı", "low", LEAF, "2024-01-01", 3650),
]
# Self-signed: (name, subject, extensions). A time-stamping authority that
# certified itself, a twin of the CA (its name, a key of its own), and a
# certificate someone made in a real signer's name with the qualified claims.
SELF_SIGNED = [
    ("rogue", "/C=TR/CN=Tolv Sahte Zaman Damgası", ["extendedKeyUsage=critical,timeStamping"]),
    ("twin", "/C=TR/O=Tolv Sınama/CN=Tolv Uzun Süreli Kök", ["keyUsage=critical,keyCertSign,cRLSign"]),
    ("forger", "/C=TR/O=Tolv Sınama Bakanlığı/serialNumber=TCKN12345678901/CN=Ayşe Yılmaz",
     ["keyUsage=critical,digitalSignature,nonRepudiation", "certificatePolicies=2.16.792.1.61.0.1.5070.1.1"]),
]
ISSUER = {name: issuer for name, _, issuer, *_ in PKI}
# When each certificate is revoked, where some answer says it is.
REVOKED = {"signer": "2024-06-01 00:00:00", "expiring": "2025-06-01 00:00:00",
           "inter": "2024-06-01 00:00:00", "top": "2024-06-01 00:00:00",
           "inter-signer": "2024-06-01 00:00:00"}
# Of each signer: when it signs, is time-stamped and gets its answers.
TIMES = {"old": ("2021-05-01 12:00:00", "2021-06-01 12:00:00", "2021-06-02 12:00:00"),
         "expiring": ("2025-08-01 12:00:00", "2025-09-01 12:00:00", "2026-03-01 12:00:00")}
DEFAULT_TIMES = ("2025-01-01 10:00:00", "2025-01-01 12:00:00", "2025-01-02 12:00:00")


def O(whose, says="good", by=None, revoked_at=None):
    """An OCSP answer for whose, signed by its issuer or by the responder by."""
    return ("ocsp", whose, says, by, revoked_at)


def X(name):
    """A certificate that travels with the report besides its chain."""
    return ("cert", name)


def C(issuer, *revoked, at=None, kept_since=None):
    """A CRL of issuer listing revoked, issued at (default: the signer's answer
    time), with ExpiredCertsOnCRL kept_since where given."""
    return ("crl", issuer, revoked, at, kept_since)


# name: (signer, time-stamps (authority, at; or just the authority at the
# signer's time), revocation data and other certificates, expected conclusion,
# sub-indication, timestamp field, revocation field[, other fields of the
# line]). Without a valid time-stamp the best
# signature time is now: no "good" answer from the past can count.
CASES = {
    "lt-good": ("signer", ["tsa"], [O("signer")], "valid", "", "valid", "good"),
    "t-only": ("signer", ["tsa"], [], "indeterminate", "TRY_LATER", "valid", "none"),
    "ts-over-other-bytes": ("signer", ["other"], [O("signer")], "indeterminate", "TRY_LATER", "invalid",
                            "unknown"),
    "ts-by-rogue-tsa": ("signer", ["rogue"], [O("signer")], "indeterminate", "TRY_LATER", "invalid", "unknown"),
    # the report's own data shows the authority revoked before it stamped
    "ts-by-revoked-tsa": ("signer", ["tsa"], [O("signer"), O("tsa", "revoked", revoked_at="2019-06-01 00:00:00")],
                          "indeterminate", "TRY_LATER", "invalid", "unknown"),
    "lt-revoked-before-ts": ("signer", ["tsa"], [O("signer", "revoked")], "invalid", "REVOKED", "valid", "revoked"),
    "ts-in-the-second-of-revocation": ("signer", ["tsa"], [O("signer", "revoked", revoked_at=DEFAULT_TIMES[1])],
                                       "invalid", "REVOKED", "valid", "revoked"),
    # the later time-stamp first: the earlier one, before the revocation, proves the time
    "two-time-stamps": ("signer", [("tsa", "2025-01-01 12:00:00"), ("tsa", "2025-01-01 10:30:00")],
                        [O("signer", "revoked", revoked_at="2025-01-01 11:00:00")],
                        "valid", "", "valid", "revoked"),
    "good-and-revoked": ("signer", ["tsa"], [O("signer"), C("ca", "signer")], "invalid", "REVOKED", "valid",
                         "revoked"),
    "own-answer-revoked-no-ts": ("signer", [], [O("signer", "revoked")], "indeterminate", "REVOKED_NO_POE",
                                 "none", "revoked"),
    "own-crl-revoked-no-ts": ("signer", [], [C("ca", "signer")], "indeterminate", "REVOKED_NO_POE", "none",
                              "revoked"),
    # issued before the time-stamp, though its next update is after it
    "crl-before-ts": ("signer", ["tsa"], [C("ca", at="2024-12-31 00:00:00")], "indeterminate", "TRY_LATER",
                      "valid", "unknown"),
    "expired-ts-in-validity": ("old", ["tsa"], [O("old")], "valid", "", "valid", "good"),
    "expired-no-ts": ("old", [], [], "indeterminate", "OUT_OF_BOUNDS_NO_POE", "none", "none"),
    # revoked, expired, time-stamped between: today's list dropped it
    "expired-revoked-crl-dropped": ("expiring", ["tsa"], [C("ca")], "indeterminate", "TRY_LATER", "valid",
                                    "unknown"),
    "expired-revoked-crl-keeps": ("expiring", ["tsa"], [C("ca", "expiring", kept_since="2024-01-01 00:00:00")],
                                  "invalid", "REVOKED", "valid", "revoked"),
    "retired-responder": ("signer", ["tsa"], [O("signer", by="retired")], "indeterminate", "TRY_LATER", "valid",
                          "unknown"),
    "ds-only": ("ds-only", ["tsa"], [O("ds-only")], "valid", "", "valid", "good"),
    "inter-good": ("inter-signer", ["tsa"], [O("inter-signer"), C("ca")], "valid", "", "valid", "good"),
    "inter-unknown": ("inter-signer", ["tsa"], [O("inter-signer")], "indeterminate", "TRY_LATER", "valid",
                      "good"),
    "inter-revoked": ("inter-signer", ["tsa"], [O("inter-signer"), C("ca", "inter")], "indeterminate",
                      "REVOKED_CA_NO_POE", "valid", "good"),
    "deep-top-revoked": ("deep-signer", ["tsa"], [O("deep-signer"), C("top"), C("ca", "top")], "indeterminate",
                         "REVOKED_CA_NO_POE", "valid", "good"),
    "weak-inter": ("weak-signer", ["tsa"], [O("weak-signer"), C("ca")], "indeterminate",
                   "CRYPTO_CONSTRAINTS_FAILURE_NO_POE", "valid", "good"),
    "small-curve-inter": ("small-curve-signer", ["tsa"], [O("small-curve-signer"), C("ca")], "indeterminate",
                          "CRYPTO_CONSTRAINTS_FAILURE_NO_POE", "valid", "good"),
    "inter-without-keycertsign": ("nocs-signer", ["tsa"], [O("nocs-signer"), C("ca")], "indeterminate",
                                  "CHAIN_CONSTRAINTS_FAILURE", "valid", "good"),
    # someone's own certificate in a real signer's name: its claims vouched for by nobody
    "self-made-qualified": ("forger", [], [], "indeterminate", "NO_CERTIFICATE_CHAIN_FOUND", "none", "none",
                            {"qualified": False, "qualifiedClaim": True}),
    # the CA's self-made twin and its CRL that lists the signer
    "lt-good-twin-crl": ("signer", ["tsa"], [O("signer"), X("twin"), C("twin", "signer")], "valid", "", "valid",
                         "good"),
}


def run(*args, when=None, data=None):
    # -f: the clock stands still at that second.
    prefix = ["faketime", "-f", when] if when else []
    return subprocess.run(prefix + list(args), input=data, capture_output=True, check=True).stdout


def make_pki(keys):
    """The CA from 2019, the PKI table's certificates and the self-signed
    ones."""
    keys.mkdir(parents=True, exist_ok=True)
    k = lambda name: str(keys / name)
    run("openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", k("ca.key"), "-out", k("ca.pem"),
        "-days", "7300", "-subj", "/C=TR/O=Tolv Sınama/CN=Tolv Uzun Süreli Kök", "-utf8",
        "-addext", "basicConstraints=critical,CA:TRUE", "-addext", "keyUsage=critical,keyCertSign,cRLSign",
        when="2019-01-01 00:00:00")
    for name, cn, issuer, ext, start, days, *how in PKI:
        key, digest = how or ("rsa:2048", "sha256")
        (keys / f"{name}.ext").write_text(ext + "\n")
        kind, _, size = key.partition(":")
        new_key = ["-newkey", "ec", "-pkeyopt", f"ec_paramgen_curve:{size}"] if kind == "ec" else ["-newkey", key]
        run("openssl", "req", "-new", *new_key, "-nodes", "-keyout", k(f"{name}.key"),
            "-out", k(f"{name}.csr"), "-subj", f"/C=TR/CN={cn}", "-utf8")
        run("openssl", "x509", "-req", "-in", k(f"{name}.csr"), "-CA", k(f"{issuer}.pem"),
            "-CAkey", k(f"{issuer}.key"), "-CAcreateserial", "-extfile", k(f"{name}.ext"), f"-{digest}",
            "-days", str(days), "-out", k(f"{name}.pem"), when=f"{start} 00:00:00")
    for name, subject, extensions in SELF_SIGNED:
        run("openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", k(f"{name}.key"),
            "-out", k(f"{name}.pem"), "-days", "5000", "-subj", subject, "-utf8",
            *[arg for ext in extensions for arg in ("-addext", ext)], when="2019-06-01 00:00:00")
    (keys / "tsa.cnf").write_text(
        "[tsa]\ndefault_tsa=tsa_config\n[tsa_config]\nserial=" + k("tsaserial") + "\ndigests=sha256\n"
        "signer_digest=sha256\ndefault_policy=1.2.3.4.1\naccuracy=secs:1\nordering=yes\ness_cert_id_chain=no\n")
    (keys / "tsaserial").write_text("01\n")


def serial(keys, name):
    text = run("openssl", "x509", "-in", str(keys / f"{name}.pem"), "-noout", "-serial").decode()
    return text.strip().split("=")[1]


def template(pdf_b64):
    return f"""<?xml version="1.0" encoding="UTF-8"?>
<ds:Signature xmlns:ds="{DS}" Id="Imza-1"><ds:SignedInfo>
<ds:CanonicalizationMethod Algorithm="{C14N}"/>
<ds:SignatureMethod Algorithm="http://www.w3.org/2001/04/xmldsig-more#rsa-sha256"/>
<ds:Reference URI="#Nesne-PDF"><ds:DigestMethod Algorithm="http://www.w3.org/2001/04/xmlenc#sha256"/><ds:DigestValue/></ds:Reference>
</ds:SignedInfo><ds:SignatureValue/>
<ds:KeyInfo><ds:X509Data/></ds:KeyInfo>
<ds:Object><xades:QualifyingProperties xmlns:xades="{XADES}" Target="#Imza-1"><xades:UnsignedProperties><xades:UnsignedSignatureProperties/></xades:UnsignedProperties></xades:QualifyingProperties></ds:Object>
<ds:Object Id="Nesne-PDF" Encoding="{DS}base64">{pdf_b64}</ds:Object>
</ds:Signature>
"""


def time_stamp(keys, work, covered, tsa, when):
    (work / "covered.bin").write_bytes(covered)
    run("openssl", "ts", "-query", "-data", str(work / "covered.bin"), "-sha256", "-cert",
        "-out", str(work / "q.tsq"))
    run("openssl", "ts", "-reply", "-queryfile", str(work / "q.tsq"), "-signer", str(keys / f"{tsa}.pem"),
        "-inkey", str(keys / f"{tsa}.key"), "-config", str(keys / "tsa.cnf"), "-token_out",
        "-out", str(work / "token.der"), when=when)
    return (work / "token.der").read_bytes()


def index_line(keys, name, revoked_at=None):
    """A line of an openssl CA database: valid, or revoked at revoked_at."""
    when = revoked_at or REVOKED.get(name, "2024-06-01 00:00:00")
    state, at = ("R", when.translate({ord(c): None for c in "-: "})[2:] + "Z") if revoked_at is not False \
        else ("V", "")
    return f"{state}\t401231000000Z\t{at}\t{serial(keys, name)}\tunknown\t/CN={name}\n"


def ocsp(keys, work, whose, says, when, by=None, revoked_at=None):
    """An OCSP response for whose, good or revoked, signed by its issuer or by."""
    issuer = ISSUER.get(whose, "ca")
    (work / "index.txt").write_text(index_line(keys, whose, revoked_at if says == "revoked" else False))
    run("openssl", "ocsp", "-issuer", str(keys / f"{issuer}.pem"), "-cert", str(keys / f"{whose}.pem"),
        "-reqout", str(work / "req.der"), "-no_nonce")
    signer = by or issuer
    run("openssl", "ocsp", "-index", str(work / "index.txt"), "-rsigner", str(keys / f"{signer}.pem"),
        "-rkey", str(keys / f"{signer}.key"), "-CA", str(keys / f"{issuer}.pem"), "-reqin", str(work / "req.der"),
        "-respout", str(work / "resp.der"), when=when)
    return (work / "resp.der").read_bytes()


def crl(keys, work, issuer, revoked, when, kept_since=None):
    """issuer's CRL listing revoked, with ExpiredCertsOnCRL kept_since where given."""
    (work / "index.txt").write_text("".join(index_line(keys, name) for name in revoked))
    (work / "crlnumber").write_text("01\n")
    extensions = ""
    if kept_since:
        stamp = kept_since.replace("-", "").replace(":", "").replace(" ", "") + "Z"
        extensions = "crl_extensions=kept\n[kept]\n2.5.29.60=DER:180F" + stamp.encode().hex().upper() + "\n"
    (work / "crl.cnf").write_text(
        f"[ca]\ndefault_ca=c\n[c]\ndatabase={work / 'index.txt'}\ncrlnumber={work / 'crlnumber'}\n"
        f"default_md=sha256\ndefault_crl_days=30\n{extensions}")
    run("openssl", "ca", "-gencrl", "-config", str(work / "crl.cnf"), "-cert", str(keys / f"{issuer}.pem"),
        "-keyfile", str(keys / f"{issuer}.key"), "-out", str(work / "crl.pem"), when=when)
    return run("openssl", "crl", "-in", str(work / "crl.pem"), "-outform", "DER")


def der(keys, name):
    return run("openssl", "x509", "-in", str(keys / f"{name}.pem"), "-outform", "DER")


def make_report(out, keys, name, case):
    signer, stamps, data = case[:3]
    work = out / "work"
    work.mkdir(exist_ok=True)
    pdf = base64.b64encode(b"%PDF-1.4\n% " + name.encode() + b"\n%%EOF\n").decode()
    (work / "t.xml").write_text(template(pdf))
    sign_time, stamp_time, answer_time = TIMES.get(signer, DEFAULT_TIMES)
    run("xmlsec1", "--sign", "--privkey-pem", f"{keys / signer}.key,{keys / signer}.pem", "--output", str(work / "s.xml"),
        str(work / "t.xml"), when=sign_time)
    doc = etree.parse(str(work / "s.xml"))
    props = doc.find(f".//{{{XADES}}}UnsignedSignatureProperties")
    value = doc.find(f"{{{DS}}}SignatureValue")
    covered = etree.tostring(value, method="c14n")
    for stamp in stamps:
        tsa, when = stamp if isinstance(stamp, tuple) else (stamp, stamp_time)
        token = time_stamp(keys, work, b"other bytes" if tsa == "other" else covered,
                           "tsa" if tsa == "other" else tsa, when)
        ts = etree.SubElement(props, f"{{{XADES}}}SignatureTimeStamp")
        etree.SubElement(ts, f"{{{DS}}}CanonicalizationMethod", Algorithm=C14N)
        etree.SubElement(ts, f"{{{XADES}}}EncapsulatedTimeStamp").text = base64.b64encode(token).decode()
    # The CAs between the signer and the anchor travel with the report.
    chain, at = [], ISSUER.get(signer, "ca")
    while at != "ca":
        chain.append(at)
        at = ISSUER[at]
    chain += [item[1] for item in data if item[0] == "cert"]
    data = [item for item in data if item[0] != "cert"]
    if chain:
        values = etree.SubElement(props, f"{{{XADES}}}CertificateValues")
        for ca in chain:
            etree.SubElement(values, f"{{{XADES}}}EncapsulatedX509Certificate").text = \
                base64.b64encode(der(keys, ca)).decode()
    if data:
        values = etree.SubElement(props, f"{{{XADES}}}RevocationValues")
        kinds = {kind: etree.SubElement(values, f"{{{XADES}}}{element}")
                 for kind, element in (("crl", "CRLValues"), ("ocsp", "OCSPValues")) if any(d[0] == kind for d in data)}
        for kind, *item in data:
            if kind == "ocsp":
                whose, says, by, revoked_at = item
                answer, element = ocsp(keys, work, whose, says, answer_time, by, revoked_at), "EncapsulatedOCSPValue"
            else:
                issuer, revoked, when, kept_since = item
                answer, element = crl(keys, work, issuer, revoked, when or answer_time, kept_since), \
                    "EncapsulatedCRLValue"
            etree.SubElement(kinds[kind], f"{{{XADES}}}{element}").text = base64.b64encode(answer).decode()
    doc.write(str(out / f"{name}.Tolv"), xml_declaration=True, encoding="UTF-8")


def arguments(description):
    """[--windows] OUT -- COMMAND...: the arguments, the command, OUT
    and how the command sees a path (Wine shows / as Z:)."""
    parser = argparse.ArgumentParser(description=description)
    parser.add_argument("--windows", action="store_true", help="Windows program: Z:\\ paths")
    parser.add_argument("out", type=pathlib.Path)
    parser.add_argument("command", nargs=argparse.REMAINDER)
    args = parser.parse_args()
    command = args.command[1:] if args.command[:1] == ["--"] else args.command
    path = (lambda p: "Z:" + str(p).replace("/", "\\")) if args.windows else str
    # Made anew, with every report, when the PKI table changes.
    made = args.out / "keys" / "pki.txt"
    if not made.exists() or made.read_text() != repr((PKI, SELF_SIGNED)):
        shutil.rmtree(args.out, ignore_errors=True)
        make_pki(args.out.resolve() / "keys")
        made.write_text(repr((PKI, SELF_SIGNED)))
    return args, command, args.out.resolve(), path


def verify_json(command, *options, env=None, cwd=None):
    """The first JSON object of command --verify --json, {} without one; and stderr."""
    result = subprocess.run(command + ["--verify", "--json", *options], capture_output=True, timeout=300,
                            env=env, cwd=cwd)
    lines = result.stdout.decode("utf-8", "replace").replace("\r", "").splitlines()
    return (json.loads(lines[0]) if lines else {}), result.stderr.decode(errors="replace")


def main():
    args, command, out, path = arguments(__doc__.splitlines()[0])
    for name, case in CASES.items():  # each once, a new case too
        if not (out / f"{name}.Tolv").exists():
            make_report(out, out / "keys", name, case)
    failures = 0
    for name, case in CASES.items():
        got, errors = verify_json(command, "--trust-anchors", path(out / "keys" / "ca.pem"),
                                  path(out / f"{name}.Tolv"))
        said = tuple(got.get(k, "") for k in ("conclusion", "subIndication", "timestamp", "revocation"))
        want, fields = case[3:7], case[7] if len(case) > 7 else {}
        if got.get("status") != "intact" or said != want or any(got.get(k) != v for k, v in fields.items()):
            failures += 1
            print(f"{name}: expected {want} {fields}, got {got.get('status')} {said} "
                  f"{ {k: got.get(k) for k in fields} } {got.get('validationReason', '')} {errors[:100]}")
    # --require valid: a valid report alone passes; one that is not fails the set with 6.
    for names, code in ((["lt-good"], 0), (["lt-good", "t-only"], 6)):
        result = subprocess.run(command + ["--verify", "--require=valid", "--trust-anchors", path(out / "keys" / "ca.pem"),
                                           *[path(out / f"{n}.Tolv") for n in names]], capture_output=True, timeout=300)
        if result.returncode != code:
            failures += 1
            print(f"--require valid {' '.join(names)}: exit status {result.returncode}, not {code}")
    print(f"longterm_cases: {len(CASES) - failures} passed, {failures} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
