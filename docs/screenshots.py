#!/usr/bin/env python3
"""docs/screenshots.py VIEWER WORK: the Linux "İmza bilgisi" window for each
kind of verdict, as PNG files in docs/ (run it under scripts/linux-bench.sh,
which gives it a display and the accessibility bus). The reports are the
long-term validation cases' and the samples, on a desk that trusts the
cases' CA."""
import os
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "linux"))
import signed_reports  # noqa: E402
from desk import Desk, press, read_window, run_viewer  # noqa: E402

# picture: (report, where it comes from)
SHOTS = {
    "valid": ("lt-good", "cases"),
    "invalid": ("lt-revoked-before-ts", "cases"),
    "altered": ("sample-altered.Tolv", "samples"),
    "untrusted": ("self-made-qualified", "cases"),
    "revocation-unknown": ("t-only", "cases"),
    "weak-chain": ("weak-inter", "cases"),
}


def shoot(process, _nodes, out):
    window = subprocess.run(["xdotool", "search", "--sync", "--pid", str(process.pid), "--name", "İmza"],
                            capture_output=True, text=True).stdout.split()[-1]
    subprocess.run(["import", "-window", window, out], check=True)
    press(_nodes, "Kapat")


def main(viewer, work):
    names = [report for report, kind in SHOTS.values() if kind == "cases"]
    reports, ca = signed_reports.make(os.path.join(work, "longterm"), names)
    samples = os.path.join(HERE, "..", "samples")
    for picture, (report, kind) in SHOTS.items():
        path = reports[report] if kind == "cases" else os.path.join(samples, report)
        desk = Desk(os.path.join(work, "desk"), desktop_app=False, trust=[ca],
                    user="[Viewer]\nOnlineRevocation=0\n")
        # The verdict icons, as the package installs them.
        icons = os.path.join(desk.data, "icons", "hicolor", "scalable", "status")
        os.makedirs(icons)
        for verdict in ("Valid", "Invalid", "Unverified", "Altered"):
            os.symlink(os.path.join(HERE, "..", "windows", "resources", "icon", f"Tolv.Verdict.{verdict}.svg"),
                       os.path.join(icons, f"tr.org.tolv.Viewer-{verdict.lower()}.svg"))
        out = os.path.join(HERE, f"linux-{picture}.png")
        run_viewer(viewer, desk, ["--imza", path], env={"TZ": "Europe/Istanbul"},
                   read=lambda p, answer=None: read_window(p, answer=lambda p2, n: shoot(p2, n, out)))
        print(out)


if __name__ == "__main__":
    main(*sys.argv[1:3])
