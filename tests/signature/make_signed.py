#!/usr/bin/env python3
"""make_signed.py OUT: writes into OUT small reports really signed by xmlsec1
with throwaway keys (made here by openssl, kept in OUT/keys), three altered
copies of each, reports whose signature cannot be checked, and OUT/cases.json,
the table the runner checks: one entry per file with the status a verifier
must give and the signer's name.

Every report is put to xmlsec1 --verify as it is written and the generator
stops unless xmlsec1 agrees with the table (signature methods xmlsec1 lacks,
RSA-PSS, are signed and checked with openssl over lxml's canonical form).
A set already in OUT made by the same generator is kept as it is.
"""
import base64
import datetime
import hashlib
import importlib.util
import json
import pathlib
import re
import subprocess
import sys

from lxml import etree

DS = "http://www.w3.org/2000/09/xmldsig#"
MORE = "http://www.w3.org/2001/04/xmldsig-more#"
ENC = "http://www.w3.org/2001/04/xmlenc#"
MORE07 = "http://www.w3.org/2007/05/xmldsig-more#"
XADES = "http://uri.etsi.org/01903/v1.3.2#"
EXC = "http://www.w3.org/2001/10/xml-exc-c14n#"
BASE64 = DS + "base64"

SIGNATURE_METHODS = {  # name: (URI, key kind, hash, padding)
    "rsa-sha1": (DS + "rsa-sha1", "rsa", "sha1", None),
    "rsa-sha224": (MORE + "rsa-sha224", "rsa", "sha224", None),
    "rsa-sha256": (MORE + "rsa-sha256", "rsa", "sha256", None),
    "rsa-sha384": (MORE + "rsa-sha384", "rsa", "sha384", None),
    "rsa-sha512": (MORE + "rsa-sha512", "rsa", "sha512", None),
    "rsa-pss-sha256": (MORE07 + "sha256-rsa-MGF1", "rsa", "sha256", "pss"),
    "rsa-pss-sha384": (MORE07 + "sha384-rsa-MGF1", "rsa", "sha384", "pss"),
    "rsa-pss-sha512": (MORE07 + "sha512-rsa-MGF1", "rsa", "sha512", "pss"),
    "ecdsa-sha256": (MORE + "ecdsa-sha256", "ec", "sha256", None),
    "ecdsa-sha384": (MORE + "ecdsa-sha384", "ec", "sha384", None),
    "ecdsa-sha512": (MORE + "ecdsa-sha512", "ec", "sha512", None),
    # Methods a report's signature may name and a verifier need not take.
    "dsa-sha256": ("http://www.w3.org/2009/xmldsig11#dsa-sha256", "dsa", "sha256", None),
    "hmac-sha256": (MORE + "hmac-sha256", "hmac", "sha256", None),
}
DIGESTS = {
    "sha1": DS + "sha1",
    "sha224": MORE + "sha224",
    "sha256": ENC + "sha256",
    "sha384": MORE + "sha384",
    "sha512": ENC + "sha512",
}
C14N = {
    "c14n": "http://www.w3.org/TR/2001/REC-xml-c14n-20010315",
    "c14n-comments": "http://www.w3.org/TR/2001/REC-xml-c14n-20010315#WithComments",
    "c14n11": "http://www.w3.org/2006/12/xml-c14n11",
    "c14n11-comments": "http://www.w3.org/2006/12/xml-c14n11#WithComments",
    "exc-c14n": EXC,
    "exc-c14n-comments": EXC + "WithComments",
}

# Keys: name -> (openssl genpkey options, common name of its certificate).
# The "-other" keys have a certificate of the same name from the same CA: the
# swap an attacker would make.
SIGNER = "Örnek İmzacı"
KEYS = {
    "rsa": (["-algorithm", "RSA", "-pkeyopt", "rsa_keygen_bits:2048"], SIGNER),
    "p256": (["-algorithm", "EC", "-pkeyopt", "ec_paramgen_curve:P-256"], "Şükrü Çağlar Öztürk"),
    "p384": (["-algorithm", "EC", "-pkeyopt", "ec_paramgen_curve:P-384"], "Ayşe Gül Işık"),
    "p521": (["-algorithm", "EC", "-pkeyopt", "ec_paramgen_curve:P-521"], "Ümit Ağaoğlu"),
    "dsa": (["-paramfile", "dsa-params.pem"], SIGNER),
    # Keys too weak to establish a signer, and the weakest one accepted.
    "rsa512": (["-algorithm", "RSA", "-pkeyopt", "rsa_keygen_bits:512"], SIGNER),
    "rsa1024": (["-algorithm", "RSA", "-pkeyopt", "rsa_keygen_bits:1024"], SIGNER),
    "p192": (["-algorithm", "EC", "-pkeyopt", "ec_paramgen_curve:P-192"], SIGNER),
    # A name that would make a terminal erase its line and hide what follows.
    "rsa-controls": (["-algorithm", "RSA", "-pkeyopt", "rsa_keygen_bits:2048"],
                     "\x1b[2K\x1b[1Gintact\x1b[8m Örnek\x7f\u009b İmzacı\u2067"),
}
CA_NAME = "/C=TR/O=Tolv Deneme/CN=Tolv Deneme Kök Sertifikası"


def run(*args, data=None):
    return subprocess.run(args, input=data, capture_output=True, check=True).stdout


