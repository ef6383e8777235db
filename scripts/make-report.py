#!/usr/bin/env python3
"""Writes a signed report (.Tolv) that carries a PDF, the way the signing tools
write them: an enveloping XML signature whose ds:Object with an Encoding
attribute holds the PDF in Base64, broken into 76-character CRLF lines.

Without --sign nothing is really signed: digest, signature value and
certificate are made up (deterministically), and the viewer's check answers
that it cannot check such a report (the certificate cannot be read). The same
arguments always give the same bytes. With --sign the report is signed for
real by xmlsec1 with the given key and certificate (scripts/sign-sample.sh).

  make-report.py OUT.Tolv                    small one-page PDF with a Turkish line
  make-report.py OUT.Tolv --pdf FILE         embed FILE
  make-report.py OUT.Tolv --pdf-size BYTES   synthetic PDF of about BYTES
  ... --write-pdf FILE                       also write the embedded PDF
  ... --sign KEY.pem CERT.pem                sign it with xmlsec1
"""
import argparse
import base64
import datetime
import hashlib
import os
import random
import subprocess
import sys
import tempfile

TEXT = "Tolv İçerik Gösterici: örnek rapor, şiir gibi ağaç ığdır ÇĞİÖŞÜ"

# Glyphs that WinAnsiEncoding lacks get the codes 0x80-0x85 through Differences;
# the standard Helvetica has them all.
TURKISH = {"Ğ": 0x80, "ğ": 0x81, "İ": 0x82, "ı": 0x83, "Ş": 0x84, "ş": 0x85}
DIFFERENCES = b"[128 /Gbreve /gbreve /Idotaccent /dotlessi /Scedilla /scedilla]"


def pdf_string(text):
    out = bytearray()
    for ch in text:
        code = TURKISH.get(ch)
        out += bytes([code]) if code is not None else ch.encode("cp1252")
    return b"(" + bytes(out).replace(b"\\", b"\\\\").replace(b"(", b"\\(").replace(b")", b"\\)") + b")"


def make_pdf(size=None):
    """A valid one-page PDF; with size, padded by an unused binary stream to about size bytes."""
    content = b"BT /F1 14 Tf 56 760 Td " + pdf_string(TEXT) + b" Tj ET\n"
    objects = [
        b"<< /Type /Catalog /Pages 2 0 R >>",
        b"<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] "
        b"/Resources << /Font << /F1 4 0 R >> >> /Contents 5 0 R >>",
        b"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica "
        b"/Encoding << /Type /Encoding /BaseEncoding /WinAnsiEncoding /Differences "
        + DIFFERENCES + b" >> >>",
        b"<< /Length %d >>\nstream\n" % len(content) + content + b"endstream",
    ]
    if size:
        pad = max(0, size - 900)
        data = random.Random(size).randbytes(pad)
        objects.append(b"<< /Length %d >>\nstream\n" % len(data) + data + b"\nendstream")
    out = bytearray(b"%PDF-1.4\n%\xe2\xe3\xcf\xd3\n")
    offsets = []
    for number, body in enumerate(objects, 1):
        offsets.append(len(out))
        out += b"%d 0 obj\n" % number + body + b"\nendobj\n"
    xref = len(out)
    out += b"xref\n0 %d\n0000000000 65535 f \n" % (len(objects) + 1)
    for offset in offsets:
        out += b"%010d 00000 n \n" % offset
    out += b"trailer\n<< /Size %d /Root 1 0 R >>\nstartxref\n%d\n%%%%EOF\n" % (len(objects) + 1, xref)
    return bytes(out)


def b64_lines(data):
    return base64.encodebytes(data).replace(b"\n", b"\r\n").rstrip(b"\r\n")


def junk(seed, size):
    return base64.b64encode(random.Random(seed).randbytes(size))


def certificate_facts(cert):
    """The SHA-256 of the certificate's DER, its issuer (RFC 2253) and its serial number."""
    der = subprocess.run(["openssl", "x509", "-in", cert, "-outform", "DER"], check=True,
                         capture_output=True).stdout
    issuer = subprocess.run(["openssl", "x509", "-in", cert, "-noout", "-issuer", "-nameopt",
                             "RFC2253,-esc_msb"], check=True, capture_output=True).stdout
    serial = subprocess.run(["openssl", "x509", "-in", cert, "-noout", "-serial"], check=True,
                            capture_output=True, text=True).stdout
    return (base64.b64encode(hashlib.sha256(der).digest()),
            issuer.strip().split(b"=", 1)[1].replace(b"&", b"&amp;").replace(b"<", b"&lt;"),
            str(int(serial.strip().split("=", 1)[1], 16)).encode())


