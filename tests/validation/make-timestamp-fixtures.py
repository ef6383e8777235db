#!/usr/bin/env python3
"""make-timestamp-fixtures.py FOLDER

Time-stamp tokens (RFC 3161) over data.bin, made by the openssl command as a
time-stamping authority, with every time fixed by faketime (UTC):

  root.der          "Tolv Zaman Kök", the anchor the tests add, 2019 to 2049
  tsa.der           "Tolv Zaman Damgası Birimi" under root: timeStamping, critical
  ec-tsa.der        the same kind of certificate with a P-256 key
  foreign.der       "Tolv Yabancı Zaman Damgası", its root not among the anchors
  data.bin          what the tokens are asked for (a signature value, as it were)
  token.der         over data.bin with SHA-256 at 2021-03-04 05:06:07, tsa.der inside
  sha1.der          the same with SHA-1, 2021-03-04 05:06:08
  sha512.der        with SHA-512, 2021-03-04 05:06:09
  ec.der            by ec-tsa, 2021-03-04 05:06:10
  other.der         over other.bin, not data.bin
  nocert.der        without the TSA's certificate inside (tsa.der given beside it)
  early.der         at 2018-06-01, before tsa.der was issued
  moved.der         token.der with its genTime moved a second on after signing
  broken.der        token.der with a bit of its signature value changed
  foreign-token.der by foreign.der
  noeku-token.der   TSTInfo of token.der signed again by noeku.der (no extended key usage)
  lax-token.der     ... by lax.der (timeStamping, not critical)
  wide-token.der    ... by wide.der (timeStamping and e-mail protection, critical)

openssl ts will sign with a proper TSA certificate only, so the last three are
signed with openssl cms over the TSTInfo of a good token.
"""
import os
import pathlib
import shutil
import subprocess
import sys

ROOT_DATE = "2019-01-01 00:00:00"
TSTINFO_TYPE = "1.2.840.113549.1.9.16.1.4"

CONFIG = """
[req]
distinguished_name=dn

[dn]

[ca]
basicConstraints=critical,CA:TRUE
keyUsage=critical,keyCertSign,cRLSign
subjectKeyIdentifier=hash

[tsa]
basicConstraints=CA:FALSE
keyUsage=critical,digitalSignature
extendedKeyUsage=critical,timeStamping
subjectKeyIdentifier=hash
authorityKeyIdentifier=keyid

[lax]
basicConstraints=CA:FALSE
keyUsage=critical,digitalSignature
extendedKeyUsage=timeStamping

[wide]
basicConstraints=CA:FALSE
keyUsage=critical,digitalSignature
extendedKeyUsage=critical,timeStamping,emailProtection

[noeku]
basicConstraints=CA:FALSE
keyUsage=critical,digitalSignature

[tsa_config]
serial=serial.txt
signer_digest=sha256
default_policy=1.3.6.1.4.1.99999.1
digests=sha1, sha256, sha384, sha512
accuracy=secs:1
ess_cert_id_alg=sha256
"""


def openssl(*args, at=None):
    clock = ["faketime", "-f", at] if at else []
    return subprocess.run([*clock, "openssl", *args], check=True, capture_output=True).stdout


def key(name, ec=False):
    kind = ["EC", "-pkeyopt", "ec_paramgen_curve:P-256"] if ec else [
        "RSA", "-pkeyopt", "rsa_keygen_bits:2048"]
    openssl("genpkey", "-algorithm", *kind, "-out", f"{name}.key")


def root(name, cn):
    key(name)
    openssl("req", "-x509", "-new", "-key", f"{name}.key", "-subj", f"/C=TR/CN={cn}", "-utf8",
            "-config", "tsa.cnf", "-extensions", "ca", "-days", str(30 * 365),
            "-out", f"{name}.pem", at=ROOT_DATE)


def issue(name, cn, issuer, section, ec=False):
    key(name, ec)
    openssl("req", "-new", "-key", f"{name}.key", "-subj", f"/C=TR/O=Tolv/CN={cn}", "-utf8",
            "-config", "tsa.cnf", "-out", f"{name}.csr")
    openssl("x509", "-req", "-in", f"{name}.csr", "-CA", f"{issuer}.pem", "-CAkey",
            f"{issuer}.key", "-CAcreateserial", "-extfile", "tsa.cnf", "-extensions", section,
            "-days", str(30 * 365), "-out", f"{name}.pem", at=ROOT_DATE)
    openssl("x509", "-in", f"{name}.pem", "-outform", "DER", "-out", f"{name}.der")


