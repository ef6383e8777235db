#!/usr/bin/env python3
"""make-crypto-fixtures.py FOLDER

Writes the keys, certificates and signatures the crypto tests read, with the
openssl command, so that no private key lives in the tree. Certificates are
DER, signatures are the bytes XML-DSig carries (ECDSA as r||s). Names:

  root.der, inter.der      a root ("Tolv Sınama Kök") and an intermediate
                           without CN; root.pem for the trust store
  rsa.der                  CN "Örnek İmzacı", RSA 2048, issued by inter
  p256.der, p384.der, p521.der   EC keys, issued by inter
  k256.der                 an EC key on a curve XML-DSig does not name (secp256k1)
  rsa16384.der             an RSA key of 16384 bits (public key only)
  badpoint.der             p256.der with a public point off the curve
  message.bin              what every signature signs
  enveloped.Tolv           a report xmlsec1 signed with rsa.key, its signature
                           after the PDF it signs; enveloped.pdf that PDF
  enveloped-forged.Tolv    the same with another PDF of the same length
  <scheme>-<hash or curve>.sig   rsa-pkcs1-sha1 ... ecdsa-p521
"""
import base64
import os
import pathlib
import random
import subprocess
import sys
import textwrap

HASHES = ["sha1", "sha224", "sha256", "sha384", "sha512"]
CURVES = {"p256": ("prime256v1", "sha256"), "p384": ("secp384r1", "sha384"),
          "p521": ("secp521r1", "sha512")}


def openssl(*args, data=None):
    return subprocess.run(["openssl", *args], input=data, check=True,
                          capture_output=True).stdout