def make_report(pdf, cert=None):
    """The report; with cert, a template for xmlsec1 that names that certificate."""
    digest = lambda data: base64.b64encode(hashlib.sha256(data).digest())
    seed = hashlib.sha256(pdf).hexdigest()
    signing_time = b"2024-03-18T10:15:42+03:00"
    cert_digest = digest(b"cert" + seed.encode())
    issuer = b"CN=Tolv Test Sertifika Hizmeti,O=Tolv,C=TR"
    serial = b"12345678901234567890"
    if cert:
        cert_digest, issuer, serial = certificate_facts(cert)
        # Istanbul's time of day, as a signing tool there would claim it.
        now = datetime.datetime.now(datetime.timezone(datetime.timedelta(hours=3)))
        signing_time = now.replace(microsecond=0).isoformat().encode()
    signed_props = (
        b'<xades:SignedProperties Id="Signature-1-SignedProperties">'
        b"<xades:SignedSignatureProperties>"
        b"<xades:SigningTime>" + signing_time + b"</xades:SigningTime>"
        b"<xades:SigningCertificate><xades:Cert><xades:CertDigest>"
        b'<ds:DigestMethod Algorithm="http://www.w3.org/2001/04/xmlenc#sha256"/>'
        b"<ds:DigestValue>" + cert_digest + b"</ds:DigestValue>"
        b"</xades:CertDigest><xades:IssuerSerial>"
        b"<ds:X509IssuerName>" + issuer + b"</ds:X509IssuerName>"
        b"<ds:X509SerialNumber>" + serial + b"</ds:X509SerialNumber>"
        b"</xades:IssuerSerial></xades:Cert></xades:SigningCertificate>"
        b"</xades:SignedSignatureProperties></xades:SignedProperties>"
    )
    parts = [
        b'<?xml version="1.0" encoding="UTF-8"?>',
        b'<ds:Signature xmlns:ds="http://www.w3.org/2000/09/xmldsig#" Id="Signature-1">',
        b"  <ds:SignedInfo>",
        b'    <ds:CanonicalizationMethod Algorithm="http://www.w3.org/TR/2001/REC-xml-c14n-20010315"/>',
        b'    <ds:SignatureMethod Algorithm="http://www.w3.org/2001/04/xmldsig-more#rsa-sha256"/>',
        b'    <ds:Reference URI="#Object-PDF">',
        b'      <ds:DigestMethod Algorithm="http://www.w3.org/2001/04/xmlenc#sha256"/>',
        b"      <ds:DigestValue>" + (b"" if cert else digest(pdf)) + b"</ds:DigestValue>",
        b"    </ds:Reference>",
        b'    <ds:Reference Type="http://uri.etsi.org/01903#SignedProperties" URI="#Signature-1-SignedProperties">',
        b'      <ds:DigestMethod Algorithm="http://www.w3.org/2001/04/xmlenc#sha256"/>',
        b"      <ds:DigestValue>" + (b"" if cert else digest(signed_props)) + b"</ds:DigestValue>",
        b"    </ds:Reference>",
        b"  </ds:SignedInfo>",
        b'  <ds:SignatureValue Id="Signature-1-SignatureValue">'
        + (b"" if cert else b64_lines(random.Random(seed).randbytes(256))) + b"</ds:SignatureValue>",
        b"  <ds:KeyInfo>",
        b"    <ds:X509Data>",
        b"      <ds:X509Certificate>"
        + (b"" if cert else b64_lines(random.Random(seed + "c").randbytes(1200))) + b"</ds:X509Certificate>",
        b"    </ds:X509Data>",
        b"  </ds:KeyInfo>",
        b"  <ds:Object>",
        b'    <xades:QualifyingProperties xmlns:xades="http://uri.etsi.org/01903/v1.3.2#" Target="#Signature-1">'
        + signed_props + b"</xades:QualifyingProperties>",
        b"  </ds:Object>",
        b'  <ds:Object Id="Object-PDF" MimeType="application/pdf" Encoding="http://www.w3.org/2000/09/xmldsig#base64">',
        b64_lines(pdf),
        b"</ds:Object>",
        b"</ds:Signature>",
        b"",
    ]
    return b"\r\n".join(parts)


def sign(template, key, cert):
    """The report signed by xmlsec1: digests, signature value and certificate filled in."""
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "template.Tolv")
        with open(path, "wb") as f:
            f.write(template)
        return subprocess.run(["xmlsec1", "--sign", "--privkey-pem", f"{key},{cert}",
                               "--id-attr:Id", "Object", "--id-attr:Id",
                               "http://uri.etsi.org/01903/v1.3.2#:SignedProperties", path],
                              check=True, capture_output=True).stdout


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("output", help="report file to write")
    source = parser.add_mutually_exclusive_group()
    source.add_argument("--pdf", help="embed this file instead of the generated PDF")
    source.add_argument("--pdf-size", type=int, help="generate a PDF of about this many bytes")
    parser.add_argument("--write-pdf", help="also write the embedded PDF here")
    parser.add_argument("--sign", nargs=2, metavar=("KEY", "CERT"),
                        help="sign for real with xmlsec1, this PEM key and certificate")
    args = parser.parse_args()

    if args.pdf:
        with open(args.pdf, "rb") as f:
            pdf = f.read()
    else:
        pdf = make_pdf(args.pdf_size)
    report = make_report(pdf, args.sign[1] if args.sign else None)
    if args.sign:
        report = sign(report, *args.sign)
    with open(args.output, "wb") as f:
        f.write(report)
    if args.write_pdf:
        with open(args.write_pdf, "wb") as f:
            f.write(pdf)
    return 0


if __name__ == "__main__":
    sys.exit(main())
