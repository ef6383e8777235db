#!/usr/bin/env python3
"""make-revocation-fixtures.py FOLDER

Revocation data for the validation tests, from a throwaway CA that the openssl
command runs with its own database (index.txt), every date fixed by faketime.
No private key stays in the folder. Everything is DER:

  ca.der          "Tolv Sınama İptal Kökü", self-signed CA, 2019 to 2049
  leaf.der        "İptal Edilmemiş İmzacı", issued 2024-01-01, never revoked
  revoked.der     "İptal Edilmiş İmzacı", issued 2024-01-01, revoked 2024-06-01
                  for a key compromise
  unstated.der    "Nedeni Belirtilmemiş İmzacı", revoked then with no reason given
  responder.der   the CA's OCSP responder, with the OCSP-signing key usage and
                  id-pkix-ocsp-nocheck
  checked.der     another, without nocheck: its own status must be shown
  rogue.der       issued by the CA too, without that key usage
  impostor.der    a self-signed CA with the CA's very name and serial, another key
  foreign.der     an OCSP responder the impostor issued, with the key usage
OCSP responses, all produced on 2025-01-01, for leaf unless said:
  ocsp-ca.der         signed by the CA itself
  ocsp-responder.der  signed by responder, its certificate inside
  ocsp-revoked.der    by responder for revoked.der, the CertID hashed with
                      SHA-256, without the responder's certificate
  ocsp-unstated.der   by responder for unstated.der, without its certificate
  ocsp-rogue.der      signed by rogue, without its certificate
  ocsp-foreign.der    signed by foreign
  ocsp-nocerts.der    signed by responder, without its certificate
  ocsp-impostor.der   signed by impostor, without its certificate
  ocsp-checked.der    signed by checked, its certificate inside
CRLs, issued on 2025-01-01 and listing the two revoked:
  crl.der         by the CA
  crl-impostor.der by the impostor
  crl-partition.der by the CA, one partition of its list (issuing distribution point)
"""
import os
import pathlib
import shutil
import subprocess
import sys

CA_DATE = "2019-01-01 00:00:00"
LEAF_DATE = "2024-01-01 00:00:00"
REVOKED_DATE = "2024-06-01 00:00:00"
PRODUCED_DATE = "2025-01-01 00:00:00"

CONFIG = """
[req]
distinguished_name=dn
[dn]

[ca]
default_ca=tolv
[tolv]
database=index.txt
new_certs_dir=.
serial=serial
crlnumber=crlnumber
default_md=sha256
default_crl_days=30
policy=anything
unique_subject=no
[anything]
countryName=optional
commonName=supplied

[root]
basicConstraints=critical,CA:TRUE
keyUsage=critical,keyCertSign,cRLSign
subjectKeyIdentifier=hash
[leaf]
basicConstraints=CA:FALSE
keyUsage=critical,digitalSignature,nonRepudiation
authorityKeyIdentifier=keyid
[responder]
basicConstraints=CA:FALSE
keyUsage=critical,digitalSignature
extendedKeyUsage=OCSPSigning
noCheck=ignored
authorityKeyIdentifier=keyid
[checked]
basicConstraints=CA:FALSE
keyUsage=critical,digitalSignature
extendedKeyUsage=OCSPSigning
authorityKeyIdentifier=keyid
[partition]
issuingDistributionPoint=critical,@partition_point
[partition_point]
fullname=URI:http://127.0.0.1/partition-1.crl
[rogue]
basicConstraints=CA:FALSE
keyUsage=critical,digitalSignature
authorityKeyIdentifier=keyid
"""


def openssl(*args, at=None):
    # -f stops the clock there: a date that ticks on may pass a second boundary.
    clock = ["faketime", "-f", at] if at else []
    return subprocess.run([*clock, "openssl", *args], check=True, capture_output=True).stdout


def der(name):
    openssl("x509", "-in", f"{name}.pem", "-outform", "DER", "-out", f"{name}.der")


def self_signed(name, subject, *extra):
    openssl("req", "-x509", "-new", "-newkey", "rsa:2048", "-nodes", "-keyout", f"{name}.key",
            "-subj", subject, "-utf8", "-config", "ca.cnf", "-extensions", "root", *extra,
            "-days", str(30 * 365), "-out", f"{name}.pem", at=CA_DATE)
    der(name)


