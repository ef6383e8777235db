#!/usr/bin/env python3
"""Revocation asked online: tolv-extract --verify --online against an OCSP
responder (the openssl command answers each request) and a CRL, both served
on the loopback address the signers' certificates name, and against a
responder that is down and hostile ones."""

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
    "ocsp-lapsed": ("lapsed", None, "V"),
    "crl-revoked": (None, "up", "R"),
    "down": ("down", "down", "V"),
    # a CA the root revoked, its list on the root's distribution point, and a signer it issued
    "revoked-ca": (None, "up", "R"),
    "under-revoked-ca": (None, "inter", "V"),
    # hostile servers, their paths in HOSTILE
    "trickle": ("trickle-head", "trickle", "V"),
    "moved": ("moved", "moved", "R"),
}
# Signers whose report carries an OCSP answer of ten days ago, which proves
# nothing without a time-stamp: the responder is asked all the same.
CARRIES_OLD_ANSWER = {"ocsp-good-carried"}
# report, --online, expected (conclusion, sub-indication, revocation), reason has
CASES = [
    ("ocsp-good", False, ("indeterminate", "TRY_LATER", "none"), ""),
    ("ocsp-good", True, ("valid", "", "good"), ""),
    ("ocsp-revoked", True, ("indeterminate", "REVOKED_NO_POE", "revoked"), ""),
    ("crl-revoked", True, ("indeterminate", "REVOKED_NO_POE", "revoked"), ""),
    ("down", True, ("indeterminate", "TRY_LATER", "none"), "çevrimiçi sorulamadı"),
    # a "good" answer signed ten days ago, as a replay or a stale mirror gives it
    ("ocsp-stale", True, ("indeterminate", "TRY_LATER", "unknown"), "OCSP yanıtı 1"),
    # signed an hour ago, past its next update half an hour ago
    ("ocsp-lapsed", True, ("indeterminate", "TRY_LATER", "unknown"), "güncel değil"),
    ("ocsp-good-carried", False, ("indeterminate", "TRY_LATER", "unknown"), ""),
    ("ocsp-good-carried", True, ("valid", "", "good"), ""),
    ("under-revoked-ca", False, ("indeterminate", "TRY_LATER", "none"), ""),
    ("under-revoked-ca", True, ("indeterminate", "REVOKED_CA_NO_POE", "good"), ""),
    # both exchanges cut at their deadlines: 5 s each, 10 s in all
    ("trickle", True, ("indeterminate", "TRY_LATER", "none"), "zamanında gelmedi"),
    # followed, the OCSP answer or the list would say revoked
    ("moved", True, ("indeterminate", "TRY_LATER", "none"), "yönlendirme"),
]
# Path prefix: how the server misbehaves. Answers it would give at last are
# the valid ones of the path without the prefix.
HOSTILE = {
    "/trickle-head/": "the whole answer, headers included, one byte a second",
    "/trickle/": "the headers at once, the body one byte a second",
    "/moved/": "302 to the path without the prefix",
}
# The wall time of a run, Wine's start included, that proves the limits held.
MAX_SECONDS = 15
# What tolv-extract loads on Linux: libc, libstdc++, expat, libcrypto and
# their kin, room for a few more.
MAX_LIBRARIES = 12


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def make_signers(keys, work, up, down):
    url = {"up": f"http://127.0.0.1:{up}/ca", "down": f"http://127.0.0.1:{down}/ca",
           "stale": f"http://127.0.0.1:{up}/stale", "lapsed": f"http://127.0.0.1:{up}/lapsed",
           "inter": f"http://127.0.0.1:{up}/revoked-ca",
           **{prefix.strip("/"): f"http://127.0.0.1:{up}{prefix}ca" for prefix in HOSTILE}}
    index = []
    for name, (ocsp, crl, record) in list(SIGNERS.items()) + [("ocsp-good-carried", ("up", None, "V"))]:
        ca = name == "revoked-ca"
        ext = ["basicConstraints=critical,CA:TRUE\nkeyUsage=critical,keyCertSign,cRLSign" if ca
               else "keyUsage=critical,digitalSignature,nonRepudiation"]
        if ocsp:
            ext.append(f"authorityInfoAccess=OCSP;URI:{url[ocsp]}")
        if crl:
            ext.append(f"crlDistributionPoints=URI:{url[crl]}.crl")
        (work / f"{name}.ext").write_text("\n".join(ext) + "\n")
        issuer = work / "revoked-ca" if name == "under-revoked-ca" else keys / "ca"
        lt.run("openssl", "req", "-new", "-newkey", "rsa:2048", "-nodes", "-keyout", str(work / f"{name}.key"),
               "-out", str(work / f"{name}.csr"), "-subj", f"/C=TR/CN=Çevrimiçi {name}", "-utf8")
        lt.run("openssl", "x509", "-req", "-in", str(work / f"{name}.csr"), "-CA", f"{issuer}.pem",
               "-CAkey", f"{issuer}.key", "-CAcreateserial", "-extfile", str(work / f"{name}.ext"),
               "-days", "30", "-out", str(work / f"{name}.pem"))
        number = lt.run("openssl", "x509", "-in", str(work / f"{name}.pem"), "-noout", "-serial").decode()
        revoked = "240101000000Z" if record == "R" else ""
        if name != "under-revoked-ca":
            index.append(f"{record}\t401231000000Z\t{revoked}\t{number.strip().split('=')[1]}\tunknown\t/CN={name}\n")
    (work / "index.txt").write_text("".join(index))
    (work / "empty.txt").write_text("")
    for list_name, issuer, database in (("ca", keys / "ca", "index.txt"), ("revoked-ca", work / "revoked-ca",
                                                                          "empty.txt")):
        (work / "crl.cnf").write_text(
            f"[ca]\ndefault_ca=c\n[c]\ndatabase={work / database}\ncrlnumber={work / 'crlnumber'}\n"
            "default_md=sha256\ndefault_crl_days=7\n")
        (work / "crlnumber").write_text("01\n")
        lt.run("openssl", "ca", "-gencrl", "-config", str(work / "crl.cnf"), "-cert", f"{issuer}.pem",
               "-keyfile", f"{issuer}.key", "-out", str(work / "crl.pem"))
        lt.run("openssl", "crl", "-in", str(work / "crl.pem"), "-outform", "DER", "-out",
               str(work / f"{list_name}.crl"))


