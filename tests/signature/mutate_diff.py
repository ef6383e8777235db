#!/usr/bin/env python3
"""mutate_diff.py [--mutations N] [--seed S] CASES WORK -- COMMAND...: changes
one byte (or drops or doubles it) at random outside the PDF's Base64 text of
the intact reports make_signed.py wrote into CASES, keeps the well-formed
results, and asks both `COMMAND --verify --json` (tolv-extract) and xmlsec1
(certificates not checked: trust never decides the status) about each.

A report COMMAND calls intact while xmlsec1 rejects it fails the run: the
change reached something signed and went unseen. The other disagreements are
listed, not failed: COMMAND is stricter by design in places (the displayed
PDF must be the signed one, the signed properties must name the signer's
certificate), and a parser may refuse what libxml2 takes. The reports that
fail stay in WORK.
"""
import argparse
import json
import pathlib
import random
import re
import subprocess
import sys

from lxml import etree

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
from make_signed import id_attrs  # noqa: E402

BYTES = b"aAzZ09 \n\t\"'<>&=:/#;-_.+"
BATCH = 40


def bases(cases, folder):
    """Intact reports that xmlsec1 verifies as they are: no RSA-PSS, which it
    lacks; no UTF-16, whose bytes a one-byte change mostly breaks; no other
    certificate than the signer's, since xmlsec1 refuses a report with one it
    cannot read, where only the signer's matters."""
    for case in cases:
        if (case["change"] == "" and case["expect"] == "intact" and "pss" not in case["method"]
                and not case["case"].startswith(("utf-16", "chain-"))):
            yield folder / case["file"]


def mutate(rnd, data):
    """One change outside the PDF's Base64 text, mostly in the markup rather
    than in a certificate or signature value; returns (bytes, description)."""
    payload = re.search(rb'Id="Nesne-PDF"[^>]*>([^<]*)<', data)
    runs = [m.span(1) for m in re.finditer(rb">([A-Za-z0-9+/=\s]{60,})<", data)
            if not payload or m.start(1) != payload.start(1)]
    in_base64 = runs and rnd.random() < 0.2
    while True:
        at = rnd.randrange(len(data))
        if payload and payload.start(1) <= at < payload.end(1):
            continue
        if any(start <= at < end for start, end in runs) == bool(in_base64):
            break
    op = rnd.choice(["replace", "replace", "drop", "double"])
    if op == "replace":
        new = bytes([rnd.choice(BYTES)])
        changed = data[:at] + new + data[at + 1:]
    elif op == "drop":
        changed = data[:at] + data[at + 1:]
    else:
        changed = data[:at] + data[at:at + 1] + data[at:]
    context = data[max(0, at - 20):at + 20]
    return changed, f"{op} at {at} in {context!r}"


def well_formed(data):
    try:
        etree.fromstring(data, etree.XMLParser(resolve_entities=False, no_network=True, load_dtd=False))
        return True
    except etree.XMLSyntaxError:
        return False


def xmlsec_valid(path, data, ca):
    result = subprocess.run(["xmlsec1", "--verify", "--insecure", "--trusted-pem", str(ca), *id_attrs(data),
                             str(path)], capture_output=True)
    return result.returncode == 0


def verdicts(command, paths):
    found = {}
    for start in range(0, len(paths), BATCH):
        batch = paths[start:start + BATCH]
        result = subprocess.run(command + ["--verify", "--json"] + [str(p) for p in batch], capture_output=True,
                                timeout=600)
        for line in result.stdout.decode("utf-8", "replace").splitlines():
            got = json.loads(line)
            found[got["path"]] = got
    return {p: found.get(str(p)) for p in paths}


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--mutations", type=int, default=400)
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("cases", type=pathlib.Path)
    parser.add_argument("work", type=pathlib.Path)
    parser.add_argument("command", nargs=argparse.REMAINDER)
    args = parser.parse_args()
    command = args.command[1:] if args.command[:1] == ["--"] else args.command
    cases = json.loads((args.cases / "cases.json").read_text())["cases"]
    ca = args.cases / "keys" / "ca.pem"
    args.work.mkdir(parents=True, exist_ok=True)
    for old in args.work.glob("m-*.Tolv"):
        old.unlink()

    rnd = random.Random(args.seed)
    sources = sorted(bases(cases, args.cases))
    made = []  # (path, source, description, xmlsec says valid)
    tries = 0
    while len(made) < args.mutations and tries < args.mutations * 20:
        tries += 1
        source = rnd.choice(sources)
        data, description = mutate(rnd, source.read_bytes())
        if not well_formed(data):
            continue
        path = (args.work / f"m-{len(made):04}.Tolv").resolve()
        path.write_bytes(data)
        made.append((path, source.name, description, xmlsec_valid(path, data, ca)))

    got = verdicts(command, [m[0] for m in made])
    accepted, stricter, unread = [], [], []
    for path, source, description, valid in made:
        status = got[path]["status"] if got[path] else "unreadable"
        if status == "intact" and not valid:
            accepted.append((path, source, description))
        elif valid and status != "intact":
            stricter.append((path, source, description, status, got[path] and got[path].get("reason", "")))
        elif status == "unreadable":
            unread.append((path, source, description))
    for path, *_ in made:
        if not any(path == f[0] for f in accepted + stricter + unread):
            path.unlink()

    for path, source, description in accepted:
        print(f"INTACT, xmlsec1 rejects: {path} (from {source}): {description}")
    for path, source, description, status, reason in stricter[:15]:
        print(f"note: {status} where xmlsec1 verifies: {path} (from {source}): {description}: {reason}")
    for path, source, description in unread[:15]:
        print(f"note: unreadable, well-formed for libxml2: {path} (from {source}): {description}")
    print(f"mutate_diff: {len(made)} changed reports from {len(sources)}: {len(accepted)} wrongly intact, "
          f"{len(stricter)} stricter than xmlsec1, {len(unread)} unreadable")
    return 1 if accepted else 0


if __name__ == "__main__":
    sys.exit(main())