class Keys:
    def __init__(self, folder):
        self.dir = folder
        folder.mkdir(parents=True, exist_ok=True)
        self.ca = folder / "ca.pem"
        run("openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", str(folder / "ca.key"),
            "-out", str(self.ca), "-days", "3650", "-utf8", "-subj", CA_NAME,
            "-addext", "basicConstraints=critical,CA:TRUE", "-addext", "keyUsage=critical,keyCertSign,cRLSign")
        (folder / "ext").write_text("basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature,nonRepudiation\n")
        run("openssl", "genpkey", "-genparam", "-algorithm", "DSA", "-pkeyopt", "dsa_paramgen_bits:2048",
            "-out", str(folder / "dsa-params.pem"))
        (folder / "hmac.bin").write_bytes(hashlib.sha256(b"tolv" + self.ca.read_bytes()).digest())
        for name, (options, cn) in KEYS.items():
            for variant in (name, name + "-other"):
                self.make(variant, options, cn)

    def make(self, name, options, cn):
        key, cert = self.dir / f"{name}.key", self.dir / f"{name}.pem"
        run("openssl", "genpkey", *[str(self.dir / o) if o.endswith(".pem") else o for o in options],
            "-out", str(key))
        run("openssl", "pkey", "-in", str(key), "-pubout", "-out", str(self.dir / f"{name}.pub"))
        csr = run("openssl", "req", "-new", "-key", str(key), "-utf8", "-subj", f"/C=TR/O=Tolv Deneme/CN={cn}")
        run("openssl", "x509", "-req", "-CA", str(self.ca), "-CAkey", str(self.dir / "ca.key"), "-set_serial",
            str(int.from_bytes(hashlib.sha256(name.encode() + csr).digest()[:8], "big")), "-days", "3650",
            "-extfile", str(self.dir / "ext"), "-out", str(cert), data=csr)

    def der(self, name):
        return run("openssl", "x509", "-in", str(self.dir / f"{name}.pem"), "-outform", "DER")

    def issuer_serial(self, name):
        out = run("openssl", "x509", "-in", str(self.dir / f"{name}.pem"), "-noout", "-issuer", "-serial",
                  "-nameopt", "RFC2253,-esc_msb").decode()
        issuer = re.search(r"issuer=(.*)", out).group(1).strip()
        serial = int(re.search(r"serial=([0-9A-F]+)", out).group(1), 16)
        return issuer, serial


# Content features: pieces of signed content that canonicalization must get
# right. Each is (attributes and declarations for the root, content XML).
FEATURES = {
    "ancestor-ns": (' xmlns:r="urn:tolv:rapor" xmlns:bos="urn:tolv:kullanilmayan"',
                    '<r:Kalem xmlns:r="urn:tolv:rapor" r:no="1"><r:Ad>Kira</r:Ad>'
                    '<r:Ic xmlns:r="urn:tolv:baska" r:tur="2"/></r:Kalem>'),
    "default-ns": (' xmlns="urn:tolv:rapor"',
                   '<Tutar>10</Tutar><Bos xmlns=""><Ic/></Bos><Baska xmlns="urn:tolv:ic"><Ic xmlns=""/></Baska>'),
    "xml-attrs": (' xml:lang="tr"',
                  '<Not xml:space="preserve">  iki  boşluk  <Ic xml:lang="en">two</Ic></Not>'),
    "comments": ("", '<!-- yorum: ödeme --><Yorumlu>a<!--b-->c</Yorumlu>'),
    "pi": ("", '<?tolv-islem surum="2"?><Islemli>x<?bos?></Islemli>'),
    "cr-ref": ("", '<Satir satir="a&#13;b">bir&#13;\niki&#13;</Satir>'),
    "attr-escapes": ("", '<Nitelik z="&lt;&amp;&quot;&gt;" b="sekme&#9;satır&#10;son" a="\'tek\'" '
                         'c="x&#xD;y">&lt;&amp;&gt;"\'</Nitelik>'),
    "non-ascii": ("", '<Metin>Ödeme şartları: ğüşıöç İĞÜŞÖÇ — ¼ €</Metin>'),
    "cdata": ("", '<Kisim><![CDATA[a < b & c > d ]]]></Kisim>'),
}
PROLOG = {"comments": "<!-- rapor başı -->\n", "pi": '<?tolv-rapor surum="1"?>\n'}
EPILOG = {"comments": "\n<!-- rapor sonu -->", "pi": "\n<?tolv-son?>"}


def row(name, **fields):
    """A case of the table. method, digest, c14n (of SignedInfo) and ref_c14n
    (a transform on each reference, none by default) name entries of the
    tables above; shape is enveloping (the signature is the root),
    enveloping-whole (the same, signed by URI="" alone), enveloped (URI="" on
    the report's root) or enveloped-id (Id references to the root's children),
    the signature the root's last child or, with -first, its first; newline
    is the line end written; xpointer writes same-document references as
    XPointers; extra names a change (see template() and EDITS); salt is
    RSA-PSS's salt length (None: the hash's); signing_time replaces the
    current time; xmlsec is what xmlsec1 --verify must say (None: not asked);
    alter makes the three altered copies; details maps JSON keys to a regular
    expression their value in the output must match."""
    base = dict(name=name, method="rsa-sha256", key=None, digest="sha256", c14n="c14n", ref_c14n=None,
                prefixes=None, shape="enveloping", features=(), encoding="UTF-8", v1=False, newline="\r\n",
                base64=False, pdf_size=None, prefix="ds", expect="intact", extra=None, xmlsec=True, alter=True,
                xpointer=False, salt=None, signing_time=None, details={})
    base.update(fields)
    if base["key"] is None:
        base["key"] = "rsa" if SIGNATURE_METHODS[base["method"]][1] == "rsa" else "p256"
    return base