def respond(keys, work, when=None, minutes=None):
    """The CA's OCSP answer to work/req.der, made at when, due again a day
    (or minutes) later."""
    due = ["-nmin", str(minutes)] if minutes else ["-ndays", "1"]
    lt.run("openssl", "ocsp", "-index", str(work / "index.txt"), "-CA", str(keys / "ca.pem"),
           "-rsigner", str(keys / "ca.pem"), "-rkey", str(keys / "ca.key"), *due,
           "-reqin", str(work / "req.der"), "-respout", str(work / "resp.der"), when=when)
    return (work / "resp.der").read_bytes()


def ago(**delta):
    return (datetime.datetime.now() - datetime.timedelta(**delta)).strftime("%Y-%m-%d %H:%M:%S")


def sign(keys, work, name, out):
    (work / "t.xml").write_text(lt.template("JVBERi0xLjQKJSVFT0YK"))
    lt.run("xmlsec1", "--sign", "--privkey-pem", f"{work / name}.key,{work / name}.pem",
           "--output", str(out / f"{name}.Tolv"), str(work / "t.xml"))
    doc = lt.etree.parse(str(out / f"{name}.Tolv"))
    props = doc.find(f".//{{{lt.XADES}}}UnsignedSignatureProperties")
    if name == "under-revoked-ca":
        values = lt.etree.SubElement(props, f"{{{lt.XADES}}}CertificateValues")
        lt.etree.SubElement(values, f"{{{lt.XADES}}}EncapsulatedX509Certificate").text = \
            lt.base64.b64encode(lt.run("openssl", "x509", "-in", str(work / "revoked-ca.pem"), "-outform",
                                       "DER")).decode()
    if name in CARRIES_OLD_ANSWER:
        lt.run("openssl", "ocsp", "-issuer", str(keys / "ca.pem"), "-cert", str(work / f"{name}.pem"),
               "-reqout", str(work / "req.der"), "-no_nonce")
        values = lt.etree.SubElement(lt.etree.SubElement(props, f"{{{lt.XADES}}}RevocationValues"),
                                     f"{{{lt.XADES}}}OCSPValues")
        lt.etree.SubElement(values, f"{{{lt.XADES}}}EncapsulatedOCSPValue").text = \
            lt.base64.b64encode(respond(keys, work, ago(days=10))).decode()
    doc.write(str(out / f"{name}.Tolv"), xml_declaration=True, encoding="UTF-8")


