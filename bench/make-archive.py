#!/usr/bin/env python3
"""make-archive.py OUT COUNT: writes COUNT small reports, each signed by xmlsec1
with a throwaway key (RSA and ECDSA signers in turn, enveloping and enveloped
signatures), into OUT/archive/YEAR/MONTH/, with the signing helpers of
tests/signature/make_signed.py, and OUT/archive.json: each report's path and
the options xmlsec1 --verify needs for it. A set already there is kept."""
import datetime
import importlib.util
import json
import pathlib
import sys

root = pathlib.Path(__file__).resolve().parents[1]
spec = importlib.util.spec_from_file_location("make_signed", root / "tests/signature/make_signed.py")
signed = importlib.util.module_from_spec(spec)
spec.loader.exec_module(signed)

# signature method, key, shape
SIGNERS = [("rsa-sha256", "rsa", "enveloping"), ("ecdsa-sha256", "p256", "enveloping"),
           ("rsa-sha256", "rsa", "enveloped"), ("ecdsa-sha384", "p384", "enveloped-id")]


class Keys(signed.Keys):
    """The CA and the three signers only: the test set's other keys (DSA
    parameters among them) take long to make and are not used here."""

    def __init__(self, folder):
        self.dir = folder
        folder.mkdir(parents=True, exist_ok=True)
        self.ca = folder / "ca.pem"
        signed.run("openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", str(folder / "ca.key"),
                   "-out", str(self.ca), "-days", "3650", "-utf8", "-subj", signed.CA_NAME,
                   "-addext", "basicConstraints=critical,CA:TRUE",
                   "-addext", "keyUsage=critical,keyCertSign,cRLSign")
        (folder / "ext").write_text("basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature,nonRepudiation\n")
        for name in ("rsa", "p256", "p384"):
            self.make(name, *signed.KEYS[name])


def main():
    out, count = pathlib.Path(sys.argv[1]).resolve(), int(sys.argv[2])
    manifest = out / "archive.json"
    if manifest.exists() and len(json.loads(manifest.read_text())) == count:
        return 0
    keys = Keys(out / "keys")
    work = out / "work"
    work.mkdir(parents=True, exist_ok=True)
    pdf = signed.load_pdf_maker().make_pdf()
    now = datetime.datetime.now(datetime.timezone(datetime.timedelta(hours=3))).replace(microsecond=0)
    entries = []
    for i in range(count):
        method, key, shape = SIGNERS[i % len(SIGNERS)]
        case = signed.row(f"rapor-{i:05}", method=method, key=key, shape=shape, features=("non-ascii",))
        # Each report its own PDF: a comment line after the end is still a PDF.
        doc, options, _ = signed.sign(case, keys, work, pdf + b"%% rapor %d\n" % i, pdf, now.isoformat())
        path = out / "archive" / str(2020 + i % 4) / f"{i % 12 + 1:02}" / f"rapor-{i:05}.tolv"
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_bytes(doc)
        entries.append(dict(path=str(path), options=["--trusted-pem", str(keys.ca), *options]))
        if i % 200 == 199:
            print(f"make-archive: {i + 1} of {count} reports signed", file=sys.stderr)
    manifest.write_text(json.dumps(entries, indent=0))
    return 0


if __name__ == "__main__":
    sys.exit(main())