ALL = tuple(FEATURES)
CASES = (
    [row(f"method-{m}-{k}", method=m, key=k) for m in SIGNATURE_METHODS if m.startswith("ecdsa")
     for k in ("p256", "p384", "p521")]
    + [row(f"method-{m}", method=m) for m in SIGNATURE_METHODS if m.startswith("rsa")]
    + [row(f"digest-{d}", digest=d, v1=True) for d in DIGESTS]
    + [row(f"c14n-{c}", c14n=c, ref_c14n=c, features=ALL) for c in C14N]
    + [row(f"c14n-{c}-enveloped", c14n=c, ref_c14n=c, shape="enveloped", features=ALL) for c in C14N]
    + [row("c14n-exc-prefixlist", c14n="exc-c14n", ref_c14n="exc-c14n", prefixes="r #default",
           features=ALL),
       row("c14n-exc-prefixlist-enveloped-id", c14n="exc-c14n", ref_c14n="exc-c14n",
           prefixes="xades r bos #default", shape="enveloped-id", features=ALL)]
    + [row(f"shape-enveloped-id-{c}", shape="enveloped-id", c14n=c, ref_c14n=c, features=ALL)
       for c in ("c14n", "c14n11", "exc-c14n")]
    + [row(f"shape-{s}-first", shape=f"{s}-first", features=ALL) for s in ("enveloped", "enveloped-id")]
    + [row(f"feature-{f}", shape="enveloped", features=(f,), newline="\n") for f in FEATURES]
    + [row(f"feature-{f}-id", shape="enveloped-id", features=(f,)) for f in ("ancestor-ns", "default-ns",
                                                                             "xml-attrs")]
    + [row("iso-8859-9", encoding="ISO-8859-9", shape="enveloped", features=ALL),
       row("iso-8859-9-enveloping", encoding="ISO-8859-9", features=ALL, v1=True),
       row("base64-transform", base64=True),
       row("base64-transform-enveloped-id", base64=True, shape="enveloped-id", features=ALL),
       row("lf-lines", newline="\n"),
       # Parsers read a lone CR as LF, which is what the signature is over.
       row("cr-lines", newline="\r", shape="enveloped", features=ALL),
       # One CR LF of the PDF's text split across the reader's 1 MiB pieces.
       row("crlf-across-mib", pdf_size=900_000, extra="crlf-at-mib"),
       row("windows-1254", encoding="windows-1254", shape="enveloped", features=ALL),
       row("utf-16", encoding="UTF-16", shape="enveloped-id", features=ALL, newline="\n", alter=False),
       # Other writers' habits: certificates of the chain first, Base64 lines
       # ending in &#13;, blanks around digest values, a byte order mark, blanks
       # where nothing is signed, another prefix or none for the signature.
       row("chain-ca-first", extra="ca-first"),
       # Another leaf certificate beside the signer's: after it, nothing
       # changes; before it, one of the same name whose key did not sign is no
       # way to an intact report.
       row("chain-other-leaf-after", extra="leaf-after", alter=False),
       row("chain-other-leaf-first", extra="leaf-first", expect="altered", xmlsec=False, alter=False),
       row("cr-references", extra="cr-references"),
       row("digest-whitespace", extra="digest-whitespace", alter=False),
       row("utf-8-bom", extra="bom"),
       row("unsigned-whitespace", extra="unsigned-whitespace", alter=False),
       row("prefix-dsig", prefix="dsig", features=ALL, alter=False),
       row("prefix-none", prefix="", alter=False),
       # The same PDF in other XML: a comment (outside what an Id reference
       # signs), character references, a CDATA section.
       row("payload-comment", extra="payload-comment", alter=False),
       row("payload-charref", extra="payload-charref", alter=False),
       row("payload-cdata", extra="payload-cdata", alter=False),
       row("payload-comment-base64-transform", extra="payload-comment", base64=True, alter=False),
       row("signing-time-offset", signing_time="2024-02-29T10:00:00+03:00",
           details={"signingTime": "2024-02-29T07:00:00Z"}, alter=False),
       row("signing-time-changed", extra="time-changed", expect="altered", xmlsec=False, alter=False),
       # The Base64 text put on one line after signing: the same PDF, other XML.
       row("reflowed-base64-transform", base64=True, extra="reflow", alter=False),
       row("reflowed-no-transform", extra="reflow", expect="altered", xmlsec=False, alter=False),
       # A blank inside: the same digest once decoded, another PDF as the viewer decodes it.
       row("blank-in-base64-transform", base64=True, extra="payload-space", expect="altered",
           alter=False),
       # Padding where a line starts in the middle: skipped, it would give the signed bytes.
       row("equals-in-base64-transform", base64=True, extra="payload-equals", expect="unknown", xmlsec=False,
           alter=False),
       row("large-pdf", pdf_size=600_000),
       row("large-pdf-enveloped", pdf_size=600_000, shape="enveloped"),
       row("large-pdf-base64-enveloped-id", pdf_size=600_000, shape="enveloped-id", base64=True),
       row("sha1-everywhere", method="rsa-sha1", digest="sha1", v1=True),
       # An unsigned PDF placed before the signed one: the viewer would show it.
       row("wrapping-enveloping", extra="wrap", expect="altered", alter=False),
       row("wrapping-enveloped-id", shape="enveloped-id", extra="wrap", expect="altered", alter=False),
       row("wrapping-longer-name", shape="enveloped-id", extra="wrap-longer-name", expect="altered",
           alter=False),
       row("wrapping-nested", extra="wrap-nested", expect="altered", alter=False),
       row("wrapping-foreign-ds", prefix="dsig", shape="enveloped-id", extra="wrap-foreign", expect="altered",
           alter=False),
       # The signature does not cover the PDF at all.
       row("pdf-not-signed", extra="pdf-not-signed", expect="altered", alter=False),
       # URI="" removes the whole enveloping signature, the PDF with it: nothing shown is signed.
       row("enveloping-uri-empty", shape="enveloping-whole", expect="altered", alter=False),
       row("enveloping-uri-empty-other-pdf", shape="enveloping-whole", extra="other-pdf", expect="altered",
           alter=False),
       # The enveloped-signature transform removes the report's signature, no other.
       row("foreign-signature-signed", shape="enveloped-first", extra="foreign-signature"),
       row("foreign-signature-added", shape="enveloped", extra="foreign-signature-added", expect="altered",
           xmlsec=False, alter=False),
       # XPointers: id() as an Id reference; / as URI="" but keeping comments,
       # which a canonicalization with comments then signs.
       row("xpointer-id", xpointer=True, features=ALL),
       row("xpointer-root", xpointer=True, shape="enveloped", features=ALL),
       row("xpointer-root-comments", xpointer=True, shape="enveloped", ref_c14n="c14n-comments", features=ALL),
       row("xpointer-root-comment-changed", xpointer=True, shape="enveloped", ref_c14n="c14n-comments",
           features=ALL, extra="comment-changed", expect="altered", xmlsec=False, alter=False),
       row("xpointer-root-no-comments-comment-changed", xpointer=True, shape="enveloped", features=ALL,
           extra="comment-changed", alter=False),
       row("uri-empty-comment-changed", shape="enveloped", ref_c14n="c14n-comments", features=ALL,
           extra="comment-changed", alter=False),
       # A salt other than the hash's length is not what the method's URI means
       # (signed and judged by openssl, as every RSA-PSS row: xmlsec1 has no RSA-PSS).
       row("rsa-pss-salt-20", method="rsa-pss-sha256", salt=20, expect="altered", alter=False),
       # The key named in the output, and keys too weak for a signer.
       row("key-rsa-1024", key="rsa1024", details={"key": "rsa-1024"}),
       row("key-ec-256", method="ecdsa-sha256", details={"key": "ec-256"}, alter=False),
       row("key-control-characters", key="rsa-controls", alter=False),
       row("unknown-key-rsa-512", key="rsa512", expect="unknown", details={"reason": r".*\b512\b.*"}, alter=False),
       row("unknown-key-ec-192", method="ecdsa-sha256", key="p192", expect="unknown",
           details={"reason": r".*\b192\b.*"}, alter=False),
       row("object-without-encoding-first", extra="object-first", shape="enveloped-id"),
       # Signed again by another certificate of the same name: the signed
       # properties still name the first one.
       row("other-signer", extra="other-signer", expect="altered", alter=False),
       # What cannot be checked.
       row("unknown-no-signature", extra="no-signature", expect="unknown", xmlsec=False, alter=False),
       row("unknown-external-uri", extra="external", expect="unknown", xmlsec=False, alter=False),
       row("unknown-xpath-transform", shape="enveloped", extra="xpath", expect="unknown", alter=False),
       row("unknown-doctype", extra="doctype", expect="unknown", alter=False),
       row("unknown-duplicate-id", extra="duplicate-id", expect="unknown", xmlsec=None, alter=False),
       row("unknown-second-signedinfo", extra="second-signedinfo", expect="unknown", xmlsec=False,
           alter=False),
       row("unknown-no-certificate", extra="no-certificate", expect="unknown", alter=False),
       row("unknown-dsa", method="dsa-sha256", key="dsa", expect="unknown", alter=False),
       row("unknown-huge-signedinfo", extra="huge-signedinfo", expect="unknown", alter=False),
       row("unknown-hmac", method="hmac-sha256", key="hmac", expect="unknown", xmlsec=None, alter=False)]
)


