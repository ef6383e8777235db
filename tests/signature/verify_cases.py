#!/usr/bin/env python3
"""verify_cases.py [--windows] CASES -- COMMAND...: runs
`COMMAND --verify [--json] REPORT...` (COMMAND is tolv-extract, behind an
emulator such as scripts/wine-run.sh for the Windows build) over the reports
make_signed.py wrote into CASES, and checks each against cases.json: the
status, the signer's name, the signing time and the algorithms of intact
reports and the PDF --check writes from them, a reason for the others, the
details a report's entry names, the text lines against the JSON ones, no
control character a terminal would act on in either, the
lines and exit status of mixed sets (a report that cannot be read among them),
and --help and --version. Prints one line per failure; exits 1 if there is any.

--windows passes the reports as Z:\\... paths; every report is expected to
end as it does natively.
"""
import argparse
import hashlib
import json
import os
import pathlib
import re
import shutil
import subprocess
import sys
import tempfile

# Always there; the others (signer, issuer, signingTime, reason,
# signatureMethod, digestMethods, canonicalization) only when not empty.
JSON_KEYS = ("status", "path", "trusted")
# Few enough paths per run for a Windows command line (32767 characters).
BATCH = 40
# What a terminal acts on (C0, DEL, C1, marks of text direction), but the tabs
# between a text line's fields.
CONTROL = re.compile("[\x00-\x08\x0a-\x1f\x7f-\x9f\u061c\u200e\u200f\u202a-\u202e\u2066-\u2069]")


def escaped(text):
    """A value as the text lines show it: control characters as \\xNN, one for each UTF-8 byte."""
    return "".join("".join(f"\\x{b:02x}" for b in c.encode()) if CONTROL.match(c) or c == "\t" else c
                   for c in text)


class Runner:
    def __init__(self, command, folder, windows, config):
        self.command, self.folder, self.windows = command, folder, windows
        # The user's configuration folder of every run: its trust folder adds
        # anchors, so the tester's own must not take part.
        self.config = config

    def path(self, name):
        path = str(self.folder / name)
        return "Z:" + path.replace("/", "\\") if self.windows else path

    def call(self, args, config=None, cwd=None):
        env = dict(os.environ, XDG_CONFIG_HOME=str(config or self.config))
        result = subprocess.run(self.command + args, capture_output=True, timeout=600, env=env, cwd=cwd)
        lines = result.stdout.decode("utf-8", "replace").replace("\r", "").splitlines()
        return result.returncode, lines, result.stderr.decode("utf-8", "replace").replace("\r", "").strip()

    def run(self, options, names, verb="--verify", config=None):
        return self.call([verb, *options] + [self.path(n) for n in names], config)

    def lines_by_report(self, options, cases, parse, failures):
        """One output line per report, found by its path; what a run says on
        standard error goes with the reports that have no line."""
        found = {}
        for start in range(0, len(cases), BATCH):
            batch = cases[start:start + BATCH]
            _, lines, err = self.run(options, [c["file"] for c in batch])
            for line in [line for line in lines + err.splitlines() if CONTROL.search(line)]:
                failures.append(("(output)", "", "", f"control characters: {line[:100]!r}"))
            for line in lines:
                try:
                    path, value = parse(line)
                    found[path] = value
                except (ValueError, KeyError, TypeError):
                    failures.append(("(output)", "", "", f"not a line of {' '.join(options) or 'text'}: {line[:100]}"))
            for case in batch:
                if self.path(case["file"]) not in found:
                    said = next((e for e in err.splitlines() if case["file"] in e), err.splitlines()[:1])
                    failures.append((case["file"], "a line", "none", str(said)[-160:]))
        return {c["file"]: found[self.path(c["file"])] for c in cases if self.path(c["file"]) in found}


def check_json(runner, cases, allow, failures):
    """The JSON mode over every report; returns the objects by file name."""
    def parse(line):
        got = json.loads(line)
        return got["path"], got
    seen = runner.lines_by_report(["--json"], cases, parse, failures)
    for case in cases:
        got = seen.get(case["file"])
        if got is None:
            continue
        status = got.get("status")
        problems = []
        missing = [k for k in JSON_KEYS if k not in got]
        if missing:
            problems.append("no " + ",".join(missing))
        if status == case["expect"] == "intact":
            if got.get("signer") != case["signer"]:
                problems.append(f"signer={got.get('signer')!r}")
            if not got.get("signingTime"):
                problems.append("no signingTime")
            for key, name in (("signatureMethod", "method"), ("digestMethods", "digest"),
                              ("canonicalization", "c14n")):
                if got.get(key) != case[name]:
                    problems.append(f"{key}={got.get(key)}")
        if status in ("altered", "unknown") and not got.get("reason"):
            problems.append("no reason")
        for key, pattern in case.get("details", {}).items():
            if not re.fullmatch(pattern, got.get(key) or ""):
                problems.append(f"{key}={got.get(key)!r}")
        if status not in allow(case) or problems:
            failures.append((case["file"], "/".join(sorted(allow(case))), status,
                             "; ".join(problems) or got.get("reason", "")))
    return seen


