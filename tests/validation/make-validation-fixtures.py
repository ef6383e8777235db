#!/usr/bin/env python3
"""make-validation-fixtures.py FOLDER

A throwaway PKI for the validation tests, made with the openssl command (no
private key lives in the tree). Every date is fixed with faketime, so the tests
can judge chains at pinned times. Certificates are DER unless named .pem:

  root.der/.pem   "Tolv Sınama Kök", self-signed CA, 2019-01-01 to 2049
  inter.der/.pem  "Tolv Sınama Nitelikli ESHS", CA under root, same years
  qualified.der   QCStatements: QcCompliance, QcSSCD, QcRetentionPeriod and
                  QcType esign
  eseal.der       QCStatements: QcCompliance and QcType eseal only
  compliance.der  QCStatements: QcCompliance alone
  turkish.der     the Turkish qualified-certificate policy, with a CPS qualifier
  plain.der       nothing of the kind
  tampered.der    plain.der with one bit of its signature changed
  old.der         valid from 2020-01-01 to 2021-12-31 only
  self.der        a self-signed leaf
  notca.der       a certificate under root that is not a CA, and
  notca-leaf.der  a leaf it issued
  two.pem         root and inter in one PEM file
  anchors/        root.pem, inter.der, a text file and a subfolder with a certificate
  empty/          no file at all
  notcert.txt     a file without a certificate
The leaves are issued by inter on 2024-01-01 and valid until 2048.
"""
import os
import pathlib
import shutil
import subprocess
import sys

ROOT_DATE = "2019-01-01 00:00:00"
LEAF_DATE = "2024-01-01 00:00:00"

EXTENSIONS = """
[req]
distinguished_name=dn

[dn]

[ca]
basicConstraints=critical,CA:TRUE
keyUsage=critical,keyCertSign,cRLSign
subjectKeyIdentifier=hash
authorityKeyIdentifier=keyid

[notca]
basicConstraints=critical,CA:FALSE
subjectKeyIdentifier=hash
authorityKeyIdentifier=keyid

[plain]
basicConstraints=CA:FALSE
keyUsage=critical,digitalSignature,nonRepudiation
subjectKeyIdentifier=hash
authorityKeyIdentifier=keyid

[qualified]
basicConstraints=CA:FALSE
keyUsage=critical,digitalSignature,nonRepudiation
1.3.6.1.5.5.7.1.3=ASN1:SEQUENCE:qc_qualified

[tls]
basicConstraints=CA:FALSE
keyUsage=critical,digitalSignature,keyEncipherment
extendedKeyUsage=serverAuth

[mail]
basicConstraints=CA:FALSE
keyUsage=critical,digitalSignature,nonRepudiation
extendedKeyUsage=clientAuth,emailProtection

[eseal]
basicConstraints=CA:FALSE
1.3.6.1.5.5.7.1.3=ASN1:SEQUENCE:qc_eseal

[compliance]
basicConstraints=CA:FALSE
1.3.6.1.5.5.7.1.3=ASN1:SEQUENCE:qc_compliance_only

[turkish]
basicConstraints=CA:FALSE
certificatePolicies=@turkish_policy

[turkish_policy]
policyIdentifier=2.16.792.1.61.0.1.5070.1.1
CPS.1="http://example.invalid/tolv-sinama-cps"

[qc_qualified]
compliance=SEQUENCE:st_compliance
sscd=SEQUENCE:st_sscd
retention=SEQUENCE:st_retention
type=SEQUENCE:st_type_esign

[qc_eseal]
compliance=SEQUENCE:st_compliance
type=SEQUENCE:st_type_eseal

[qc_compliance_only]
compliance=SEQUENCE:st_compliance

[st_compliance]
id=OID:0.4.0.1862.1.1

[st_sscd]
id=OID:0.4.0.1862.1.4

[st_retention]
id=OID:0.4.0.1862.1.3
years=INTEGER:10

[st_type_esign]
id=OID:0.4.0.1862.1.6
types=SEQUENCE:types_esign

[types_esign]
esign=OID:0.4.0.1862.1.6.1

[st_type_eseal]
id=OID:0.4.0.1862.1.6
types=SEQUENCE:types_eseal

[types_eseal]
eseal=OID:0.4.0.1862.1.6.2
"""