def load_pdf_maker():
    path = pathlib.Path(__file__).resolve().parents[2] / "scripts" / "make-report.py"
    spec = importlib.util.spec_from_file_location("make_report", path)
    module = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(module)
    return module


def transforms(case, enveloped):
    items = []
    if enveloped:
        items.append(f'<ds:Transform Algorithm="{DS}enveloped-signature"/>')
    if case["extra"] == "xpath" and enveloped:
        items.append('<ds:Transform Algorithm="http://www.w3.org/TR/1999/REC-xpath-19991116">'
                     '<ds:XPath>not(ancestor-or-self::ds:Signature)</ds:XPath></ds:Transform>')
    if case["ref_c14n"]:
        items.append(c14n_element("Transform", case["ref_c14n"], case["prefixes"]))
    return f'<ds:Transforms>{"".join(items)}</ds:Transforms>' if items else ""


def c14n_element(tag, c14n, prefixes):
    inner = ""
    if prefixes and c14n.startswith("exc"):
        inner = f'<ec:InclusiveNamespaces xmlns:ec="{EXC}" PrefixList="{prefixes}"/>'
    return f'<ds:{tag} Algorithm="{C14N[c14n]}">{inner}</ds:{tag}>'


def reference(case, uri, extra_transforms="", type_=None):
    digest = DIGESTS[case["digest"]]
    if case["xpointer"] and uri[:1] in ("", "#"):
        uri = "#xpointer(/)" if uri == "" else f"#xpointer(id('{uri[1:]}'))"
    type_attr = f' Type="{type_}"' if type_ else ""
    return (f'<ds:Reference{type_attr} URI="{uri}">{extra_transforms}'
            f'<ds:DigestMethod Algorithm="{digest}"/><ds:DigestValue></ds:DigestValue></ds:Reference>')


def qualifying(case, keys, signing_time):
    name = "rsa" if case["key"] == "hmac" else case["key"]  # an HMAC names no certificate of its own
    der = keys.der(name)
    algorithm = DIGESTS[case["digest"]]
    cert_digest = base64.b64encode(hashlib.new(case["digest"], der).digest()).decode()
    digest = (f'<xades:CertDigest><ds:DigestMethod Algorithm="{algorithm}"/>'
              f'<ds:DigestValue>{cert_digest}</ds:DigestValue></xades:CertDigest>')
    v2 = f"<xades:SigningCertificateV2><xades:Cert>{digest}</xades:Cert></xades:SigningCertificateV2>"
    v1 = ""
    if case["v1"]:
        issuer, serial = keys.issuer_serial(name)
        v1 = (f"<xades:SigningCertificate><xades:Cert>{digest}<xades:IssuerSerial>"
              f"<ds:X509IssuerName>{issuer}</ds:X509IssuerName>"
              f"<ds:X509SerialNumber>{serial}</ds:X509SerialNumber>"
              f"</xades:IssuerSerial></xades:Cert></xades:SigningCertificate>")
    return (f'<xades:QualifyingProperties xmlns:xades="{XADES}" Target="#Imza-1">\n'
            f'<xades:SignedProperties Id="Imza-1-SignedProperties"><xades:SignedSignatureProperties>'
            f"<xades:SigningTime>{signing_time}</xades:SigningTime>{v1}{v2}"
            f"</xades:SignedSignatureProperties></xades:SignedProperties></xades:QualifyingProperties>")


