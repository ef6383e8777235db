#!/usr/bin/python3
"""Stands in for a browser or the desktop's PDF application.

Installed under the names the viewer looks for (google-chrome-stable, chromium,
microsoft-edge-stable, ...). Appends one JSON line to $FAKE_BROWSER_LOG: the
name it was started as, its arguments, its working folder, and the file the
last argument names (a file:// URL, a --app= URL or a plain path) as it is at
this moment: its checksum and mode. Ends with $FAKE_BROWSER_EXIT (default 0).
"""
import hashlib
import json
import os
import sys
import urllib.parse

target = sys.argv[-1] if len(sys.argv) > 1 else ""
if target.startswith("--app="):
    target = target[len("--app="):]
if target.startswith("file://"):
    path = os.fsdecode(urllib.parse.unquote_to_bytes(urllib.parse.urlsplit(target).path))
else:
    path = target
record = {"program": os.path.basename(sys.argv[0]), "argv": sys.argv[1:], "cwd": os.getcwd(),
          "path": path, "sha256": None, "mode": None}
try:
    with open(path, "rb") as f:
        record["sha256"] = hashlib.sha256(f.read()).hexdigest()
    record["mode"] = os.stat(path).st_mode & 0o7777
except OSError as error:
    record["error"] = str(error)
with open(os.environ["FAKE_BROWSER_LOG"], "a", encoding="utf-8") as log:
    log.write(json.dumps(record, ensure_ascii=False) + "\n")
sys.exit(int(os.environ.get("FAKE_BROWSER_EXIT", "0")))