def check_text(runner, cases, by_json, failures):
    """The text lines must say what the JSON objects say, control characters escaped."""
    def parse(line):
        status, path, *fields = line.split("\t")
        return path, (status, dict(f.split("=", 1) for f in fields))
    seen = runner.lines_by_report([], cases, parse, failures)
    for case in cases:
        if case["file"] not in seen or case["file"] not in by_json:
            continue
        status, values = seen[case["file"]]
        expected = by_json[case["file"]]
        problems = []
        if status != expected.get("status"):
            problems.append(f"JSON says {expected.get('status')}")
        for field, key in (("signer", "signer"), ("signing-time", "signingTime"), ("reason", "reason"),
                           ("key", "key")):
            if values.get(field, "") != escaped(expected.get(key) or ""):
                problems.append(f"{field}={values.get(field)!r}, JSON {expected.get(key)!r}")
        if values.get("trusted") not in ("yes", "no"):
            problems.append(f"trusted={values.get('trusted')}")
        if problems:
            failures.append((case["file"], "text line", status, "; ".join(problems)))


def check_extraction(runner, cases, allow, failures):
    """What --check writes from an intact report is the PDF that was signed."""
    folder = runner.folder / "extracted"
    folder.mkdir(exist_ok=True)
    for case in cases:
        if allow(case) != {"intact"} or not case["pdf"]:
            continue
        pdf = folder / (case["file"] + ".pdf")
        pdf.unlink(missing_ok=True)
        code, lines, err = runner.run([], [case["file"], f"extracted/{pdf.name}"], verb="--check")
        status = lines[0].split("\t")[0] if lines else "none"
        digest = hashlib.sha256(pdf.read_bytes()).hexdigest() if pdf.exists() else "no PDF"
        if code != 0 or status != "intact" or digest != case["pdf"]:
            detail = err or ("the signed PDF" if digest == case["pdf"] else "another PDF" if pdf.exists() else digest)
            failures.append((case["file"], "--check", f"{status}/{code}", detail))


def said(line):
    """(status, path, reason) of a text or a JSON line."""
    if line.startswith("{"):
        got = json.loads(line)
        return got["status"], got["path"], got.get("reason", "")
    status, path, *fields = line.split("\t")
    return status, path, dict(f.split("=", 1) for f in fields).get("reason", "")


def check_exit_codes(runner, cases, allow, failures):
    """Mixed sets, a report that cannot be read among them: one line per
    report in the order given, in both modes, and the set's exit status
    (altered wins over unreadable, unreadable over unknown; where valid is
    required, a report read but not valid, all of them here, comes between)."""
    first = {}
    for case in cases:
        if allow(case) == {case["expect"]}:
            first.setdefault(case["expect"], case["file"])
    sets = [  # reports (None: no such file), expected exit status
        (["intact"], 0), (["intact", "altered"], 4), (["intact", "unknown"], 5),
        (["unknown", "altered", "intact"], 4), (["intact", None], 2),
        (["unknown", None, "intact"], 2), (["intact", None, "altered"], 4),
        (["intact"], 6, ["--require", "valid"]), (["unknown", "intact"], 6, ["--require=valid"]),
        (["intact", None], 2, ["--require=valid"]), (["intact", "altered"], 4, ["--require", "valid"]),
        (["unknown"], 5, ["--require=intact"]),
    ]
    for statuses, expected, *require in sets:
        names = [first[s] if s else "yok.Tolv" for s in statuses]
        want = [(s or "unreadable", runner.path(n)) for s, n in zip(statuses, names)]
        for options in ([*require[0]], [*require[0], "--json"]) if require else ([], ["--json"]):
            code, lines, err = runner.run(options, names)
            try:
                got = [said(line) for line in lines]
            except (ValueError, KeyError) as error:
                got = [("not a line", str(error), "")]
            problems = []
            if code != expected:
                problems.append(f"exit status {code}, not {expected}")
            if [g[:2] for g in got] != want:
                problems.append("lines " + ", ".join(f"{g[0]} {g[1][-20:]}" for g in got))
            if any(g[0] in ("unreadable", "altered", "unknown") and not g[2] for g in got):
                problems.append("a line without its reason")
            not_valid = f"; {len([s for s in statuses if s])} geçerli olmayan"
            if (not_valid in err) != any(o in ("valid", "--require=valid") for o in options):
                problems.append(f"summary {err.splitlines()[-1:]}")
            if problems:
                failures.append(("(mixed set)", " ".join(options) or "text", "", "; ".join(problems) + ": " +
                                 " ".join(s or "unreadable" for s in statuses)))