def pdf_object(b64, object_id="Nesne-PDF"):
    return (f'<ds:Object Id="{object_id}" MimeType="application/pdf" Encoding="{BASE64}">\n'
            f"{b64}\n</ds:Object>")


# A signature in the report that is not the report's.
FOREIGN_SIGNATURE = "<ds:Signature><ds:SignatureValue>QUJD</ds:SignatureValue></ds:Signature>"


def wrap_object(fake_pdf):
    return pdf_object(base64.encodebytes(fake_pdf).decode().strip(), "Nesne-Ek")


def template(case, keys, pdf, fake_pdf, signing_time):
    """The report before signing: empty digests and signature value."""
    features = case["features"]
    root_attrs = "".join(FEATURES[f][0] for f in features)
    content = "\n".join(FEATURES[f][1] for f in features)
    if case["extra"] == "foreign-signature":
        content += f"<Ek>{FOREIGN_SIGNATURE}</Ek>"
    b64 = base64.encodebytes(pdf).decode().strip()
    shape, first = case["shape"].removesuffix("-first"), case["shape"].endswith("-first")
    extra = case["extra"]
    wrap = wrap_object(fake_pdf) + "\n" if extra == "wrap" else ""
    if extra == "wrap-longer-name":  # the viewer takes any name that begins with ds:Object
        wrap = wrap_object(fake_pdf).replace("ds:Object", "ds:ObjectEk") + "\n"
    if extra == "object-first":  # a ds:Object without Encoding is no candidate for the viewer
        wrap = '<ds:Object Id="Nesne-Ek" MimeType="text/plain">Ek bilgi</ds:Object>\n'

    pdf_transforms = f'<ds:Transforms><ds:Transform Algorithm="{BASE64}"/></ds:Transforms>' if case[
        "base64"] else transforms(case, False)
    refs = []
    if shape == "enveloped":
        refs.append(reference(case, "", transforms(case, True)))
    elif extra != "pdf-not-signed":
        refs.append(reference(case, "#Nesne-PDF", pdf_transforms))
    if shape != "enveloped":
        if content:
            refs.append(reference(case, "#Bilgi-1", transforms(case, False)))
    if "comments" in features:
        refs.append("<!-- imzalanan özellikler -->")
    if extra == "huge-signedinfo":  # beyond what a verifier keeps of SignedInfo
        refs += [reference(case, "#Nesne-PDF", pdf_transforms)] * 1500
    refs.append(reference(case, "#Imza-1-SignedProperties", transforms(case, False),
                          "http://uri.etsi.org/01903#SignedProperties"))
    if shape == "enveloping-whole":
        refs = [reference(case, "", transforms(case, True))]
    key_info = "" if extra == "no-certificate" or case["key"] == "hmac" else \
        "<ds:KeyInfo><ds:X509Data><ds:X509Certificate/></ds:X509Data></ds:KeyInfo>\n"
    root_of_signature = f' xmlns:ds="{DS}"{root_attrs}' if shape.startswith("enveloping") else ""
    signature = (
        f'<ds:Signature{root_of_signature} Id="Imza-1">\n'
        f"<ds:SignedInfo>\n{c14n_element('CanonicalizationMethod', case['c14n'], case['prefixes'])}\n"
        f'<ds:SignatureMethod Algorithm="{SIGNATURE_METHODS[case["method"]][0]}"/>\n'
        + "\n".join(refs) + "\n</ds:SignedInfo>\n"
        f'<ds:SignatureValue Id="Imza-1-SignatureValue"/>\n{key_info}'
        f"<ds:Object>{qualifying(case, keys, signing_time)}</ds:Object>\n")
    info = f'<Bilgi Id="Bilgi-1">\n{content}\n</Bilgi>\n' if content else ""
    prolog = "".join(PROLOG.get(f, "") for f in features)
    epilog = "".join(EPILOG.get(f, "") for f in features)
    head = f'<?xml version="1.0" encoding="{case["encoding"]}"?>\n'
    if extra == "doctype":
        head += "<!DOCTYPE ds:Signature [\n<!ENTITY kurum \"Tolv\">\n]>\n"
    if shape.startswith("enveloping"):
        body = (signature + (f"<ds:Object>{info}</ds:Object>\n" if info else "") + wrap
                + pdf_object(b64) + "\n</ds:Signature>")
    elif first:  # the signature before what it signs, as some writers put it
        body = (f'<Rapor xmlns:ds="{DS}"{root_attrs}>\n' + signature + "</ds:Signature>\n"
                + f"{info}{wrap}{pdf_object(b64)}\n</Rapor>")
    else:
        body = (f'<Rapor xmlns:ds="{DS}"{root_attrs}>\n{info}{wrap}{pdf_object(b64)}\n'
                + signature + "</ds:Signature>\n</Rapor>")
    if extra == "no-signature":
        body = f'<Rapor xmlns:ds="{DS}">\n{pdf_object(b64)}\n</Rapor>'
    prefix = case["prefix"]
    if prefix != "ds":
        body = body.replace("<ds:", f"<{prefix}:").replace("</ds:", f"</{prefix}:").replace(
            "xmlns:ds=", f"xmlns:{prefix}=")
        body = body.replace("<:", "<").replace("</:", "</").replace("xmlns:=", "xmlns=")
    return (head + prolog + body + epilog + "\n").encode(case["encoding"], "xmlcharrefreplace")


def id_attrs(document):
    """xmlsec1 options that make the Id attributes outside the signature IDs."""
    root = etree.fromstring(document)
    seen = []
    for el in root.iter(etree.Element):
        if el.get("Id") is not None and not any(a.tag == f"{{{DS}}}Signature" for a in el.iterancestors()) \
                and el.tag != f"{{{DS}}}Signature":
            q = etree.QName(el)
            name = f"{q.namespace}:{q.localname}" if q.namespace else q.localname
            if name not in seen:
                seen.append(name)
    return [option for name in seen for option in ("--id-attr:Id", name)]


