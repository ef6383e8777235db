#!/usr/bin/python3
"""tolv-viewer end to end on a headless display: each row of CASES sets up a
scratch desk (settings files, fake browsers on PATH, a fake default PDF
application), opens a report and checks which program was started, with which
arguments and working folder, that it found the report's PDF byte for byte
where the settings put it, and which message box the user saw (read back
through AT-SPI, then answered with its OK button, or Evet or Hayır; every box
of file mode names the report). "İmza bilgisi" (--imza) has a window of its
own, tested in signature_window_test.py. Last, --help and --version.

Run by ctest through scripts/linux-bench.sh.
"""
import argparse
import base64
import hashlib
import os
import re
import shutil
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import signed_reports  # noqa: E402
from desk import Desk, TITLE, run_checks, run_viewer, sha256  # noqa: E402

CHROME_ALL = ("google-chrome-stable", "google-chrome", "chromium", "chromium-browser",
              "microsoft-edge-stable", "microsoft-edge")
REPORT_NAME = "Rapor #1 %50 ğüşİ ıÖ.Tolv"
FRAME = ["--window-size=1200,650", "--window-position=250,100"]

EXTRACTION_FAILED = "Tolv imza dosyasının PDF ayrıştırması başarısız."
BROWSER_FAILED = "Tarayıcı entegrasyonu başarısız."
UNEXPECTED = "Beklenmeyen hata: "
ALTERED_WARNING = ("Bu raporun imzası bozuk: rapor imzalandıktan sonra değiştirilmiş ya da imzası "
                   "zarar görmüş. İçeriğine güvenmeyin; raporu gönderenden yeniden isteyin.\n\nRapor yine de açılsın mı?")


def case(name, program=None, frame=False, pdf="private", exit_code=0, box=None, report="good",
         kept=(), answer=None, left=None, **desk):
    """kept: the files put in the private folder beforehand that must stay.
    left: what a run that showed nothing leaves where the PDF goes: "none" (the
    new private file is removed again) or "earlier" (an earlier desktop PDF)."""
    return dict(name=name, program=program, frame=frame, pdf=pdf, exit_code=exit_code, box=box,
                report=report, kept=kept, answer=answer, left=left, desk=desk)


def error_box(text):
    """text may name the desk's home folder as {home}."""
    return dict(kind="Error", icon="Error", text=text, title=TITLE)


DAY = 24 * 60 * 60


WARNING_BOX = dict(kind="Warning", icon="Warning", text=ALTERED_WARNING, title=TITLE,
                   buttons=["Hayır", "Evet"])
REVOKED_BOX = dict(WARNING_BOX, text="Bu raporu imzalayanın sertifikası imzadan önce iptal edilmiş. "
                   "İçeriğine güvenmeyin; raporu gönderenden yeniden isteyin.\n\nRapor yine de "
                   "açılsın mı?")
UNTRUSTED_BOX = dict(kind="Question", icon="Question", title=TITLE, buttons=["Hayır", "Evet"],
                     text="Bu raporun imzası güvenilen bir sertifika makamına dayanmıyor. İmzalayan olarak "
                     "görünen “Ayşe Yılmaz” adı doğrulanamadı; rapor bu kişiden gelmemiş olabilir.\n\n"
                     "Rapor yine de açılsın mı?")
QUESTION_BOX = dict(kind="Question", icon="Question", title=TITLE, buttons=["Hayır", "Evet"],
                    pattern="Bu raporun imzası denetlenemedi: [^\n]+[^.\n]\\. Raporun imzalayandan "
                    "geldiği ve sonradan değiştirilmediği doğrulanamadı\\.\n\nRapor yine de "
                    "açılsın mı\\?")


def info_box(kind, text):
    return dict(kind=kind, icon=kind, text=text, title=TITLE)