def check_help(runner, failures):
    """--help and --version answer on standard output, --help with a line for
    each option; a wrong command line gets what is wrong and the usage on
    standard error."""
    options = ("--check", "--verify", "--json", "--jobs=N", "--online", "--trust-anchors=YOL",
               "--require=intact|valid", "--help", "--version", "--")
    every = "".join(rf"(?=[\s\S]*^  {re.escape(o)} )" for o in options)
    for args, code, out, err in ((["--help"], 0, every, r"^$"),
                                 (["--version"], 0, r"^tolv-extract \d+\.\d\d$", r"^$"),
                                 (["--verify"], 2, r"^$", r"tolv-extract --verify"),
                                 (["--verify", "--trust-anchors"], 2, r"^$", r"tolv-extract --verify"),
                                 (["--verify", "a.Tolv", "-x.Tolv"], 2, r"^$", r"bilinmeyen seçenek: -x\.Tolv\n"),
                                 (["--verify", "--json=evet", "a.Tolv"], 2, r"^$", r": --json bir değer almaz"),
                                 (["--verify", "--require", "geçerli", "a"], 2, r"^$", r": --require intact ya da")):
        got_code, lines, got_err = runner.call(args)
        got_out = "\n".join(lines)
        if got_code != code or not re.search(out, got_out, re.M) or not re.search(err, got_err):
            failures.append((" ".join(args), str(code), str(got_code), f"out {got_out[:60]!r}, err {got_err[:60]!r}"))


def check_validation(runner, cases, failures):
    """The validation's conclusion on a genuine report, with the test CA as an
    added anchor, without, and as the user's configured anchor (not on
    Windows, which reads the registry instead), and on an altered one."""
    intact = next(c for c in cases if c["expect"] == "intact" and c.get("method") == "rsa-sha256")
    altered = next(c for c in cases if c["expect"] == "altered")
    anchor, ca = ["--trust-anchors", runner.path("keys/ca.pem")], "Tolv Deneme Kök Sertifikası"
    joined = ["--trust-anchors=" + runner.path("keys/ca.pem")]
    configured = runner.config.parent / "configured"
    (configured / "tolv-viewer" / "trust").mkdir(parents=True)
    shutil.copy(runner.folder / "keys" / "ca.pem", configured / "tolv-viewer" / "trust")
    rows = [(anchor, intact, ("indeterminate", "TRY_LATER", ca), None),
            ([], intact, ("indeterminate", "NO_CERTIFICATE_CHAIN_FOUND", None), None),
            (joined, altered, ("invalid", r"HASH_FAILURE|SIG_CRYPTO_FAILURE", ca), None)]
    if not runner.windows:
        rows.append(([], intact, ("indeterminate", "TRY_LATER", ca), configured))
    for options, case, want, config in rows:
        _, lines, err = runner.run(["--json", *options], [case["file"]], config=config)
        got = json.loads(lines[0]) if lines else {}
        said = (got.get("conclusion"), got.get("subIndication") or "", got.get("anchor"))
        if said[0] != want[0] or not re.fullmatch(want[1], said[1]) or said[2] != want[2]:
            failures.append((case["file"], " ".join(w or "-" for w in want), str(said), err[:80]))


def check_end_of_options(runner, cases, failures):
    """After "--" a report may be named like an option."""
    scratch = runner.config.parent
    shutil.copy(runner.folder / next(c for c in cases if c["expect"] == "intact")["file"], scratch / "-x.Tolv")
    code, lines, err = runner.call(["--verify", "--", "-x.Tolv"], cwd=scratch)
    if code != 0 or [line.split("\t")[:2] for line in lines] != [["intact", "-x.Tolv"]]:
        failures.append(("-- -x.Tolv", "0 intact", str(code), f"{lines[:1]} {err[:80]}"))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--windows", action="store_true", help="Windows program: Z:\\ paths")
    parser.add_argument("cases", type=pathlib.Path)
    parser.add_argument("command", nargs=argparse.REMAINDER)
    args = parser.parse_args()
    command = args.command[1:] if args.command[:1] == ["--"] else args.command
    cases = json.loads((args.cases / "cases.json").read_text())["cases"]
    scratch = tempfile.TemporaryDirectory(prefix="verify_cases-")
    (pathlib.Path(scratch.name) / "empty").mkdir()
    runner = Runner(command, args.cases.resolve(), args.windows, pathlib.Path(scratch.name) / "empty")
    allow = lambda case: {case["expect"]}

    failures = []
    by_json = check_json(runner, cases, allow, failures)
    check_text(runner, cases, by_json, failures)
    check_extraction(runner, cases, allow, failures)
    check_exit_codes(runner, cases, allow, failures)
    check_help(runner, failures)
    check_end_of_options(runner, cases, failures)
    check_validation(runner, cases, failures)
    if failures:
        width = max(len(f[0]) for f in failures)
        print(f"{'report':<{width}}  {'expected':<9} {'got':<9} detail")
        for name, expected, got, detail in failures:
            print(f"{name:<{width}}  {expected:<9} {str(got):<9} {detail}")
        print(f"verify_cases: {len(failures)} failures over {len(cases)} reports in {args.cases}")
        return 1
    print(f"verify_cases: {len(cases)} reports as expected")
    return 0


if __name__ == "__main__":
    sys.exit(main())
