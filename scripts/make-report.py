#!/usr/bin/env python3
"""Writes a signed report (.Tolv) that carries a PDF, the way the signing tools
write them: an enveloping XML signature whose ds:Object with an Encoding
attribute holds the PDF in Base64, broken into 76-character CRLF lines.

Nothing is really signed: digest, signature value and certificate are made up
(deterministically), since the viewer never verifies them. The same arguments
always give the same bytes.

  make-report.py OUT.Tolv                    small one-page PDF with a Turkish line
  make-report.py OUT.Tolv --pdf FILE         embed FILE
  make-report.py OUT.Tolv --pdf-size BYTES   synthetic PDF of about BYTES
  ... --write-pdf FILE                       also write the embedded PDF
"""
import argparse
import base64
import hashlib
import random
import sys

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


def make_report(pdf):
    digest = lambda data: base64.b64encode(hashlib.sha256(data).digest())
    seed = hashlib.sha256(pdf).hexdigest()
    signed_props = (
        b'<xades:SignedProperties Id="Signature-1-SignedProperties">'
        b"<xades:SignedSignatureProperties>"
        b"<xades:SigningTime>2024-03-18T10:15:42+03:00</xades:SigningTime>"
        b"<xades:SigningCertificate><xades:Cert><xades:CertDigest>"
        b'<ds:DigestMethod Algorithm="http://www.w3.org/2001/04/xmlenc#sha256"/>'
        b"<ds:DigestValue>" + digest(b"cert" + seed.encode()) + b"</ds:DigestValue>"
        b"</xades:CertDigest><xades:IssuerSerial>"
        b"<ds:X509IssuerName>CN=Tolv Test Sertifika Hizmeti,O=Tolv,C=TR</ds:X509IssuerName>"
        b"<ds:X509SerialNumber>12345678901234567890</ds:X509SerialNumber>"
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
        b"      <ds:DigestValue>" + digest(pdf) + b"</ds:DigestValue>",
        b"    </ds:Reference>",
        b'    <ds:Reference Type="http://uri.etsi.org/01903#SignedProperties" URI="#Signature-1-SignedProperties">',
        b'      <ds:DigestMethod Algorithm="http://www.w3.org/2001/04/xmlenc#sha256"/>',
        b"      <ds:DigestValue>" + digest(signed_props) + b"</ds:DigestValue>",
        b"    </ds:Reference>",
        b"  </ds:SignedInfo>",
        b'  <ds:SignatureValue Id="Signature-1-SignatureValue">' + b64_lines(random.Random(seed).randbytes(256)) + b"</ds:SignatureValue>",
        b"  <ds:KeyInfo>",
        b"    <ds:X509Data>",
        b"      <ds:X509Certificate>" + b64_lines(random.Random(seed + "c").randbytes(1200)) + b"</ds:X509Certificate>",
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


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("output", help="report file to write")
    source = parser.add_mutually_exclusive_group()
    source.add_argument("--pdf", help="embed this file instead of the generated PDF")
    source.add_argument("--pdf-size", type=int, help="generate a PDF of about this many bytes")
    parser.add_argument("--write-pdf", help="also write the embedded PDF here")
    args = parser.parse_args()

    if args.pdf:
        with open(args.pdf, "rb") as f:
            pdf = f.read()
    else:
        pdf = make_pdf(args.pdf_size)
    with open(args.output, "wb") as f:
        f.write(make_report(pdf))
    if args.write_pdf:
        with open(args.write_pdf, "wb") as f:
            f.write(pdf)
    return 0


if __name__ == "__main__":
    sys.exit(main())
