"""Reports signed under the throwaway PKI of the long-term validation cases
(tests/validation/longterm_cases.py), made once into a folder: the same CA,
time-stamping authority, signers and fixed past times, for the Linux edition's
end-to-end tests."""
import os
import pathlib
import shutil
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "validation"))
import longterm_cases  # noqa: E402


def make(folder, names):
    """The reports of these long-term cases (lt-good, t-only...) as
    {name: path}, and the CA's certificate to trust them by."""
    out = pathlib.Path(folder).resolve()
    keys = out / "keys"
    done = out / "done"
    if not done.exists() or done.read_text() != repr((longterm_cases.PKI, longterm_cases.SELF_SIGNED)):
        shutil.rmtree(out, ignore_errors=True)
        out.mkdir(parents=True)
        longterm_cases.make_pki(keys)
        done.write_text(repr((longterm_cases.PKI, longterm_cases.SELF_SIGNED)))
    for name in names:
        if not (out / f"{name}.Tolv").exists():
            longterm_cases.make_report(out, keys, name, longterm_cases.CASES[name])
    return {name: str(out / f"{name}.Tolv") for name in names}, str(keys / "ca.pem")


def with_issuer(report, ca, out):
    """A copy of the report that carries its CA's certificate in
    xades:CertificateValues, as long-term signatures do; the property is
    unsigned, so the signature stays intact."""
    from lxml import etree
    xades = longterm_cases.XADES
    doc = etree.parse(report)
    props = doc.find(f".//{{{xades}}}UnsignedSignatureProperties")
    values = etree.Element(f"{{{xades}}}CertificateValues")
    pem = pathlib.Path(ca).read_text()
    body = "".join(pem.split("-----")[2].split())
    etree.SubElement(values, f"{{{xades}}}EncapsulatedX509Certificate").text = body
    # XAdES puts the certificates before the revocation values.
    revocation = props.find(f"{{{xades}}}RevocationValues")
    if revocation is not None:
        revocation.addprevious(values)
    else:
        props.append(values)
    doc.write(out, xml_declaration=True, encoding="UTF-8")
    return out