CASES = [
    # Defaults and the order of the browsers looked for.
    case("defaults: Chrome", "google-chrome-stable", browsers=CHROME_ALL),
    case("defaults: google-chrome", "google-chrome", browsers=CHROME_ALL[1:]),
    case("defaults: Chromium when Chrome is missing", "chromium",
         browsers=("chromium", "chromium-browser", "microsoft-edge-stable")),
    case("defaults: chromium-browser", "chromium-browser", browsers=("chromium-browser",)),
    case("defaults: no browser at all, the desktop's PDF application", "fake-pdf-app",
         browsers=("microsoft-edge-stable",)),
    case("defaults: no browser and no PDF application", None, exit_code=1,
         box=error_box(BROWSER_FAILED), desktop_app=False),
    # Each browser setting, with the frame off and on.
    case("Browser=chrome", "google-chrome-stable", browsers=CHROME_ALL,
         user="[Viewer]\nBrowser=chrome\n"),
    case("Browser=chrome, frame", "google-chrome-stable", frame=True, browsers=CHROME_ALL,
         user="[Viewer]\nBrowser=chrome\nFrame=1\n"),
    case("Browser=chrome: Chromium, frame", "chromium", frame=True, browsers=("chromium",),
         user="[Viewer]\nBrowser=chrome\nFrame=1\n"),
    case("Browser=edge", "microsoft-edge-stable", browsers=CHROME_ALL,
         user="[Viewer]\nBrowser=edge\nFrame=0\n"),
    case("Browser=edge, frame", "microsoft-edge-stable", frame=True, browsers=CHROME_ALL,
         user="[Viewer]\nBrowser=edge\nFrame=1\n"),
    case("Browser=edge: microsoft-edge, frame 2", "microsoft-edge", frame=True,
         browsers=("microsoft-edge", "chromium"), user="[Viewer]\nBrowser=edge\nFrame=2\n"),
    case("Browser=desktop", "fake-pdf-app", browsers=CHROME_ALL,
         user="[Viewer]\nBrowser=desktop\n"),
    case("Browser=desktop: no frame for an application", "fake-pdf-app", browsers=CHROME_ALL,
         user="[Viewer]\nBrowser=desktop\nFrame=1\n"),
    case("Browser=edge without Edge: browser missing", None, exit_code=1,
         box=error_box(BROWSER_FAILED), browsers=("chromium",), user="[Viewer]\nBrowser=edge\n"),
    case("Browser=chrome without Chrome: browser missing", None, exit_code=1,
         box=error_box(BROWSER_FAILED), browsers=("microsoft-edge-stable",),
         user="[Viewer]\nBrowser=chrome\n"),
    # The desktop copy.
    case("SavePDF=1: Desktop", "chromium", pdf="Desktop", browsers=("chromium",),
         user="[Viewer]\nSavePDF=1\n"),
    case("SavePDF=1: Turkish desktop folder", "chromium", pdf="Masaüstü",
         browsers=("chromium",), user="[Viewer]\nSavePDF=1\n", desktop_dir="Masaüstü"),
    case("SavePDF=yes over the administrator's 0: Desktop", "chromium", pdf="Desktop",
         browsers=("chromium",), user="[Viewer]\nSavePDF=yes\n", admin="[Viewer]\nSavePDF=0\n"),
    case("SavePDF=maybe falls through to the administrator's", "chromium", pdf="Desktop",
         browsers=("chromium",), user="[Viewer]\nSavePDF=maybe\n", admin="[Viewer]\nSavePDF=1\n"),
    case("box: the desktop copy cannot be written, and why", None, exit_code=1,
         box=error_box(EXTRACTION_FAILED + "\nPDF yazılamadı: {home}/Desktop/" + REPORT_NAME +
                       ".Pdf (bu bir klasör, dosya değil)"),
         browsers=("chromium",), user="[Viewer]\nSavePDF=1\n",
         folders=("home/Desktop/" + REPORT_NAME + ".Pdf",)),
    case("no runtime folder: cache folder", "chromium", pdf="cache", browsers=("chromium",),
         runtime=False),
    case("another user's runtime folder: cache folder", "chromium", pdf="cache",
         browsers=("chromium",), runtime_foreign=True),
    case("old files of the viewer go, young ones and others stay", "chromium", pdf="private2",
         browsers=("chromium",),
         private_files={"old.pdf": 2 * DAY, ".~tolv-0badf00d.tmp": 2 * DAY,
                        REPORT_NAME[:-5] + ".pdf": 3600, "notes.txt": 2 * DAY},
         kept=(REPORT_NAME[:-5] + ".pdf", "notes.txt")),
    # The desktop's PDF application started over D-Bus.
    case("D-Bus application: gets the file before the viewer ends", "fake-dbus-app",
         browsers=("microsoft-edge-stable",), desktop_app=False, dbus_app=True),
    case("box: D-Bus application that does not start", None, exit_code=1,
         box=error_box(BROWSER_FAILED), desktop_app=False, dbus_app="/bin/false"),
    # The administrator's file under the user's.
    case("admin file alone", "microsoft-edge-stable", frame=True, pdf="Desktop",
         browsers=CHROME_ALL, admin="[Viewer]\nBrowser=edge\nFrame=1\nSavePDF=1\n"),
    case("user file over admin file", "google-chrome-stable", pdf="Desktop",
         browsers=CHROME_ALL, admin="[Viewer]\nBrowser=edge\nFrame=1\nSavePDF=1\n",
         user="[Viewer]\nBrowser=chrome\nFrame=0\n"),
    case("broken user file: admin file", "microsoft-edge-stable", frame=True,
         browsers=CHROME_ALL, admin="[Viewer]\nBrowser=edge\nFrame=1\n",
         user=b"\x00\xff[Viewer\nBrowser=chrome"),
    case("nonsense browser in user file: admin's", "fake-pdf-app", browsers=CHROME_ALL,
         admin="[Viewer]\nBrowser=desktop\n", user="[Viewer]\nBrowser=firefox\n"),
    case("broken admin file: defaults", "google-chrome-stable", browsers=CHROME_ALL,
         admin="Browser=edge\nFrame=1\n[[[\n"),
    # Message boxes.
    case("box: no PDF in the report", None, exit_code=1, box=error_box(EXTRACTION_FAILED),
         report="nopdf", browsers=CHROME_ALL),
    case("box: no PDF in the report, SavePDF=1", None, exit_code=1,
         box=error_box(EXTRACTION_FAILED), report="nopdf", browsers=CHROME_ALL,
         user="[Viewer]\nSavePDF=1\n"),
    case("box: report not well-formed", None, exit_code=1,
         box=dict(kind=TITLE, icon=None, text=UNEXPECTED, prefix=True, title=TITLE),
         report="broken", browsers=CHROME_ALL),
    case("box: report missing", None, exit_code=1,
         box=dict(kind=TITLE, icon=None, text=UNEXPECTED + "Rapor dosyası okunamadı: ",
                  prefix=True, title=TITLE), report="missing", browsers=CHROME_ALL),
    case("box: browser exit code 1", "google-chrome-stable", exit_code=1,
         box=error_box(BROWSER_FAILED), browsers=CHROME_ALL, browser_exit=1),
    case("box: desktop application exit code 1", "fake-pdf-app", exit_code=1,
         box=error_box(BROWSER_FAILED), browser_exit=1),
    # The signature check: only an intact signature shows without asking, and
    # only Evet shows the others.
    case("signature: intact, no box", "chromium", report="intact", browsers=("chromium",)),
    case("signature: no signature at all, Evet shows it", "chromium", report="unsigned",
         box=QUESTION_BOX, answer="Evet", browsers=("chromium",)),
    case("signature: no signature at all, Hayır shows nothing", None, exit_code=1,
         report="unsigned", box=QUESTION_BOX, answer="Hayır", left="none", browsers=("chromium",)),
    case("signature: a DOCTYPE hides the change, Evet shows it", "chromium", report="doctype",
         box=QUESTION_BOX, answer="Evet", browsers=("chromium",)),
    case("signature: a DOCTYPE hides the change, Hayır keeps the earlier desktop PDF", None,
         exit_code=1, pdf="Desktop", report="doctype", box=QUESTION_BOX, answer="Hayır",
         left="earlier", browsers=("chromium",), user="[Viewer]\nSavePDF=1\n"),
    case("signature: the administrator's WarnUnverified=0 over the user's 1, no question",
         "chromium", report="doctype", browsers=("chromium",),
         admin="[Viewer]\nWarnUnverified=0\n", user="[Viewer]\nWarnUnverified=1\n"),
    case("signature: WarnUnverified=0, altered still warns", None, exit_code=1,
         report="altered", box=WARNING_BOX, answer="Hayır", left="none", browsers=("chromium",),
         admin="[Viewer]\nWarnUnverified=0\n"),
    case("signature: altered, Evet shows it", "chromium", report="altered", box=WARNING_BOX,
         answer="Evet", browsers=("chromium",)),
    case("signature: altered, Hayır shows nothing", None, exit_code=1, report="altered",
         box=WARNING_BOX, answer="Hayır", left="none", browsers=("chromium",)),
    case("signature: altered, Enter is Hayır", None, exit_code=1, report="altered",
         box=WARNING_BOX, answer="Return", left="none", browsers=("chromium",)),
    case("signature: altered, Esc is Hayır", None, exit_code=1, report="altered",
         box=WARNING_BOX, answer="Escape", left="none", browsers=("chromium",)),
    case("signature: altered, closing the box is Hayır", None, exit_code=1, report="altered",
         box=WARNING_BOX, answer="close", left="none", browsers=("chromium",)),
    case("signature: altered, Hayır keeps the earlier desktop PDF", None, exit_code=1,
         pdf="Desktop", report="altered", box=WARNING_BOX, answer="Hayır", left="earlier",
         browsers=("chromium",), user="[Viewer]\nSavePDF=1\n"),
    case("signature: CheckSignature=0, altered shown without a box", "chromium",
         report="altered", browsers=("chromium",), admin="[Viewer]\nCheckSignature=0\n"),
    case("signature: the user's own XDG_CONFIG_DIRS turns no policy off, altered still warns",
         None, exit_code=1, report="altered", box=WARNING_BOX, answer="Hayır", left="none",
         browsers=("chromium",), config_dirs="[Viewer]\nCheckSignature=0\nWarnUnverified=0\n"),
    # A signer whose certificate the report's own OCSP answer shows revoked
    # before signing: the altered report's warning, with its own text.
    case("signature: revoked before signing, Evet shows it", "chromium", report="revoked",
         box=REVOKED_BOX, answer="Evet", browsers=("chromium",)),
    case("signature: revoked before signing, Hayır shows nothing", None, exit_code=1,
         report="revoked", box=REVOKED_BOX, answer="Hayır", left="none", browsers=("chromium",)),
    case("signature: CheckSignature=0, revoked shown without a box", "chromium",
         report="revoked", browsers=("chromium",), admin="[Viewer]\nCheckSignature=0\n"),
    # Intact, but signed with someone's own certificate in a real signer's name.
    case("signature: a self-made certificate in a real signer's name, Hayır shows nothing", None,
         exit_code=1, report="forged", box=UNTRUSTED_BOX, answer="Hayır", left="none",
         browsers=("chromium",)),
    case("signature: the administrator's WarnUntrusted=0 over the user's 1, no question", "chromium",
         report="forged", browsers=("chromium",), admin="[Viewer]\nWarnUntrusted=0\n",
         user="[Viewer]\nWarnUntrusted=1\n"),
    case("signature: a self-made twin of the CA and its CRL listing the signer, no warning",
         "chromium", report="twin", browsers=("chromium",)),
]


