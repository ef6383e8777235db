#!/usr/bin/python3
"""The Debian package through the desktop, without changing the machine: the
built .deb is unpacked into a scratch root, the scratch desk's XDG folders and
PATH point there, its MIME and desktop caches are made, and a report with a
Turkish name holding blanks, '#' and '%' is opened with `gio open`, as a
double-click does: the viewer must start the fake browser on a PDF identical
to the report's payload, and end. `gio info` must call .tolv, .Tolv and .TOLV
files application/x-tolv. "Tolv İmza Bilgisi" must be among the applications
for it ("Open with") without being the default, even once a file manager put
it first among the user's associations, and `gio launch` of its entry
with the report must open the "İmza bilgisi" window on it.

Run by ctest through scripts/linux-bench.sh, after the package test.
"""
import argparse
import glob
import os
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from desk import Desk, read_window, sha256  # noqa: E402

REPORT_NAME = "Ödeme #3 %50 İndirim ğüş.Tolv"
results = []


def check(name, ok, detail=""):
    results.append(ok)
    print(("ok   " if ok else "FAIL ") + name + ("" if ok or not detail else f": {detail}"))
    sys.stdout.flush()


def viewers_running(program):
    running = []
    for exe in glob.glob("/proc/[0-9]*/exe"):
        try:
            if os.readlink(exe) == program:
                running.append(exe.split("/")[2])
        except OSError:
            pass
    return running


class Running:
    """A process this test did not start, as read_window watches one."""
    def __init__(self, pid):
        self.pid = int(pid)

    def poll(self):
        return None if os.path.exists(f"/proc/{self.pid}") else 0


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--package-dir", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--make-report", required=True)
    args = parser.parse_args()

    debs = glob.glob(os.path.join(args.package_dir, "tolv-viewer_2.00-1_*.deb"))
    if len(debs) != 1:
        print(f"FAIL no package in {args.package_dir}: run the linux_package test first")
        return 1
    # The report's signature is made up: without the switch (the user's, where
    # the package's administrator in /etc says nothing) the viewer would ask
    # before showing it.
    desk = Desk(os.path.join(args.work, "desk"),
                browsers=("google-chrome-stable", "chromium", "microsoft-edge-stable"),
                user="[Viewer]\nWarnUnverified=0\n")
    root = os.path.join(desk.root, "root")
    subprocess.run(["dpkg-deb", "-x", debs[0], root], check=True)
    share = os.path.join(root, "usr/share")
    desk.extra_path = [os.path.join(root, "usr/bin")]
    env = desk.env()
    env["XDG_DATA_DIRS"] = share + ":" + desk.system
    subprocess.run(["/usr/bin/update-mime-database", os.path.join(share, "mime")], check=True, env=env)
    subprocess.run(["/usr/bin/update-desktop-database", os.path.join(share, "applications")], check=True,
                   env=env)

    folder = os.path.join(desk.home, "İndirilenler #2 %")
    os.makedirs(folder)
    report = os.path.join(folder, REPORT_NAME)
    payload = os.path.join(args.work, "payload.pdf")
    subprocess.run([sys.executable, args.make_report, report, "--write-pdf", payload],
                   check=True, stdout=subprocess.DEVNULL)

    for suffix in (".tolv", ".Tolv", ".TOLV"):
        copy = os.path.join(folder, "kopya" + suffix)
        shutil.copyfile(report, copy)
        out = subprocess.run(["/usr/bin/gio", "info", "-a", "standard::content-type", copy],
                             env=env, capture_output=True, text=True).stdout
        check(f"gio info: {suffix} is application/x-tolv",
              "standard::content-type: application/x-tolv" in out, out.strip())
    out = subprocess.run(["/usr/bin/gio", "mime", "application/x-tolv"], env=env,
                         capture_output=True, text=True).stdout
    first = out.splitlines()[0] if out else ""
    check("gio mime: the viewer is the default for application/x-tolv",
          first.endswith(": tr.org.tolv.Viewer.desktop"), out.strip())

    check("gio mime: Tolv İmza Bilgisi is offered for application/x-tolv",
          "tr.org.tolv.Viewer.imza.desktop" in out.split("Registered applications:")[-1], out)
    # What Thunar keeps of one "Open With → Tolv İmza Bilgisi": the entry first
    # among the user's associations. The package's default still wins.
    with open(os.path.join(desk.config, "mimeapps.list"), "w", encoding="utf-8") as f:
        f.write("[Added Associations]\napplication/x-tolv=tr.org.tolv.Viewer.imza.desktop;\n")
    out = subprocess.run(["/usr/bin/gio", "mime", "application/x-tolv"], env=env,
                         capture_output=True, text=True).stdout
    check("gio mime: the viewer stays the default after Open With → Tolv İmza Bilgisi",
          out.splitlines()[0].endswith(": tr.org.tolv.Viewer.desktop") if out else False, out.strip())
    program = os.path.join(root, "usr/bin/tolv-viewer")
    launched = subprocess.run(["/usr/bin/gio", "launch", os.path.join(
        share, "applications/tr.org.tolv.Viewer.imza.desktop"), report], env=env,
        # not captured: the viewer would hold the pipe open until it ends
        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)
    deadline = time.time() + 30
    while not viewers_running(program) and time.time() < deadline:
        time.sleep(0.2)
    pids = viewers_running(program)
    shown = read_window(Running(pids[0]), answer="Kapat") if pids else None
    check("gio launch of Tolv İmza Bilgisi opens the window on the report",
          launched.returncode == 0 and shown is not None and
          shown["title"] == "İmza bilgisi: " + REPORT_NAME, f"status {launched.returncode} {shown}")
    deadline = time.time() + 15
    while viewers_running(program) and time.time() < deadline:
        time.sleep(0.2)
    check("the window's viewer ended after Kapat", not viewers_running(program))

    opened = subprocess.run(["/usr/bin/gio", "open", report], env=env, capture_output=True,
                            text=True, timeout=60)
    check("gio open starts the viewer", opened.returncode == 0, opened.stderr.strip())
    deadline = time.time() + 30
    while not desk.records() and time.time() < deadline:
        time.sleep(0.2)
    records = desk.records()
    check("the viewer started Chrome once", [r["program"] for r in records] ==
          ["google-chrome-stable"], str(records))
    if records:
        record = records[0]
        expected = os.path.join(desk.runtime, "tolv-viewer",
                                os.path.splitext(REPORT_NAME)[0] + ".pdf")
        check("Chrome got the PDF's file:// URL", record["path"] == expected and
              record["argv"] == [record["argv"][0]] and record["argv"][0].startswith("file:///")
              and " " not in record["argv"][0], str(record))
        check("the PDF is the report's payload, byte for byte",
              record["sha256"] == sha256(payload), str(record))
    deadline = time.time() + 15
    while viewers_running(program) and time.time() < deadline:
        time.sleep(0.2)
    check("the viewer ended after the browser", not viewers_running(program))

    passed = sum(results)
    print(f"{passed} passed, {len(results) - passed} failed")
    return 0 if all(results) and results else 1


if __name__ == "__main__":
    sys.exit(main())
