#!/usr/bin/python3
"""Stands in for gcr-viewer: appends one JSON line to $FAKE_BROWSER_LOG with
its arguments, the modes of the file it was given and of its folder, and what
openssl reads in it as a certificate (its SHA-256 fingerprint; empty when it
is none); then stays open two seconds, as a person reading it would, so that
the window can be closed first."""
import json
import os
import subprocess
import sys
import time

path = sys.argv[-1] if len(sys.argv) > 1 else ""
record = {"program": os.path.basename(sys.argv[0]), "argv": sys.argv[1:], "path": path}
try:
    record["mode"] = os.stat(path).st_mode & 0o7777
    record["folder_mode"] = os.stat(os.path.dirname(path)).st_mode & 0o7777
except OSError as error:
    record["error"] = str(error)
read = subprocess.run(["/usr/bin/openssl", "x509", "-in", path, "-noout", "-fingerprint", "-sha256"],
                      capture_output=True, text=True)
record["certificates"] = (open(path, encoding="utf-8").read().count("BEGIN CERTIFICATE")
                          if os.path.isfile(path) else 0)
record["fingerprint"] = read.stdout.strip().split("=", 1)[-1] if read.returncode == 0 else ""
with open(os.environ["FAKE_BROWSER_LOG"], "a", encoding="utf-8") as log:
    log.write(json.dumps(record, ensure_ascii=False) + "\n")
time.sleep(2)