def payload_of(report):
    """The PDF a report carries, read independently of the viewer."""
    with open(report, "rb") as f:
        data = f.read()
    match = re.search(rb'Encoding="[^"]*base64"[^>]*>(.*?)</ds:Object>', data, re.S)
    return base64.b64decode(re.sub(rb"\s", b"", match.group(1)))


def make_reports(folder, make_report, samples):
    os.makedirs(folder, exist_ok=True)
    good = os.path.join(folder, REPORT_NAME)
    payload = os.path.join(folder, "payload.pdf")
    # Signed for real, with a throwaway key: a report that cannot be checked asks first.
    key, cert = os.path.join(folder, "key.pem"), os.path.join(folder, "cert.pem")
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                    "-subj", "/CN=Test", "-keyout", key, "-out", cert], check=True,
                   capture_output=True)
    subprocess.run([sys.executable, make_report, good, "--write-pdf", payload, "--sign", key,
                    cert], check=True, stdout=subprocess.DEVNULL)
    nopdf = os.path.join(folder, "Boş.Tolv")
    with open(nopdf, "w", encoding="utf-8") as f:
        f.write('<?xml version="1.0" encoding="UTF-8"?>\n<ds:Signature '
                'xmlns:ds="http://www.w3.org/2000/09/xmldsig#"><ds:SignedInfo/>'
                '<ds:Object Id="o"/></ds:Signature>\n')
    broken = os.path.join(folder, "Bozuk.Tolv")
    with open(broken, "w", encoding="utf-8") as f:
        f.write('<?xml version="1.0"?>\n<ds:Signature><ds:Object Encoding="b64">JVBE\n')
    intact = os.path.join(folder, "İmzalı Rapor.Tolv")
    shutil.copyfile(os.path.join(samples, "sample.Tolv"), intact)
    altered = os.path.join(folder, "Değiştirilmiş Rapor.Tolv")
    shutil.copyfile(os.path.join(samples, "sample-altered.Tolv"), altered)
    unsigned = os.path.join(folder, "İmzasız.Tolv")
    with open(unsigned, "w", encoding="utf-8") as f:
        f.write('<?xml version="1.0" encoding="UTF-8"?>\n<Rapor><ds:Object xmlns:ds='
                '"http://www.w3.org/2000/09/xmldsig#" Encoding="base64">'
                + base64.b64encode(payload_of(intact)).decode() + "</ds:Object></Rapor>\n")
    # The changed report again, its check made impossible by one line.
    doctype = os.path.join(folder, "Belge Türü Eklenmiş.Tolv")
    with open(altered, "rb") as f:
        head, rest = f.read().split(b"?>", 1)
    with open(doctype, "wb") as f:
        f.write(head + b"?>\n<!DOCTYPE ds:Signature>" + rest)
    longterm, ca = signed_reports.make(os.path.join(folder, "longterm"),
                                       ["lt-revoked-before-ts", "self-made-qualified", "lt-good-twin-crl"])
    # File mode looks for the signer's issuer in the report alone.
    revoked = signed_reports.with_issuer(longterm["lt-revoked-before-ts"], ca,
                                         os.path.join(folder, "İptal Edilmiş.Tolv"))
    reports = dict(good=good, nopdf=nopdf, broken=broken, intact=intact, altered=altered,
                   unsigned=unsigned, doctype=doctype, missing=os.path.join(folder, "Yok.Tolv"),
                   revoked=revoked, forged=longterm["self-made-qualified"], twin=longterm["lt-good-twin-crl"],
                   anchors=[ca, cert, os.path.join(samples, "sample-signer.pem")])
    payloads = {name: hashlib.sha256(payload_of(path)).hexdigest() for name, path in reports.items()
                if name in ("intact", "altered", "unsigned", "doctype", "revoked", "forged", "twin")}
    payloads["good"] = sha256(payload)
    return reports, payloads


