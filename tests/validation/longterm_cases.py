#!/usr/bin/env python3
"""longterm_cases.py [--windows [--wine]] OUT -- TOLV-EXTRACT...

Signs small reports with xmlsec1 and throwaway keys (a CA, a time-stamping
authority it certified, signers, all dated with faketime), gives some of them
what a long-term signature carries (a signature time-stamp made by openssl ts
over the canonical ds:SignatureValue, an OCSP response made by openssl ocsp),
then runs `tolv-extract --verify --json --trust-anchors CA` over each and
checks the validation's conclusion against the table below. Prints one line
per failure; exits 1 if there is any.

--wine: Wine 8's crypt32 cannot decode a time-stamp's TSTInfo, so there every
time-stamp is invalid ("bu sistem zaman damgasını doğrulayamıyor") and proves
nothing: a row that needs one may end indeterminate instead.
"""
import argparse
import base64
import json
import pathlib
import subprocess
import sys

from lxml import etree

DS = "http://www.w3.org/2000/09/xmldsig#"
XADES = "http://uri.etsi.org/01903/v1.3.2#"
C14N = "http://www.w3.org/TR/2001/REC-xml-c14n-20010315"

# name: (signer, time-stamp, OCSP answer, expected conclusion, sub-indication,
# timestamp field, revocation field). Every time is in the past and fixed: an
# OCSP answer a day after the time-stamp counts, and without a valid
# time-stamp none can (the best signature time is then now).
CASES = {
    "lt-good": ("signer", "tsa", "good", "valid", "", "valid", "good"),
    "t-only": ("signer", "tsa", None, "indeterminate", "TRY_LATER", "valid", "none"),
    "ts-over-other-bytes": ("signer", "other", "good", "indeterminate", "TRY_LATER", "invalid", "unknown"),
    "ts-by-rogue-tsa": ("signer", "rogue", "good", "indeterminate", "TRY_LATER", "invalid", "unknown"),
    # the report's own data shows the authority revoked before it stamped
    "ts-by-revoked-tsa": ("signer", "tsa", "good+tsa-revoked", "indeterminate", "TRY_LATER", "invalid",
                          "unknown"),
    "lt-revoked-before-ts": ("signer", "tsa", "revoked", "invalid", "REVOKED", "valid", "revoked"),
    "expired-ts-in-validity": ("old", "tsa", "good", "valid", "", "valid", "good"),
    "expired-no-ts": ("old", None, None, "indeterminate", "OUT_OF_BOUNDS_NO_POE", "none", "none"),
}
# Of each signer: when it signs, is time-stamped and gets its OCSP answer.
TIMES = {"signer": ("2025-01-01 10:00:00", "2025-01-01 12:00:00", "2025-01-02 12:00:00"),
         "old": ("2021-05-01 12:00:00", "2021-06-01 12:00:00", "2021-06-02 12:00:00")}


def run(*args, when=None, data=None):
    # -f: the clock stands still at that second.
    prefix = ["faketime", "-f", when] if when else []
    return subprocess.run(prefix + list(args), input=data, capture_output=True, check=True).stdout


def make_pki(keys):
    """A CA from 2019, a TSA it certified and a rogue one that certified
    itself, a signer valid now and one valid only in 2020-2021."""
    keys.mkdir(parents=True, exist_ok=True)
    k = lambda name: str(keys / name)
    (keys / "ca.ext").write_text("basicConstraints=critical,CA:TRUE\nkeyUsage=critical,keyCertSign,cRLSign\n")
    (keys / "tsa.ext").write_text("extendedKeyUsage=critical,timeStamping\n")
    (keys / "leaf.ext").write_text("keyUsage=critical,digitalSignature,nonRepudiation\n")
    run("openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", k("ca.key"), "-out", k("ca.pem"),
        "-days", "7300", "-subj", "/C=TR/O=Tolv Sınama/CN=Tolv Uzun Süreli Kök", "-utf8",
        "-addext", "basicConstraints=critical,CA:TRUE", "-addext", "keyUsage=critical,keyCertSign,cRLSign",
        when="2019-01-01 00:00:00")
    for name, cn, ext, days, when in (("tsa", "Tolv Zaman Damgası", "tsa.ext", 5000, "2019-06-01 00:00:00"),
                                      ("signer", "Örnek İmzacı", "leaf.ext", 3650, "2024-01-01 00:00:00"),
                                      ("old", "Eski İmzacı", "leaf.ext", 700, "2020-01-01 00:00:00")):
        run("openssl", "req", "-new", "-newkey", "rsa:2048", "-nodes", "-keyout", k(f"{name}.key"),
            "-out", k(f"{name}.csr"), "-subj", f"/C=TR/CN={cn}", "-utf8")
        run("openssl", "x509", "-req", "-in", k(f"{name}.csr"), "-CA", k("ca.pem"), "-CAkey", k("ca.key"),
            "-CAcreateserial", "-extfile", k(ext), "-days", str(days), "-out", k(f"{name}.pem"), when=when)
    run("openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", k("rogue.key"),
        "-out", k("rogue.pem"), "-days", "5000", "-subj", "/C=TR/CN=Tolv Sahte Zaman Damgası", "-utf8",
        "-addext", "extendedKeyUsage=critical,timeStamping", when="2019-06-01 00:00:00")
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