def issue(name, cn, section, issuer="ca"):
    """Through `openssl ca`, so that the CA's database knows the certificate."""
    openssl("req", "-new", "-newkey", "rsa:2048", "-nodes", "-keyout", f"{name}.key",
            "-subj", f"/C=TR/CN={cn}", "-utf8", "-config", "ca.cnf", "-out", f"{name}.csr")
    openssl("ca", "-batch", "-config", "ca.cnf", "-utf8", "-notext", "-cert", f"{issuer}.pem",
            "-keyfile", f"{issuer}.key", "-extensions", section, "-startdate", "20240101000000Z",
            "-enddate", "20480101000000Z", "-in", f"{name}.csr", "-out", f"{name}.pem")
    der(name)


def ocsp(out, cert, signer, *extra):
    # A digest option names the hash of the CertIDs after it.
    openssl("ocsp", "-index", "index.txt", "-CA", "ca.pem", "-rsigner", f"{signer}.pem", "-rkey",
            f"{signer}.key", "-no_nonce", "-ndays", "30", *extra, "-issuer", "ca.pem", "-cert",
            f"{cert}.pem", "-respout", out, at=PRODUCED_DATE)


def crl(out, signer, *extra):
    openssl("ca", "-gencrl", "-config", "ca.cnf", "-cert", f"{signer}.pem", "-keyfile",
            f"{signer}.key", *extra, "-out", "crl.pem", at=PRODUCED_DATE)
    openssl("crl", "-in", "crl.pem", "-outform", "DER", "-out", out)


def main(folder):
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    os.chdir(folder)
    pathlib.Path("ca.cnf").write_text(CONFIG)
    pathlib.Path("index.txt").write_text("")
    pathlib.Path("serial").write_text("1001\n")
    pathlib.Path("crlnumber").write_text("01\n")

    self_signed("ca", "/C=TR/CN=Tolv Sınama İptal Kökü")
    serial = openssl("x509", "-in", "ca.pem", "-noout", "-serial").decode().strip().split("=")[1]
    self_signed("impostor", "/C=TR/CN=Tolv Sınama İptal Kökü", "-set_serial", f"0x{serial}")
    issue("leaf", "İptal Edilmemiş İmzacı", "leaf")
    issue("revoked", "İptal Edilmiş İmzacı", "leaf")
    issue("unstated", "Nedeni Belirtilmemiş İmzacı", "leaf")
    issue("responder", "Tolv Sınama OCSP", "responder")
    issue("rogue", "Tolv Yetkisiz OCSP", "rogue")
    issue("checked", "Tolv Denetlenen OCSP", "checked")
    issue("foreign", "Tolv Yabancı OCSP", "responder", issuer="impostor")
    # The responder's key in a certificate another CA made.
    openssl("req", "-new", "-key", "responder.key", "-subj", "/C=TR/CN=Tolv Sınama OCSP", "-utf8",
            "-config", "ca.cnf", "-out", "twin.csr")
    openssl("x509", "-req", "-in", "twin.csr", "-CA", "impostor.pem", "-CAkey", "impostor.key",
            "-set_serial", "7", "-days", "9000", "-out", "twin.pem", at=CA_DATE)
    der("twin")
    openssl("ca", "-config", "ca.cnf", "-cert", "ca.pem", "-keyfile", "ca.key",
            "-revoke", "revoked.pem", "-crl_reason", "keyCompromise", at=REVOKED_DATE)
    openssl("ca", "-config", "ca.cnf", "-cert", "ca.pem", "-keyfile", "ca.key",
            "-revoke", "unstated.pem", at=REVOKED_DATE)

    ocsp("ocsp-ca.der", "leaf", "ca")
    ocsp("ocsp-responder.der", "leaf", "responder")
    ocsp("ocsp-revoked.der", "revoked", "responder", "-sha256", "-resp_no_certs")
    ocsp("ocsp-unstated.der", "unstated", "responder", "-resp_no_certs")
    ocsp("ocsp-rogue.der", "leaf", "rogue", "-resp_no_certs")
    ocsp("ocsp-foreign.der", "leaf", "foreign")
    ocsp("ocsp-nocerts.der", "leaf", "responder", "-resp_no_certs")
    ocsp("ocsp-impostor.der", "leaf", "impostor", "-resp_no_certs")
    ocsp("ocsp-checked.der", "leaf", "checked")
    crl("crl.der", "ca")
    crl("crl-impostor.der", "impostor")
    crl("crl-partition.der", "ca", "-crlexts", "partition")

    for leftover in pathlib.Path(".").iterdir():
        if leftover.suffix != ".der":
            leftover.unlink()


if __name__ == "__main__":
    main(sys.argv[1])