def expected_pdf(c, desk, report):
    stem, _ = os.path.splitext(os.path.basename(report))
    if c["pdf"] == "private":
        return os.path.join(desk.runtime, "tolv-viewer", stem + ".pdf")
    if c["pdf"] == "private2":
        return os.path.join(desk.runtime, "tolv-viewer", stem + " (2).pdf")
    if c["pdf"] == "cache":
        return os.path.join(desk.cache, "tolv-viewer", stem + ".pdf")
    return os.path.join(desk.home, c["pdf"], os.path.basename(report) + ".Pdf")


def check_box(expected, box):
    problems = []
    if expected is None:
        return [] if box is None else [f"unexpected box {box}"]
    if box is None:
        return ["no message box"]
    if expected.get("pattern"):
        text_ok = re.fullmatch(expected["pattern"], box["text"]) is not None
        expected = dict(expected, text="/" + expected["pattern"] + "/")
    else:
        text_ok = box["text"] == expected["text"] if not expected.get("prefix") else \
            box["text"].startswith(expected["text"]) and len(box["text"]) > len(expected["text"])
    if not text_ok:
        problems.append(f"text {box['text']!r}, expected {expected['text']!r}")
    if box["kind"] != expected["kind"]:
        problems.append(f"kind {box['kind']!r}, expected {expected['kind']!r}")
    icons = [expected["icon"]] if expected["icon"] else []
    if box["icons"] != icons:
        problems.append(f"icons {box['icons']}, expected {icons}")
    if box["title"] != expected["title"]:
        problems.append(f"title {box['title']!r}, expected {expected['title']!r}")
    buttons = expected.get("buttons", ["OK"])
    if box["buttons"] != buttons or box["windows"] != 1:
        problems.append(f"buttons {box['buttons']} in {box['windows']} windows, "
                        f"expected {buttons}")
    return problems


