#!/usr/bin/env python3
"""verify_folder.py [--windows] CASES -- COMMAND...: builds a small archive
from reports make_signed.py wrote into CASES and runs `COMMAND --verify
[--json] [--jobs N] PATH...` over it: the lines in the order of a sequential
walk whatever N, control characters in names escaped, the summary on
standard error, the exit status, a FIFO and a device given by name, a
bad --jobs, and the progress line on a terminal. Prints one line per failure; exits 1 if there is any.

--windows passes Z:\\ paths (Wine).
"""
import argparse
import fcntl
import json
import os
import pathlib
import pty
import re
import select
import shutil
import struct
import subprocess
import sys
import tempfile
import termios

from verify_cases import CONTROL, escaped

# The archive in the order a walk must give it (entries by the bytes of their
# UTF-8 names: capitals before small letters, Turkish letters after them):
# its path, what it is made of, and the status of its line (None: no line).
TREE = [
    ("Zeynep.tolv", "intact", "intact"),
    ("a.tolv", "unknown", "unknown"),
    ("arşiv/2024/çizelge.tolv", "intact", "intact"),
    ("arşiv/2024/ölçüm.TOLV", "altered", "altered"),
    ("arşiv/boru.tolv", "fifo", None),
    ("arşiv/döngü", "loop", None),
    ("arşiv/bozuk.Tolv", "broken", "unreadable"),
    ("arşiv/eski.tolv.bak", "intact", None),
    ("arşiv/notlar.txt", "text", None),
    # a terminal's CSI, DEL and a right-to-left override in its name
    ("arşiv/\u009b2K\x7f\u202ebozuk.tolv", "broken", "unreadable"),
    ("kısayol.tolv", "link", None),
    ("İzmir/kilitli.tolv", "locked", "intact" if os.geteuid() == 0 else "unreadable"),
    ("İzmir/çağrı.tolv", "intact", "intact"),
]
# PATH arguments, the rows whose lines they give (None: all) and the exit status.
RUNS = [
    (["."], None, 4),
    (["İzmir", "arşiv/bozuk.Tolv", "Zeynep.tolv"], ["İzmir/", "arşiv/bozuk.Tolv", "Zeynep.tolv"], 2),
]
CONCLUSION = {"intact": "doğrulanamayan", "unknown": "doğrulanamayan", "altered": "geçersiz"}
SUMMARY = re.compile(r"tolv-extract: (\d+) rapor \d+,\d\d saniyede denetlendi: (\d+) sağlam, "
                     r"(\d+) değiştirilmiş, (\d+) denetlenemeyen, (\d+) okunamayan; "
                     r"(\d+) geçerli, (\d+) geçersiz, (\d+) doğrulanamayan")


def make_tree(root, cases_dir, cases):
    first = {}
    for case in cases:
        if case["method"] == "rsa-sha256" and case["key"] == "rsa":
            first.setdefault(case["expect"], case["file"])
    for path, source, _ in TREE:
        target = root / path
        target.parent.mkdir(parents=True, exist_ok=True)
        if source in ("link", "loop"):  # Wine shows both as reparse points
            target.symlink_to(root / ("arşiv" if source == "link" else ""), target_is_directory=True)
        elif source == "fifo":
            os.mkfifo(target)
        elif source in ("broken", "text"):
            target.write_text("<Rapor><ds:Signature>" if source == "broken" else "not a report\n")
        else:
            shutil.copy(cases_dir / first["intact" if source == "locked" else source], target)
            if source == "locked":
                target.chmod(0)
    return TREE


def expected(rows, selected):
    if selected is None:
        return [(r[2], r[0]) for r in rows if r[2]]
    return [(r[2], r[0]) for s in selected for r in rows if r[2] and r[0].startswith(s)]


def summary_of(lines):
    statuses = [s for s, _ in lines]
    count = lambda what: [s for s in statuses if CONCLUSION.get(s) == what]
    return (len(lines), statuses.count("intact"), statuses.count("altered"),
            statuses.count("unknown"), statuses.count("unreadable"), 0,
            len(count("geçersiz")), len(count("doğrulanamayan")))