def der_length(length):
    if length < 0x80:
        return bytes([length])
    body = length.to_bytes((length.bit_length() + 7) // 8, "big")
    return bytes([0x80 | len(body)]) + body


def der(tag, body):
    return bytes([tag]) + der_length(len(body)) + body


def der_integer(value):
    body = value.to_bytes(value.bit_length() // 8 + 1, "big")
    return der(0x02, body)


def read_der(data, at):
    """(tag, body start, body end) of the element at offset at."""
    tag, first = data[at], data[at + 1]
    at += 2
    if first < 0x80:
        return tag, at, at + first
    count = first & 0x7F
    length = int.from_bytes(data[at:at + count], "big")
    return tag, at + count, at + count + length


def ecdsa_raw(signature, size):
    """r||s, each padded to the curve's size, from OpenSSL's DER Ecdsa-Sig-Value."""
    _, start, _ = read_der(signature, 0)
    raw = b""
    for _ in range(2):
        _, begin, end = read_der(signature, start)
        raw += int.from_bytes(signature[begin:end], "big").to_bytes(size, "big")
        start = end
    return raw


def rsa_public_key_pem(bits):
    """An RSA public key with a random odd modulus: no private key is ever made."""
    rng = random.Random(bits)
    modulus = rng.getrandbits(bits) | (1 << (bits - 1)) | 1
    rsa_key = der(0x30, der_integer(modulus) + der_integer(65537))
    algorithm = der(0x30, bytes.fromhex("06092a864886f70d010101") + b"\x05\x00")
    spki = der(0x30, algorithm + der(0x03, b"\x00" + rsa_key))
    return openssl("pkey", "-pubin", "-inform", "DER", "-outform", "PEM", data=spki)


ENVELOPED = """<?xml version="1.0" encoding="UTF-8"?>
<Rapor xmlns:ds="http://www.w3.org/2000/09/xmldsig#">
<ds:Object Encoding="http://www.w3.org/2000/09/xmldsig#base64">{pdf}</ds:Object>
<ds:Signature><ds:SignedInfo>
<ds:CanonicalizationMethod Algorithm="http://www.w3.org/TR/2001/REC-xml-c14n-20010315"/>
<ds:SignatureMethod Algorithm="http://www.w3.org/2001/04/xmldsig-more#rsa-sha256"/>
<ds:Reference URI=""><ds:Transforms>
<ds:Transform Algorithm="http://www.w3.org/2000/09/xmldsig#enveloped-signature"/></ds:Transforms>
<ds:DigestMethod Algorithm="http://www.w3.org/2001/04/xmlenc#sha256"/><ds:DigestValue/></ds:Reference>
</ds:SignedInfo><ds:SignatureValue/><ds:KeyInfo><ds:X509Data/></ds:KeyInfo></ds:Signature>
</Rapor>
"""


def sign_enveloped(key, certificate):
    """enveloped.Tolv signed by xmlsec1, and a copy whose PDF is another of the same size."""
    genuine = b"%PDF-1.4\n% Gercek rapor: 1000 TL\n%%EOF\n" * 20
    forged = genuine.replace(b"1000 TL", b"9000 TL")
    lines = lambda pdf: "\n".join(textwrap.wrap(base64.b64encode(pdf).decode(), 76))
    pathlib.Path("enveloped.tmpl").write_text(ENVELOPED.format(pdf=lines(genuine)))
    subprocess.run(["xmlsec1", "--sign", "--privkey-pem", f"{key},{certificate}",
                    "--output", "enveloped.Tolv", "enveloped.tmpl"], check=True, capture_output=True)
    signed = pathlib.Path("enveloped.Tolv").read_bytes()
    pathlib.Path("enveloped-forged.Tolv").write_bytes(
        signed.replace(lines(genuine).encode(), lines(forged).encode()))
    pathlib.Path("enveloped.pdf").write_bytes(genuine)


def main(folder):
    os.makedirs(folder, exist_ok=True)
    os.chdir(folder)
    days = ["-days", "3650"]
    ca_ext = ["-addext", "basicConstraints=critical,CA:TRUE",
              "-addext", "keyUsage=critical,keyCertSign,cRLSign"]
    openssl("genpkey", "-algorithm", "EC", "-pkeyopt", "ec_paramgen_curve:P-256", "-out", "root.key")
    openssl("req", "-x509", "-new", "-key", "root.key", "-subj", "/C=TR/CN=Tolv Sınama Kök",
            "-utf8", "-out", "root.pem", *days, *ca_ext)
    openssl("genpkey", "-algorithm", "EC", "-pkeyopt", "ec_paramgen_curve:P-256", "-out", "inter.key")
    openssl("req", "-new", "-key", "inter.key", "-subj", "/C=TR/O=Tolv Sınama Ara",
            "-utf8", "-out", "inter.csr")
    pathlib.Path("ca.ext").write_text("basicConstraints=critical,CA:TRUE\n"
                                      "keyUsage=critical,keyCertSign,cRLSign\n")
    openssl("x509", "-req", "-in", "inter.csr", "-CA", "root.pem", "-CAkey", "root.key",
            "-CAcreateserial", "-extfile", "ca.ext", "-out", "inter.pem", *days)

    def issue(key, subject, out, *extra):
        openssl("req", "-new", "-key", key, "-subj", subject, "-utf8", "-out", "leaf.csr")
        openssl("x509", "-req", "-in", "leaf.csr", "-CA", "inter.pem", "-CAkey", "inter.key",
                "-CAcreateserial", "-outform", "DER", "-out", out, *days, *extra)

    openssl("genpkey", "-algorithm", "RSA", "-pkeyopt", "rsa_keygen_bits:2048", "-out", "rsa.key")
    # A serial with its high bit set: DER writes it after a zero sign byte.
    issue("rsa.key", "/C=TR/O=Tolv/serialNumber=12345678901/CN=Örnek İmzacı", "rsa.der",
          "-set_serial", "0x80A1")
    openssl("x509", "-inform", "DER", "-in", "rsa.der", "-out", "rsa.pem")
    sign_enveloped("rsa.key", "rsa.pem")
    for name, (curve, _) in CURVES.items():
        openssl("genpkey", "-algorithm", "EC", "-pkeyopt", f"ec_paramgen_curve:{curve}",
                "-out", f"{name}.key")
        issue(f"{name}.key", f"/CN=Tolv {name.upper()}", f"{name}.der")
    openssl("genpkey", "-algorithm", "EC", "-pkeyopt", "ec_paramgen_curve:secp256k1", "-out", "k256.key")
    issue("k256.key", "/CN=Tolv secp256k1", "k256.der")
    pathlib.Path("big.pem").write_bytes(rsa_public_key_pem(16384))
    issue("rsa.key", "/CN=Tolv RSA 16384", "rsa16384.der", "-force_pubkey", "big.pem")

    # The uncompressed point 04||x||y sits in the certificate as it is; one
    # changed bit of y puts it off the curve (the certificate's own signature
    # no longer matters: only its key is used).
    p256 = pathlib.Path("p256.der").read_bytes()
    point = openssl("pkey", "-in", "p256.key", "-pubout", "-outform", "DER")[-65:]
    assert point[0] == 4 and p256.count(point) == 1
    pathlib.Path("badpoint.der").write_bytes(p256.replace(point, point[:-1] + bytes([point[-1] ^ 1])))

    for name in ["root", "inter"]:
        openssl("x509", "-in", f"{name}.pem", "-outform", "DER", "-out", f"{name}.der")

    message = "İmzalanan ileti: ğüşöçı ĞÜŞÖÇİ\n".encode() * 40
    pathlib.Path("message.bin").write_bytes(message)
    for digest in HASHES:
        pathlib.Path(f"rsa-pkcs1-{digest}.sig").write_bytes(
            openssl("dgst", f"-{digest}", "-sign", "rsa.key", data=message))
        pathlib.Path(f"rsa-pss-{digest}.sig").write_bytes(
            openssl("dgst", f"-{digest}", "-sign", "rsa.key", "-sigopt", "rsa_padding_mode:pss",
                    "-sigopt", "rsa_pss_saltlen:digest", "-sigopt", f"rsa_mgf1_md:{digest}",
                    data=message))
    for name, (_, digest) in CURVES.items():
        size = {"p256": 32, "p384": 48, "p521": 66}[name]
        signature = openssl("dgst", f"-{digest}", "-sign", f"{name}.key", data=message)
        pathlib.Path(f"ecdsa-{name}.sig").write_bytes(ecdsa_raw(signature, size))
    for leftover in pathlib.Path(".").glob("*"):
        if leftover.suffix in (".key", ".csr", ".srl", ".ext", ".tmpl"):
            leftover.unlink()


if __name__ == "__main__":
    main(sys.argv[1])