def left_files(c, desk):
    """What a run that wrote no PDF left: nothing in the private folders or on
    the desktop. And which of the files put in the private folder beforehand
    are not where they should be."""
    problems = []
    private = os.path.join(desk.runtime or desk.cache, "tolv-viewer")
    if c["report"] in ("nopdf", "broken", "missing") or c["left"] == "none":
        for folder in (private, os.path.join(desk.home, "Desktop")):
            if os.path.isdir(folder) and os.listdir(folder):
                problems.append(f"left {os.listdir(folder)} in {folder}")
    for name in c["desk"].get("private_files", {}):
        if os.path.exists(os.path.join(private, name)) != (name in c["kept"]):
            problems.append(f"{name} {'removed' if name in c['kept'] else 'kept'}")
    return problems


def check_earlier(pdf):
    """A run that showed nothing left an earlier desktop PDF as it was, and no
    scratch file beside it."""
    with open(pdf, "rb") as f:
        problems = [] if f.read() == b"%PDF-1.4 an earlier one" else ["the earlier desktop PDF changed"]
    others = sorted(set(os.listdir(os.path.dirname(pdf))) - {os.path.basename(pdf)})
    return problems + ([f"left beside the PDF: {others}"] if others else [])


def check_case(c, viewer, work, reports, payloads):
    # Every desk trusts the long-term cases' CA and the signers of the good
    # report and the samples: an intact report no anchor vouches for asks.
    desk = Desk(os.path.join(work, "desk"), trust=reports["anchors"], **c["desk"])
    report = reports.get(c["report"]) if c["report"] else None
    if c["left"] == "earlier":
        earlier = expected_pdf(c, desk, report)
        os.makedirs(os.path.dirname(earlier), exist_ok=True)
        with open(earlier, "wb") as f:
            f.write(b"%PDF-1.4 an earlier one")
    args = [report] if report else []
    bus = desk.start_bus() if c["desk"].get("dbus_app") else None
    try:
        code, box, output = run_viewer(viewer, desk, args, answer=c["answer"])
        # What the application got by the time the viewer ended.
        records = desk.records()
    finally:
        if bus:
            bus.terminate()
            bus.wait()
    expected_box = c["box"]
    if expected_box and box and isinstance(expected_box.get("text"), str):
        expected_box = dict(expected_box, text=expected_box["text"].replace("{home}", desk.home))
    if expected_box:  # file mode: the report's name above the text
        about = "Rapor: " + os.path.basename(report) + "\n\n"
        expected_box = dict(expected_box, text=about + expected_box.get("text", ""),
                            pattern=expected_box.get("pattern") and re.escape(about) +
                            expected_box["pattern"])
    problems = check_box(expected_box, box) + left_files(c, desk)
    if c["left"] == "earlier":
        problems += check_earlier(expected_pdf(c, desk, report))
    if code != c["exit_code"]:
        problems.append(f"exit code {code}, expected {c['exit_code']}")
    if c["program"] is None:
        if records:
            problems.append(f"started {records}")
    elif len(records) != 1:
        problems.append(f"{len(records)} programs started, expected {c['program']}")
    else:
        record = records[0]
        pdf = expected_pdf(c, desk, report)
        url = "file://" + "".join(
            ch if ch.isascii() and (ch.isalnum() or ch in "/-._~()") else
            "".join(f"%{b:02X}" for b in ch.encode()) for ch in pdf)
        if record["program"] != c["program"]:
            problems.append(f"started {record['program']}, expected {c['program']}")
        if c["program"] == "fake-pdf-app":
            argv = [pdf]
        elif c["program"] == "fake-dbus-app":
            argv = [url]
        else:
            argv = FRAME + ["--app=" + url] if c["frame"] else [url]
            if record["cwd"] != desk.home:
                problems.append(f"browser ran in {record['cwd']}, expected the home folder")
        if record["argv"] != argv:
            problems.append(f"argv {record['argv']}, expected {argv}")
        if record["sha256"] != payloads[c["report"]]:
            problems.append(f"the browser found {record.get('error') or 'another PDF'} "
                            f"at {record['path']}")
        # Private, or on the desktop of a home folder others may enter.
        if record["mode"] != 0o600:
            problems.append(f"PDF mode {oct(record['mode'] or 0)}, expected 0o600")
        if os.stat(os.path.dirname(pdf)).st_mode & 0o777 != 0o700:
            problems.append("the PDF's folder is not 0700")
    if problems and output:
        problems.append("viewer said: " + output.strip())
    return problems


