#!/usr/bin/env python3
"""Revocation asked online: tolv-extract --verify --online against an OCSP
responder (the openssl command answers each request) and a CRL, both served
on the loopback address the signers' certificates name, and against a
responder that is down."""

import datetime
import http.server
import json
import shutil
import socket
import sys
import threading
import time

import longterm_cases as lt

# name: (AIA OCSP, CRL distribution point, the CA's record of it)
SIGNERS = {
    "ocsp-good": ("up", None, "V"),
    "ocsp-revoked": ("up", None, "R"),
    "ocsp-stale": ("stale", None, "V"),
    "crl-revoked": (None, "up", "R"),
    "down": ("down", "down", "V"),
}
# report, --online, expected (conclusion, sub-indication, revocation), reason has
CASES = [
    ("ocsp-good", False, ("indeterminate", "TRY_LATER", "none"), ""),
    ("ocsp-good", True, ("valid", "", "good"), ""),
    ("ocsp-revoked", True, ("indeterminate", "REVOKED_NO_POE", "revoked"), ""),
    ("crl-revoked", True, ("indeterminate", "REVOKED_NO_POE", "revoked"), ""),
    ("down", True, ("indeterminate", "TRY_LATER", "none"), "çevrimiçi sorulamadı"),
    # a "good" answer signed ten days ago, as a replay or a stale mirror gives it
    ("ocsp-stale", True, ("indeterminate", "TRY_LATER", "unknown"), "OCSP yanıtı 1"),
]


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def make_signers(keys, work, up, down):
    url = {"up": f"http://127.0.0.1:{up}", "down": f"http://127.0.0.1:{down}",
           "stale": f"http://127.0.0.1:{up}/stale"}
    index = []
    for name, (ocsp, crl, record) in SIGNERS.items():
        ext = ["keyUsage=critical,digitalSignature,nonRepudiation"]
        if ocsp:
            ext.append(f"authorityInfoAccess=OCSP;URI:{url[ocsp]}/ocsp")
        if crl:
            ext.append(f"crlDistributionPoints=URI:{url[crl]}/ca.crl")
        (work / f"{name}.ext").write_text("\n".join(ext) + "\n")
        lt.run("openssl", "req", "-new", "-newkey", "rsa:2048", "-nodes", "-keyout", str(work / f"{name}.key"),
               "-out", str(work / f"{name}.csr"), "-subj", f"/C=TR/CN=Çevrimiçi {name}", "-utf8")
        lt.run("openssl", "x509", "-req", "-in", str(work / f"{name}.csr"), "-CA", str(keys / "ca.pem"),
               "-CAkey", str(keys / "ca.key"), "-CAcreateserial", "-extfile", str(work / f"{name}.ext"),
               "-days", "30", "-out", str(work / f"{name}.pem"))
        number = lt.run("openssl", "x509", "-in", str(work / f"{name}.pem"), "-noout", "-serial").decode()
        revoked = "240101000000Z" if record == "R" else ""
        index.append(f"{record}\t401231000000Z\t{revoked}\t{number.strip().split('=')[1]}\tunknown\t/CN={name}\n")
    (work / "index.txt").write_text("".join(index))
    (work / "index.txt.attr").write_text("unique_subject = no\n")
    (work / "crl.cnf").write_text(
        f"[ca]\ndefault_ca=c\n[c]\ndatabase={work / 'index.txt'}\ncrlnumber={work / 'crlnumber'}\n"
        "default_md=sha256\ndefault_crl_days=7\n")
    (work / "crlnumber").write_text("01\n")
    lt.run("openssl", "ca", "-gencrl", "-config", str(work / "crl.cnf"), "-cert", str(keys / "ca.pem"),
           "-keyfile", str(keys / "ca.key"), "-out", str(work / "ca.crl.pem"))
    lt.run("openssl", "crl", "-in", str(work / "ca.crl.pem"), "-outform", "DER", "-out", str(work / "ca.crl"))