def stamp(out, tsa, at, data="data.bin", digest="-sha256", cert=True):
    openssl("ts", "-query", "-data", data, digest, *(["-cert"] if cert else []),
            "-out", "query.tsq")
    openssl("ts", "-reply", "-config", "tsa.cnf", "-section", "tsa_config",
            "-queryfile", "query.tsq", "-signer", f"{tsa}.pem", "-inkey", f"{tsa}.key",
            "-token_out", "-out", out, at=at)


def sign_again(token, signer, out):
    """The TSTInfo of token, signed by signer, whatever its certificate allows."""
    openssl("cms", "-verify", "-noverify", "-inform", "DER", "-in", token, "-binary",
            "-out", "tstinfo.der")
    openssl("cms", "-sign", "-binary", "-nodetach", "-nosmimecap", "-md", "sha256",
            "-econtent_type", TSTINFO_TYPE, "-in", "tstinfo.der", "-signer", f"{signer}.pem",
            "-inkey", f"{signer}.key", "-outform", "DER", "-out", out,
            at="2021-03-04 05:06:07")


def main(folder):
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    os.chdir(folder)
    os.environ["TZ"] = "UTC"
    pathlib.Path("tsa.cnf").write_text(CONFIG)
    pathlib.Path("serial.txt").write_text("01\n")
    pathlib.Path("data.bin").write_bytes(bytes(range(256)) * 2)
    pathlib.Path("other.bin").write_text("Zaman damgası başka bir veri için.\n", encoding="utf-8")

    root("root", "Tolv Zaman Kök")
    openssl("x509", "-in", "root.pem", "-outform", "DER", "-out", "root.der")
    issue("tsa", "Tolv Zaman Damgası Birimi", "root", "tsa")
    issue("ec-tsa", "Tolv EC Zaman Damgası", "root", "tsa", ec=True)
    issue("lax", "Tolv Gevşek Zaman Damgası", "root", "lax")
    issue("noeku", "Tolv Amaçsız Zaman Damgası", "root", "noeku")
    issue("wide", "Tolv Geniş Zaman Damgası", "root", "wide")
    root("foreign-root", "Tolv Yabancı Kök")
    issue("foreign", "Tolv Yabancı Zaman Damgası", "foreign-root", "tsa")

    stamp("token.der", "tsa", "2021-03-04 05:06:07")
    stamp("sha1.der", "tsa", "2021-03-04 05:06:08", digest="-sha1")
    stamp("sha512.der", "tsa", "2021-03-04 05:06:09", digest="-sha512")
    stamp("ec.der", "ec-tsa", "2021-03-04 05:06:10")
    stamp("other.der", "tsa", "2021-03-04 05:06:11", data="other.bin")
    stamp("nocert.der", "tsa", "2021-03-04 05:06:12", cert=False)
    stamp("early.der", "tsa", "2018-06-01 00:00:00")
    stamp("foreign-token.der", "foreign", "2021-03-04 05:06:13")
    good = pathlib.Path("token.der").read_bytes()
    assert good.count(b"20210304050607Z") == 1
    pathlib.Path("moved.der").write_bytes(good.replace(b"20210304050607Z", b"20210304050608Z"))
    # The signature value ends the token: no unsigned attributes follow it.
    pathlib.Path("broken.der").write_bytes(good[:-1] + bytes([good[-1] ^ 1]))
    sign_again("token.der", "noeku", "noeku-token.der")
    sign_again("token.der", "lax", "lax-token.der")
    sign_again("token.der", "wide", "wide-token.der")

    for leftover in pathlib.Path(".").glob("*"):
        if leftover.suffix in (".key", ".csr", ".srl", ".cnf", ".tsq", ".txt", ".pem") or \
                leftover.name == "tstinfo.der":
            leftover.unlink()


if __name__ == "__main__":
    main(sys.argv[1])