OPTIONS = {"--help": r"kullanım: tolv-viewer RAPOR\.Tolv .*--version\n",
           "--version": r"tolv-viewer \d+\.\d\d\n"}


def check_options(viewer):
    """Each the only argument: standard output, status 0, and no box (which
    without a display would go to standard error)."""
    runs = {o: subprocess.run([viewer, o], capture_output=True, text=True, env={}) for o in OPTIONS}
    return [f"{o}: status {r.returncode}, said {r.stdout + r.stderr!r}" for o, r in runs.items()
            if r.returncode or r.stderr or not re.fullmatch(OPTIONS[o], r.stdout, re.S)]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--viewer", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--make-report", required=True)
    parser.add_argument("--samples", required=True, help="the signed sample reports")
    parser.add_argument("-k", default="", help="run only the cases whose name holds this")
    args = parser.parse_args()
    args.viewer = os.path.abspath(args.viewer)
    reports, payloads = make_reports(os.path.join(args.work, "reports"), args.make_report,
                                     args.samples)
    checks = [(c["name"], lambda c=c: check_case(c, args.viewer, args.work, reports, payloads))
              for c in CASES]
    checks.append(("--help and --version", lambda: check_options(args.viewer)))
    return run_checks(checks, args.k)


if __name__ == "__main__":
    sys.exit(main())