def openssl(*args, at=None):
    # -f: the clock stands still at that second instead of running on from it.
    clock = ["faketime", "-f", at] if at else []
    return subprocess.run([*clock, "openssl", *args], check=True, capture_output=True).stdout


def key(name):
    openssl("genpkey", "-algorithm", "EC", "-pkeyopt", "ec_paramgen_curve:P-256",
            "-out", f"{name}.key")


def issue(name, subject, issuer, section, at, days):
    """name.der and name.pem, issued by issuer (its .pem and .key) with section's extensions."""
    key(name)
    openssl("req", "-new", "-key", f"{name}.key", "-subj", subject, "-utf8", "-out", f"{name}.csr")
    openssl("x509", "-req", "-in", f"{name}.csr", "-CA", f"{issuer}.pem", "-CAkey", f"{issuer}.key",
            "-CAcreateserial", "-extfile", "ext.cnf", "-extensions", section,
            "-days", str(days), "-out", f"{name}.pem", at=at)
    openssl("x509", "-in", f"{name}.pem", "-outform", "DER", "-out", f"{name}.der")


def self_signed(name, subject, section, at, days):
    key(name)
    openssl("req", "-x509", "-new", "-key", f"{name}.key", "-subj", subject, "-utf8",
            "-config", "ext.cnf", "-extensions", section,
            "-days", str(days), "-out", f"{name}.pem", at=at)
    openssl("x509", "-in", f"{name}.pem", "-outform", "DER", "-out", f"{name}.der")


def main(folder):
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    os.chdir(folder)
    pathlib.Path("ext.cnf").write_text(EXTENSIONS)
    thirty_years = 30 * 365
    self_signed("root", "/C=TR/CN=Tolv Sınama Kök", "ca", ROOT_DATE, thirty_years)
    issue("inter", "/C=TR/O=Tolv/CN=Tolv Sınama Nitelikli ESHS", "root", "ca", ROOT_DATE,
          thirty_years)
    leaf_days = 24 * 365
    for name, cn, section in [
        ("qualified", "Nitelikli İmzacı", "qualified"),
        ("eseal", "Tolv Mühür", "eseal"),
        ("compliance", "Uyumlu İmzacı", "compliance"),
        ("turkish", "Türk Politikalı İmzacı", "turkish"),
        ("plain", "Sıradan İmzacı", "plain"),
        ("tls", "tolv.example", "tls"),
        ("mail", "E-postalı İmzacı", "mail"),
    ]:
        issue(name, f"/C=TR/CN={cn}", "inter", section, LEAF_DATE, leaf_days)
    issue("old", "/C=TR/CN=Tolv Eski İmzacı", "inter", "plain", "2020-01-01 00:00:00", 730)
    self_signed("self", "/C=TR/CN=Kendinden İmzalı", "plain", LEAF_DATE, leaf_days)
    issue("notca", "/C=TR/CN=Tolv CA Olmayan", "root", "notca", ROOT_DATE, thirty_years)
    issue("notca-leaf", "/C=TR/CN=Yanlış Düzenlenmiş İmzacı", "notca", "plain", LEAF_DATE,
          leaf_days)

    # The last byte of an ECDSA signature lies inside its s: still DER, no longer valid.
    plain = bytearray(pathlib.Path("plain.der").read_bytes())
    plain[-1] ^= 1
    pathlib.Path("tampered.der").write_bytes(plain)

    pathlib.Path("two.pem").write_bytes(
        pathlib.Path("root.pem").read_bytes() + pathlib.Path("inter.pem").read_bytes())
    os.makedirs("anchors/deeper")
    shutil.copy("root.pem", "anchors/root.pem")
    shutil.copy("inter.der", "anchors/inter.der")
    shutil.copy("plain.der", "anchors/deeper/plain.der")
    pathlib.Path("anchors/OKUBENI.txt").write_text("Bu klasörde kök sertifikalar var.\n")
    os.makedirs("empty")
    pathlib.Path("notcert.txt").write_text("Sertifika değil.\n")

    for leftover in pathlib.Path(".").glob("*"):
        if leftover.suffix in (".key", ".csr", ".srl", ".cnf"):
            leftover.unlink()


if __name__ == "__main__":
    main(sys.argv[1])