def check_progress(command, report, folder, env, windows):
    """Over a thousand reports, standard error a terminal: the progress line
    changes at most four times a second, is never erased (by blanks, or by a
    console's erase sequence under Wine), and the summary
    writes over the last one. Under Wine the terminal is its console, which
    wine-run.sh's files are not: the program is started by wine itself, and
    the console's cursor sequences are dropped before reading."""
    folder.mkdir()
    for i in range(1000):
        os.link(report, folder / f"{i:04}.tolv")
    target = str(folder)
    if windows:
        env = dict(env, WINEPREFIX=command[1], WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=")
        command, target = ["wine"] + command[2:], "Z:" + target.replace("/", "\\")
    primary, secondary = pty.openpty()
    fcntl.ioctl(secondary, termios.TIOCSWINSZ, struct.pack("HHHH", 50, 250, 0, 0))  # no wrapping
    with open(folder.parent / "progress.out", "wb") as out:
        subprocess.run(command + ["--verify", "--jobs=1", target], stdin=subprocess.DEVNULL, stdout=out,
                       stderr=secondary, env=env, timeout=300)
    os.close(secondary)
    err = b""
    try:  # until a second goes by without more, or the terminal is gone (EIO)
        while select.select([primary], [], [], 1)[0] and (chunk := os.read(primary, 65536)):
            err += chunk
    except OSError:
        pass
    os.close(primary)
    err = re.sub(r"\x1b\[\?25[hl]", "", err.decode("utf-8", "replace"))
    shown = re.findall(r"(?:^|\r)tolv-extract: \d+ rapor denetlendi \(\d+ rapor/sn\)", err)
    seconds = re.search(r"(\d+),(\d\d) saniyede", err)
    most = 2 + 4 * float(".".join(seconds.groups())) if seconds else 0
    before_summary = err[:err.find("\rtolv-extract: 1000 rapor")]
    if not 1 <= len(shown) <= most or re.search(r"\r +\r|\x1b\[\d*K", before_summary) or \
            not re.search(r"rapor/sn\)\rtolv-extract: 1000 rapor", err):
        return [f"progress: {len(shown)} lines (at most {most:.0f}), {err[-300:]!r}"]
    return []


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--windows", action="store_true")
    parser.add_argument("cases", type=pathlib.Path)
    parser.add_argument("command", nargs=argparse.REMAINDER)
    args = parser.parse_args()
    command = args.command[1:] if args.command[:1] == ["--"] else args.command
    cases_dir = args.cases.resolve()
    cases = json.loads((cases_dir / "cases.json").read_text())["cases"]
    scratch = pathlib.Path(tempfile.mkdtemp(prefix="verify_folder-"))
    root = scratch / "arşiv-kökü"
    rows = make_tree(root, cases_dir, cases)
    sep = "\\" if args.windows else "/"
    native = lambda p: ("Z:" + str(root).replace("/", "\\") if args.windows else str(root)) + \
        ("" if p == "." else sep + p.rstrip("/").replace("/", sep))
    env = dict(os.environ, XDG_CONFIG_HOME=str(scratch / "config"))

    failures = []
    for paths, selected, code in RUNS:
        want = [(s, native(p)) for s, p in expected(rows, selected)]
        for options in ([], ["--jobs", "1"], ["--json", "--jobs", "3"], ["--jobs=16"]):
            result = subprocess.run(command + ["--verify", *options] + [native(p) for p in paths],
                                    capture_output=True, timeout=300, env=env)
            out = result.stdout.decode("utf-8", "replace").replace("\r\n", "\n").splitlines()
            err = result.stderr.decode("utf-8", "replace").replace("\r\n", "\n")
            if options[:1] == ["--json"]:
                got, expect = [(o["status"], o["path"]) for o in map(json.loads, out)], want
            else:
                got = [tuple(line.split("\t")[:2]) for line in out]
                expect = [(s, escaped(p)) for s, p in want]
            said = SUMMARY.search(err)
            problems = []
            if any(CONTROL.search(line) for line in out + err.splitlines()):
                problems.append("control characters in the output")
            if got != expect:
                problems.append("lines " + "; ".join(f"{s} {p[len(str(root)) + 1:]}" for s, p in got))
            if not said or tuple(map(int, said.groups())) != summary_of(want):
                problems.append(f"summary {err.splitlines()[-1:]}")
            if "\r" in err:
                problems.append("a progress line without a terminal")
            if result.returncode != code:
                problems.append(f"exit status {result.returncode}, not {code}")
            if problems:
                failures.append(f"{' '.join(options + paths)}: {', '.join(problems)}")
    # Given by name, a FIFO and a device are no reports either, and nothing waits for them.
    device = "NUL" if args.windows else "/dev/null"
    try:
        result = subprocess.run(command + ["--verify", native("arşiv/boru.tolv"), device],
                                capture_output=True, timeout=60, env=env)
        reasons = [line.split("\treason=")[-1] for line in result.stdout.decode().splitlines()]
    except subprocess.TimeoutExpired:
        result, reasons = None, ["waited for ever"]
    if not result or result.returncode != 2 or len(reasons) != 2 or \
            not all("düzenli bir dosya değil" in r for r in reasons):
        failures.append(f"a FIFO and {device} by name: {reasons}")
    for bad in (["--jobs", "0"], ["--jobs", "iki"], ["--jobs", "2000"], ["--jobs"], ["--jobs="]):
        result = subprocess.run(command + ["--verify", *bad], capture_output=True, timeout=60, env=env)
        if result.returncode != 2 or result.stdout or b"--jobs N" not in result.stderr:
            failures.append(f"{' '.join(bad)}: exit status {result.returncode}, out {result.stdout[:60]!r}")

    failures += check_progress(command, cases_dir / next(c["file"] for c in cases if c["expect"] == "intact"),
                               scratch / "ilerleme", env, args.windows)
    (root / "İzmir" / "kilitli.tolv").chmod(0o600)
    shutil.rmtree(scratch)
    for failure in failures:
        print(failure)
    print(f"verify_folder: {len(failures)} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