def xmlsec_verify(path, keys, case, options):
    key = ["--pubkey-pem", str(keys.dir / f"{case['key']}.pub")] if case["extra"] == "no-certificate" else \
        ["--trusted-pem", str(keys.ca)]
    result = subprocess.run(["xmlsec1", "--verify", *key, *options, str(path)], capture_output=True)
    return result.returncode == 0


def canonical_signed_info(document):
    root = etree.fromstring(document)
    info = root.find(f".//{{{DS}}}SignedInfo")
    method = info.find(f"{{{DS}}}CanonicalizationMethod").get("Algorithm")
    assert method in (C14N["c14n"], C14N["exc-c14n"]) and root.tag == f"{{{DS}}}Signature", method
    return root, info, etree.tostring(info, method="c14n", exclusive=method == EXC, with_comments=False)


def pss_options(salt):
    return ["-sigopt", "rsa_padding_mode:pss", "-sigopt", f"rsa_pss_saltlen:{salt}"]


def openssl_sign(keys, case, data, pss):
    hash_name = SIGNATURE_METHODS[case["method"]][2]
    options = pss_options(case["salt"] or "digest") if pss else []
    return run("openssl", "dgst", f"-{hash_name}", "-sign", str(keys.dir / f"{case['key']}.key"), *options,
               data=data)


def openssl_verify(keys, case, document, pss, salt="digest"):
    """Checks the signature value with the key of the certificate the report carries."""
    root, _, data = canonical_signed_info(document)
    value = base64.b64decode(root.find(f".//{{{DS}}}SignatureValue").text)
    cert = base64.b64decode(root.find(f".//{{{DS}}}X509Certificate").text)
    (keys.dir / "check.sig").write_bytes(value)
    (keys.dir / "check.pub").write_bytes(run("openssl", "x509", "-inform", "DER", "-pubkey", "-noout", data=cert))
    hash_name = SIGNATURE_METHODS[case["method"]][2]
    options = pss_options(salt) if pss else []
    result = subprocess.run(["openssl", "dgst", f"-{hash_name}", "-verify", str(keys.dir / "check.pub"),
                             *options, "-signature", str(keys.dir / "check.sig")], input=data, capture_output=True)
    return result.returncode == 0


def resign(document, keys, case, edit_signed_info, pss=False):
    """Changes SignedInfo and signs it again with openssl: for what xmlsec1
    cannot sign (RSA-PSS, a reference it cannot fetch)."""
    root = etree.fromstring(document)
    info = root.find(f".//{{{DS}}}SignedInfo")
    edit_signed_info(info)
    _, _, data = canonical_signed_info(etree.tostring(root))
    value = base64.encodebytes(openssl_sign(keys, case, data, pss)).decode().strip()
    # Only the signature value's text changes in the bytes xmlsec1 wrote.
    start = document.index(b"<ds:SignedInfo")
    end = document.index(b"</ds:SignedInfo>") + len(b"</ds:SignedInfo>")
    info_bytes = etree.tostring(info, encoding="unicode").encode()
    info_bytes = re.sub(rb'^<ds:SignedInfo xmlns:ds="[^"]*"', b"<ds:SignedInfo", info_bytes)
    document = document[:start] + info_bytes + document[end:]
    return re.sub(rb"(<ds:SignatureValue[^>]*>)[^<]*(</ds:SignatureValue>)",
                  lambda m: m.group(1) + value.encode() + m.group(2), document)