def serve(keys, work, port):
    """OCSP answers the openssl command makes for each request, and the CRL;
    on 127.0.0.1 only."""
    class Handler(http.server.BaseHTTPRequestHandler):
        def do_POST(self):
            (work / "req.der").write_bytes(self.rfile.read(int(self.headers["Content-Length"])))
            path = self.unprefixed()
            if path.startswith("/stale"):
                body = respond(keys, work, ago(days=10))
            elif path.startswith("/lapsed"):
                body = respond(keys, work, ago(hours=1), minutes=30)
            else:
                body = respond(keys, work)
            self.answer(body, "application/ocsp-response")

        def do_GET(self):
            self.answer((work / self.unprefixed().lstrip("/")).read_bytes(), "application/pkix-crl")

        def unprefixed(self):
            self.hostile = next((p for p in HOSTILE if self.path.startswith(p)), "")
            return self.path[len(self.hostile) - 1:] if self.hostile else self.path

        def answer(self, body, kind):
            if self.hostile == "/moved/":
                self.send_response(302)
                self.send_header("Location", f"http://127.0.0.1:{port}{self.unprefixed()}")
                self.send_header("Content-Length", "0")
                self.end_headers()
                return
            whole = (f"HTTP/1.0 200 OK\r\nContent-Type: {kind}\r\nContent-Length: {len(body)}\r\n\r\n"
                     .encode() + body)
            slow = {"/trickle-head/": 0, "/trickle/": len(whole) - len(body)}.get(self.hostile, len(whole))
            self.wfile.write(whole[:slow])
            try:  # a byte a second for a minute, then the rest: a client that waits gets its answer
                for i in range(slow, min(slow + 60, len(whole))):
                    self.wfile.write(whole[i:i + 1])
                    self.wfile.flush()
                    time.sleep(1)
                self.wfile.write(whole[slow + 60:])
            except OSError:
                pass

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
    for name in [n for n in SIGNERS if n != "revoked-ca"] + sorted(CARRIES_OLD_ANSWER):
        sign(out / "keys", work, name, work)
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
                or took > MAX_SECONDS:
            failures += 1
            print(f"{name} online={online}: expected {want} '{reason}', got {said} in {took:.1f} s: "
                  f"{json.dumps(got, ensure_ascii=False)} {errors[:200]}")
    if not args.windows:  # modes and HOME are Linux's; Windows' cache is under %LOCALAPPDATA%
        failures += check_cache(command, out, work, path, env)
    server.shutdown()
    # Every start pays for the libraries it loads, online or not: the HTTP
    # client is OpenSSL's, not one that brings its own TLS, LDAP, SSH...
    libraries = [] if args.windows else lt.run("ldd", command[-1]).decode().splitlines()
    if len(libraries) > MAX_LIBRARIES:
        failures += 1
        names = [line.split()[0] for line in libraries]
        print(f"{len(libraries)} shared libraries, more than {MAX_LIBRARIES}: {names}")
    print(f"online_cases: {len(CASES) - failures} passed, {failures} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
