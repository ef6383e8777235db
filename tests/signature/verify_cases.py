#!/usr/bin/env python3
"""verify_cases.py [--windows-paths] CASES -- COMMAND...: runs
`COMMAND --verify [--json] REPORT...` (COMMAND is tolv-extract, behind an
emulator such as scripts/wine-run.sh for the Windows build) over the reports
make_signed.py wrote into CASES, and checks each against cases.json: the
status, the signer's name and the signing time of intact reports, a reason for
the others, the text lines against the JSON ones, and the exit status of mixed
sets. Prints one line per failure; exits 1 if there is any.
"""
import argparse
import json
import pathlib
import subprocess
import sys

# Always there; the others (signer, issuer, signingTime, reason,
# signatureMethod, digestMethods, canonicalization) only when not empty.
JSON_KEYS = ("status", "path", "trusted")
# Few enough paths per run for a Windows command line (32767 characters).
BATCH = 40


class Runner:
    def __init__(self, command, folder, windows):
        self.command, self.folder, self.windows = command, folder, windows

    def path(self, name):
        path = str(self.folder / name)
        return "Z:" + path.replace("/", "\\") if self.windows else path

    def run(self, options, names):
        result = subprocess.run(self.command + ["--verify", *options] + [self.path(n) for n in names],
                                capture_output=True, timeout=600)
        lines = result.stdout.decode("utf-8", "replace").replace("\r", "").splitlines()
        return result.returncode, lines, result.stderr.decode("utf-8", "replace").strip()


def check_json(runner, cases, failures):
    """Runs the JSON mode over every report; returns the objects by file name."""
    seen = {}
    for start in range(0, len(cases), BATCH):
        batch = cases[start:start + BATCH]
        code, lines, err = runner.run(["--json"], [c["file"] for c in batch])
        if len(lines) != len(batch):
            failures.append(("(json run)", "", f"{len(lines)} lines", f"for {len(batch)} reports, exit {code}: {err}"))
        for case, line in zip(batch, lines):
            try:
                seen[case["file"]] = json.loads(line)
            except ValueError:
                failures.append((case["file"], case["expect"], "not JSON", line[:80]))
    for case in cases:
        got = seen.get(case["file"])
        if got is None:
            continue
        status = got.get("status")
        problems = []
        missing = [k for k in JSON_KEYS if k not in got]
        if missing:
            problems.append("no " + ",".join(missing))
        if got.get("path") != runner.path(case["file"]):
            problems.append(f"path={got.get('path')}")
        if status == case["expect"] == "intact":
            if got.get("signer") != case["signer"]:
                problems.append(f"signer={got.get('signer')!r}")
            if not got.get("signingTime"):
                problems.append("no signingTime")
            for key, name in (("signatureMethod", "method"), ("digestMethods", "digest"), ("canonicalization", "c14n")):
                if got.get(key) != case[name]:
                    problems.append(f"{key}={got.get(key)}")
        if status in ("altered", "unknown") and not got.get("reason"):
            problems.append("no reason")
        if status != case["expect"] or problems:
            failures.append((case["file"], case["expect"], status, "; ".join(problems) or got.get("reason", "")))
    return seen


def check_text(runner, cases, by_json, failures):
    """The text lines must say what the JSON objects say."""
    for start in range(0, len(cases), BATCH):
        batch = cases[start:start + BATCH]
        _, lines, err = runner.run([], [c["file"] for c in batch])
        if len(lines) != len(batch):
            failures.append(("(text run)", "", f"{len(lines)} lines", f"for {len(batch)} reports: {err}"))
        for case, line in zip(batch, lines):
            parts = line.split("\t")
            status, path, *fields = parts + [""] * (2 - len(parts))
            values = dict(f.split("=", 1) for f in fields if "=" in f)
            expected = by_json.get(case["file"], {})
            problems = []
            if status != expected.get("status"):
                problems.append(f"status {status} vs JSON {expected.get('status')}")
            if path != runner.path(case["file"]):
                problems.append(f"path {path}")
            if values.get("signer", "") != (expected.get("signer") or ""):
                problems.append(f"signer={values.get('signer')!r}")
            if values.get("trusted") not in ("yes", "no"):
                problems.append(f"trusted={values.get('trusted')}")
            if status in ("altered", "unknown") and not values.get("reason"):
                problems.append("no reason=")
            if problems:
                failures.append((case["file"], "text line", status, "; ".join(problems)))


def check_exit_codes(runner, cases, failures):
    first = {}
    for case in cases:
        first.setdefault(case["expect"], case["file"])
    sets = [  # reports, expected exit status
        (["intact"], 0), (["intact", "altered"], 4), (["intact", "unknown"], 5),
        (["unknown", "altered", "intact"], 4), (["intact", None], 2),
    ]
    for statuses, expected in sets:
        names = [first[s] if s else "yok.Tolv" for s in statuses]
        code, _, err = runner.run([], names)
        if code != expected:
            failures.append(("(exit status)", str(expected), str(code), " ".join(s or "unreadable" for s in statuses)))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--windows-paths", action="store_true", help="pass the reports as Z:\\... paths")
    parser.add_argument("cases", type=pathlib.Path)
    parser.add_argument("command", nargs=argparse.REMAINDER)
    args = parser.parse_args()
    command = args.command[1:] if args.command[:1] == ["--"] else args.command
    manifest = json.loads((args.cases / "cases.json").read_text())
    cases = manifest["cases"]
    runner = Runner(command, args.cases.resolve(), args.windows_paths)

    failures = []
    by_json = check_json(runner, cases, failures)
    check_text(runner, cases, by_json, failures)
    check_exit_codes(runner, cases, failures)
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