def sign(work, name, out):
    (work / "t.xml").write_text(lt.template("JVBERi0xLjQKJSVFT0YK"))
    lt.run("xmlsec1", "--sign", "--privkey-pem", f"{work / name}.key,{work / name}.pem",
           "--output", str(out / f"{name}.Tolv"), str(work / "t.xml"))


def serve(keys, work, port):
    """OCSP answers the openssl command makes for each request, and the CRL;
    on 127.0.0.1 only."""
    class Handler(http.server.BaseHTTPRequestHandler):
        def do_POST(self):
            (work / "req.der").write_bytes(self.rfile.read(int(self.headers["Content-Length"])))
            stale = datetime.datetime.now() - datetime.timedelta(days=10)
            lt.run("openssl", "ocsp", "-index", str(work / "index.txt"), "-CA", str(keys / "ca.pem"),
                   "-rsigner", str(keys / "ca.pem"), "-rkey", str(keys / "ca.key"), "-ndays", "1",
                   # the CA answers itself: no certificate needs to travel (and Wine 8
                   # decodes no response that carries one)
                   "-resp_no_certs",
                   "-reqin", str(work / "req.der"), "-respout", str(work / "resp.der"),
                   when=stale.strftime("%Y-%m-%d %H:%M:%S") if self.path.startswith("/stale") else None)
            self.answer((work / "resp.der").read_bytes(), "application/ocsp-response")

        def do_GET(self):
            self.answer((work / "ca.crl").read_bytes(), "application/pkix-crl")

        def answer(self, body, kind):
            self.send_response(200)
            self.send_header("Content-Type", kind)
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body)

        def log_message(self, *args):
            pass

    server = http.server.ThreadingHTTPServer(("127.0.0.1", port), Handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server


def check_cache(command, out, work, path, env):
    """The answers kept are the user's alone, and a relative HOME keeps none
    (it would put them in the folder the program was started in)."""
    modes = {(p.is_dir(), p.stat().st_mode & 0o777) for p in (work / "cache").rglob("*")}
    (work / "started-here").mkdir()
    env = {k: v for k, v in env.items() if k != "XDG_CACHE_HOME"} | {"HOME": "home"}
    lt.verify_json(command, "--online", "--trust-anchors", path(out / "keys" / "ca.pem"),
                   path(work / "ocsp-good.Tolv"), env=env, cwd=work / "started-here")
    left = [str(p) for p in (work / "started-here").rglob("*")]
    if modes != {(True, 0o700), (False, 0o600)} or left:
        print(f"cache: modes {sorted(modes)}, not 0700 folders and 0600 files; left {left}")
        return 1
    return 0


def main():
    args, command, out, path = lt.arguments(__doc__.splitlines()[0])
    work = out / "online"
    shutil.rmtree(work, ignore_errors=True)
    work.mkdir(parents=True)
    up, down = free_port(), free_port()
    make_signers(out / "keys", work, up, down)
    for name in SIGNERS:
        sign(work, name, work)
    server = serve(out / "keys", work, up)
    env = {**__import__("os").environ, "XDG_CACHE_HOME": str(work / "cache")}
    failures = 0
    for name, online, want, reason in CASES:
        started = time.monotonic()
        got, errors = lt.verify_json(command, *(["--online"] if online else []), "--trust-anchors",
                                     path(out / "keys" / "ca.pem"), path(work / f"{name}.Tolv"), env=env)
        took = time.monotonic() - started
        said = tuple(got.get(k, "") for k in ("conclusion", "subIndication", "revocation"))
        if said != want or reason not in got.get("validationReason", "") + got.get("revocationReason", "") \
                or took > 20:
            failures += 1
            print(f"{name} online={online}: expected {want} '{reason}', got {said} in {took:.1f} s: "
                  f"{json.dumps(got, ensure_ascii=False)} {errors[:200]}")
    if not args.windows:  # modes and HOME are Linux's; Windows' cache is under %LOCALAPPDATA%
        failures += check_cache(command, out, work, path, env)
    server.shutdown()
    print(f"online_cases: {len(CASES) - failures} passed, {failures} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