def ocsp(keys, work, signer, answer, when):
    """An OCSP response for the signer, signed by the CA, good or revoked."""
    status = "R" if answer == "revoked" else "V"
    revoked = "190601000000Z" if answer == "revoked" else ""
    (work / "index.txt").write_text(f"{status}\t401231000000Z\t{revoked}\t{serial(keys, signer)}\tunknown\t/CN=x\n")
    run("openssl", "ocsp", "-issuer", str(keys / "ca.pem"), "-cert", str(keys / f"{signer}.pem"),
        "-reqout", str(work / "req.der"), "-no_nonce")
    run("openssl", "ocsp", "-index", str(work / "index.txt"), "-rsigner", str(keys / "ca.pem"),
        "-rkey", str(keys / "ca.key"), "-CA", str(keys / "ca.pem"), "-reqin", str(work / "req.der"),
        "-respout", str(work / "resp.der"), when=when)
    return (work / "resp.der").read_bytes()


def make_report(out, keys, name, case):
    signer, stamp, answer = case[:3]
    work = out / "work"
    work.mkdir(exist_ok=True)
    pdf = base64.b64encode(b"%PDF-1.4\n% " + name.encode() + b"\n%%EOF\n").decode()
    (work / "t.xml").write_text(template(pdf))
    sign_time, stamp_time, answer_time = TIMES[signer]
    run("xmlsec1", "--sign", "--privkey-pem", f"{keys / signer}.key,{keys / signer}.pem", "--output", str(work / "s.xml"),
        str(work / "t.xml"), when=sign_time)
    doc = etree.parse(str(work / "s.xml"))
    props = doc.find(f".//{{{XADES}}}UnsignedSignatureProperties")
    value = doc.find(f"{{{DS}}}SignatureValue")
    covered = etree.tostring(value, method="c14n")
    if stamp:
        token = time_stamp(keys, work, b"other bytes" if stamp == "other" else covered,
                           "rogue" if stamp == "rogue" else "tsa", stamp_time)
        ts = etree.SubElement(props, f"{{{XADES}}}SignatureTimeStamp")
        etree.SubElement(ts, f"{{{DS}}}CanonicalizationMethod", Algorithm=C14N)
        etree.SubElement(ts, f"{{{XADES}}}EncapsulatedTimeStamp").text = base64.b64encode(token).decode()
    if answer:
        values = etree.SubElement(props, f"{{{XADES}}}RevocationValues")
        ocsp_values = etree.SubElement(values, f"{{{XADES}}}OCSPValues")
        for whose, says in ([(signer, "good"), ("tsa", "revoked")] if answer == "good+tsa-revoked"
                            else [(signer, answer)]):
            etree.SubElement(ocsp_values, f"{{{XADES}}}EncapsulatedOCSPValue").text = \
                base64.b64encode(ocsp(keys, work, whose, says, answer_time)).decode()
    doc.write(str(out / f"{name}.Tolv"), xml_declaration=True, encoding="UTF-8")


def arguments(description):
    """[--windows] [--wine] OUT -- COMMAND...: the arguments, the command, OUT
    and how the command sees a path (Wine shows / as Z:)."""
    parser = argparse.ArgumentParser(description=description)
    parser.add_argument("--windows", action="store_true", help="Windows program: Z:\\ paths")
    parser.add_argument("--wine", action="store_true", help="under Wine: no time-stamp is valid")
    parser.add_argument("out", type=pathlib.Path)
    parser.add_argument("command", nargs=argparse.REMAINDER)
    args = parser.parse_args()
    command = args.command[1:] if args.command[:1] == ["--"] else args.command
    path = (lambda p: "Z:" + str(p).replace("/", "\\")) if args.windows else str
    if not (args.out / "keys" / "tsaserial").exists():
        make_pki(args.out.resolve() / "keys")
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
        want = case[3:]
        wine_gap = args.wine and want[2] == "valid" and said[0] == "indeterminate" and said[2] == "invalid" \
            and "doğrulayamıyor" in got.get("timestampReason", "")
        if got.get("status") != "intact" or (said != want and not wine_gap):
            failures += 1
            print(f"{name}: expected {want}, got {got.get('status')} {said} "
                  f"{got.get('validationReason', '')} {errors[:100]}")
    print(f"longterm_cases: {len(CASES) - failures} passed, {failures} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