def change_char(document, pattern):
    """Changes the Base64 character in the middle of the first text pattern matches."""
    m = re.search(pattern, document, re.S)
    span = [i for i in range(m.start(1), m.end(1)) if chr(document[i]).isalnum()]
    i = span[len(span) // 2]
    new = b"B" if document[i:i + 1] != b"B" else b"C"
    return document[:i] + new + document[i + 1:]


def altered_copies(document, keys, case):
    other = base64.encodebytes(keys.der(case["key"] + "-other")).decode().strip().encode()
    return {
        "payload": change_char(document, rb'Id="Nesne-PDF"[^>]*>([^<]*)<'),
        "signature-value": change_char(document, rb"<ds:SignatureValue[^>]*>([^<]*)<"),
        "certificate": re.sub(rb"(<ds:X509Certificate>)[^<]*(</ds:X509Certificate>)",
                              lambda m: m.group(1) + other + m.group(2), document),
    }


def cert_b64(keys, name):
    return base64.encodebytes(keys.der(name)).decode().strip().encode()


def add_external(doc, case, keys, fake_pdf):
    def edit(info):
        ref = etree.fromstring(reference(case, "http://example.com/ek.pdf").replace(
            "<ds:Reference", f'<ds:Reference xmlns:ds="{DS}"'))
        ref.find(f"{{{DS}}}DigestValue").text = base64.b64encode(
            hashlib.new(case["digest"], fake_pdf).digest()).decode()
        ref.tail = "\n"
        info.append(ref)
    return resign(doc, keys, case, edit)


def other_signer(doc, case, keys, fake_pdf):
    other = cert_b64(keys, case["key"] + "-other")
    doc = re.sub(rb"(<ds:X509Certificate>)[^<]*(</ds:X509Certificate>)", lambda m: m.group(1) + other + m.group(2),
                 doc)
    return resign(doc, keys, dict(case, key=case["key"] + "-other"), lambda info: None)


def digest_whitespace(doc, case, keys, fake_pdf):
    def edit(info):
        for value in info.iter(f"{{{DS}}}DigestValue"):
            value.text = "\n   " + value.text + "\n"
    return resign(doc, keys, case, edit)


def second_signed_info(doc, case, keys, fake_pdf):
    m = re.search(rb"<ds:SignedInfo>.*?</ds:SignedInfo>", doc, re.S)
    return doc[:m.end()] + b"\n" + m.group(0) + doc[m.end():]


def ca_first(doc, case, keys, fake_pdf):
    ca = cert_b64(keys, "ca")
    return doc.replace(b"<ds:X509Certificate>", b"<ds:X509Certificate>" + ca + b"</ds:X509Certificate>\n"
                       b"<ds:X509Certificate>", 1)


def extra_leaf(doc, case, keys, first):
    """Another signer's certificate beside the real one in X509Data: before it,
    of the same name but another key; after it, of another name."""
    if first:
        other = cert_b64(keys, case["key"] + "-other")
        return doc.replace(b"<ds:X509Certificate>", b"<ds:X509Certificate>" + other + b"</ds:X509Certificate>\n"
                           b"<ds:X509Certificate>", 1)
    other = cert_b64(keys, "p256")
    return doc.replace(b"</ds:X509Certificate>", b"</ds:X509Certificate>\n<ds:X509Certificate>" + other
                       + b"</ds:X509Certificate>", 1)


def reference_breaks(doc, case, keys, fake_pdf):
    """Line breaks as Java's XML security library writes them in Base64 values."""
    return re.sub(rb"(<ds:(?:SignatureValue|X509Certificate)[^>]*>)([^<]*)",
                  lambda m: m.group(1) + m.group(2).replace(b"\n", b"&#13;\n"), doc)


def payload_edit(doc, edit):
    """Applies edit(text, i) to the PDF's Base64 text, i a position inside it."""
    m = re.search(rb'Id="Nesne-PDF"[^>]*>([^<]*)<', doc)
    text = edit(m.group(1), len(m.group(1)) // 3)
    return doc[:m.start(1)] + text + doc[m.end(1):]


def crlf_at_mib(doc, case, keys, fake_pdf):
    """Blanks where nothing is signed, so that once line ends are CR LF one of
    the PDF text's falls across the reader's 1 MiB pieces."""
    mib = 1 << 20
    crlf = doc.replace(b"\n", b"\r\n")
    at = doc.index(b"</ds:SignatureValue>") + len(b"</ds:SignatureValue>")
    doc = doc[:at] + b" " * (mib - 1 - crlf.rindex(b"\r\n", 0, mib + 1)) + doc[at:]
    assert re.fullmatch(rb"[A-Za-z0-9+/]{4}\r\n[A-Za-z0-9+/]{4}",
                        doc.replace(b"\n", b"\r\n")[mib - 5:mib + 5]), "no CR LF of the PDF across 1 MiB"
    return doc


def wrap_foreign(doc, case, keys, fake_pdf):
    """Another PDF in a "ds:Object" whose ds is not XML-DSig's, before the
    signed one, which a signature written with another prefix names."""
    fake = wrap_object(fake_pdf).replace(
        "<ds:Object", '<ds:Object xmlns:ds="urn:tolv:baska"')
    at = doc.index(f'<{case["prefix"]}:Object Id="Nesne-PDF"'.encode())
    return doc[:at] + fake.encode() + b"\n" + doc[at:]


def wrap_nested(doc, case, keys, fake_pdf):
    """The signed ds:Object moved into an unsigned one that carries another PDF."""
    m = re.search(rb'<ds:Object Id="Nesne-PDF".*?</ds:Object>', doc, re.S)
    fake = wrap_object(fake_pdf).encode()
    wrapper = fake.replace(b"\n</ds:Object>", b"\n" + m.group(0) + b"\n</ds:Object>")
    return doc[:m.start()] + wrapper + doc[m.end():]


# Changes made after signing (to what xmlsec1 wrote), by the row's extra.
EDITS = {
    "external": add_external,
    "other-signer": other_signer,
    "digest-whitespace": digest_whitespace,
    "second-signedinfo": second_signed_info,
    "ca-first": ca_first,
    "leaf-first": lambda doc, case, keys, _: extra_leaf(doc, case, keys, True),
    "leaf-after": lambda doc, case, keys, _: extra_leaf(doc, case, keys, False),
    "cr-references": reference_breaks,
    "duplicate-id": lambda doc, *_: doc.replace(
        b"</ds:Signature>", b'<ds:Object Id="Nesne-PDF">QUJD</ds:Object>\n</ds:Signature>'),
    "reflow": lambda doc, *_: re.sub(rb'(Id="Nesne-PDF"[^>]*>)([^<]*)',
                                     lambda m: m.group(1) + m.group(2).replace(b"\n", b""), doc),
    "payload-comment": lambda doc, *_: payload_edit(doc, lambda text, i: text[:i] + b"<!-- QUJD -->" + text[i:]),
    "payload-space": lambda doc, *_: payload_edit(doc, lambda text, i: text[:i] + b" " + text[i:]),
    "payload-charref": lambda doc, *_: payload_edit(doc, lambda text, i: text[:i] + b"&#%d;" % text[i] + text[i + 1:]),
    "payload-cdata": lambda doc, *_: payload_edit(
        doc, lambda text, i: text[:i] + b"<![CDATA[" + text[i:i + 100] + b"]]>" + text[i + 100:]),
    "wrap-foreign": wrap_foreign,
    "wrap-nested": wrap_nested,
    "bom": lambda doc, *_: b"\xef\xbb\xbf" + doc,
    "unsigned-whitespace": lambda doc, *_: doc.replace(b"</ds:SignatureValue>", b"</ds:SignatureValue>\n\n  "),
    "crlf-at-mib": crlf_at_mib,
    "other-pdf": lambda doc, case, keys, fake_pdf: payload_edit(
        doc, lambda *_: b"\n" + base64.encodebytes(fake_pdf).strip() + b"\n"),
    "payload-equals": lambda doc, *_: payload_edit(
        doc, lambda text, i: text[:text.index(b"\n", i) + 1] + b"=" + text[text.index(b"\n", i) + 1:]),
    "foreign-signature-added": lambda doc, *_: doc.replace(
        b"</ds:Signature>\n</Rapor>", b"</ds:Signature>\n" + FOREIGN_SIGNATURE.encode() + b"\n</Rapor>"),
    "comment-changed": lambda doc, *_: doc.replace(b"<!--b-->", b"<!--B-->"),
    "time-changed": lambda doc, *_: re.sub(rb"<xades:SigningTime>(\d{4})",
                                           lambda m: b"<xades:SigningTime>%d" % (int(m.group(1)) - 1), doc),
}


def sign(case, keys, work, pdf, fake_pdf, signing_time):
    """Returns the signed report, the options xmlsec1 needs to verify it, and whether
    it went through openssl."""
    doc = template(case, keys, pdf, fake_pdf, case["signing_time"] or signing_time)
    if case["extra"] == "no-signature":
        return doc, [], False
    method = case["method"]
    pss = SIGNATURE_METHODS[method][3] == "pss"
    if pss:  # signed by xmlsec1 as PKCS #1 v1.5, then again with PSS
        doc = doc.replace(SIGNATURE_METHODS[method][0].encode(),
                          SIGNATURE_METHODS["rsa-sha" + method[-3:]][0].encode())
    options = id_attrs(doc)
    source, signed = work / "template.xml", work / "signed.xml"
    source.write_bytes(doc)
    cert = "" if case["extra"] == "no-certificate" else f",{keys.dir / (case['key'] + '.pem')}"
    key = ["--hmackey", str(keys.dir / "hmac.bin")] if case["key"] == "hmac" else \
        ["--privkey-pem", f"{keys.dir / (case['key'] + '.key')}{cert}"]
    run("xmlsec1", "--sign", *key, *options, "--output", str(signed), str(source))
    doc = signed.read_bytes()
    if pss:
        uri = SIGNATURE_METHODS[method][0]
        doc = resign(doc, keys, case, lambda info: info.find(f"{{{DS}}}SignatureMethod").set("Algorithm", uri),
                     pss=True)
    if case["extra"] in EDITS:
        doc = EDITS[case["extra"]](doc, case, keys, fake_pdf)
    doc = doc.replace(b"\n", case["newline"].encode())
    return doc, options, pss


def make_case(case, keys, work, out, pdf, fake_pdf, signing_time):
    doc, options, pss = sign(case, keys, work, pdf, fake_pdf, signing_time)
    path = out / f"{case['name']}.Tolv"
    path.write_bytes(doc)
    signer = "" if case["extra"] in ("no-signature", "no-certificate") or case["key"] == "hmac" else \
        KEYS[case["key"]][1]
    algorithms = dict(key=case["key"], method=case["method"], digest=case["digest"], c14n=case["c14n"],
                      # The viewer takes its PDF from a child written "ds:Object", whatever ds is bound to.
                      pdf=hashlib.sha256(pdf).hexdigest() if case["prefix"] == "ds" else "")
    entries = [dict(file=path.name, case=case["name"], change="", expect=case["expect"], signer=signer,
                    details=case["details"], **algorithms)]
    if pss:  # a signature over SignedInfo, which only the salt the method means can make intact
        assert openssl_verify(keys, case, doc, pss, "auto") and \
            openssl_verify(keys, case, doc, pss) == (case["expect"] == "intact"), \
            f"{path}: openssl does not verify the PSS signature as the table says"
    elif case["xmlsec"] is not None:
        assert xmlsec_verify(path, keys, case, options) == case["xmlsec"], \
            f"{path}: xmlsec1 --verify should say {'valid' if case['xmlsec'] else 'invalid'}"
    if case["alter"]:
        for change, altered in altered_copies(doc, keys, case).items():
            altered_path = out / f"{case['name']}.{change}.Tolv"
            altered_path.write_bytes(altered)
            if pss and change != "payload":
                assert not openssl_verify(keys, case, altered, pss), f"{altered_path}: openssl verifies it"
            else:
                assert not xmlsec_verify(altered_path, keys, case, options), f"{altered_path}: xmlsec1 verifies it"
            entries.append(dict(file=altered_path.name, case=case["name"], change=change, expect="altered",
                                signer=signer, **algorithms))
    return entries


def self_check(keys, work, pdf, signing_time):
    """resign() must produce what xmlsec1 accepts, or the rows it signs prove nothing."""
    for c14n in ("c14n", "exc-c14n"):
        case = row("self-check", c14n=c14n, newline="\n")
        doc, options, _ = sign(case, keys, work, pdf, pdf, signing_time)
        path = work / "self-check.xml"
        path.write_bytes(resign(doc, keys, case, lambda info: None))
        assert xmlsec_verify(path, keys, case, options), f"{path}: re-signing with openssl does not verify"


def main():
    out = pathlib.Path(sys.argv[1]).resolve()
    generator = hashlib.sha256(pathlib.Path(__file__).read_bytes()).hexdigest()
    manifest = out / "cases.json"
    if manifest.exists() and json.loads(manifest.read_text()).get("generator") == generator:
        return 0
    out.mkdir(parents=True, exist_ok=True)
    for old in out.glob("*.Tolv"):
        old.unlink()
    keys = Keys(out / "keys")
    work = out / "work"
    work.mkdir(exist_ok=True)
    maker = load_pdf_maker()
    now = datetime.datetime.now(datetime.timezone(datetime.timedelta(hours=3))).replace(microsecond=0)
    signing_time = now.isoformat()
    self_check(keys, work, maker.make_pdf(), signing_time)
    entries = []
    for case in CASES:
        pdf = maker.make_pdf(case["pdf_size"])
        fake_pdf = pdf.replace(b"rnek rapor", b"ahte rapor")
        entries += make_case(case, keys, work, out, pdf, fake_pdf, signing_time)
    manifest.write_text(json.dumps(dict(generator=generator, signingTime=signing_time, cases=entries),
                                   ensure_ascii=False, indent=1))
    print(f"make_signed: {len(entries)} reports in {out}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
