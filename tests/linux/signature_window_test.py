#!/usr/bin/python3
"""tolv-viewer --imza end to end on a headless display: each row of WINDOWS
opens the "İmza bilgisi" window on a report (valid, invalid, indeterminate,
altered, unsigned; the long-term ones signed under the PKI of
tests/validation/longterm_cases.py, its CA in the user's trust folder), reads
it back through AT-SPI once any online question has ended (title, icon, the
verdict, the reason, the plain lines, the collapsed Ayrıntılar with the
details, the legal note, the buttons) and closes it with Kapat, Enter or Esc,
or with Raporu aç, when the report must reach the (fake) browser.
The rows of CERTIFICATE press "Sertifikayı göster": with a fake gcr-viewer
first on PATH, which records the private file it was given (the signer's
certificate and its CA's, named after the signer), and without one,
when an error box must say what to install.

Run by ctest through scripts/linux-bench.sh.
"""
import argparse
import base64
import json
import os
import pathlib
import re
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import signed_reports  # noqa: E402  (puts the validation tests on the path)
import online_cases  # noqa: E402
from desk import Desk, press, read_box, read_window, run_checks, run_viewer  # noqa: E402

TZ = "TRT-3"  # Istanbul's offset, without its rules
LEGAL = ("Bu bilgi imzanın hukuki geçerliliği hakkında bir karar değildir. Nitelik, sertifikanın "
         "kendi beyanıdır; güven listesine bakılmadı.")
BUTTONS = ["Sertifikayı göster", "Raporu aç", "Kapat"]
SIGNER = ["İmzalayan: Örnek İmzacı", "Nitelikli elektronik sertifika değil (sertifikanın beyanına göre)",
          "İmza zamanı: 01.01.2025 15:00 (UTC+03:00), zaman damgası: Tolv Zaman Damgası"]
ANCHOR = "Kimliği doğrulayan makam: Tolv Uzun Süreli Kök"
ASK_SENDER = "İçeriğine güvenmeyin; raporu gönderenden yeniden isteyin."
UNKNOWN_SIGNER = ("Sertifikasını bu bilgisayarın güvendiği bir makam vermemiş. Raporu gönderene sorun; "
                  "kurumunuzun kendi makamıysa yöneticiniz onu güvenilenlere ekleyebilir.")
NO_REVOCATION = "İptal durumu: öğrenilemedi (raporda iptal bilgisi yok)"
ANY = re.compile(".+")
NO_VIEWER = ("Sertifika gösterilemedi: sertifika gösterici (gcr-viewer) bulunamadı. Göstermek için "
             "gcr paketini kurun.")


def window(name, report, verdict, icon, lines, reason="", details=(), answer="Kapat",
           certificate=True, asked=False, **desk):
    """lines: the plain lines, each a text or a pattern. details: lines the
    details must hold. asked: whether the progress bar of the online question
    must have shown (None: not looked at)."""
    return dict(name=name, report=report, verdict=verdict, icon=icon, lines=lines, reason=reason,
                details=details, answer=answer, certificate=certificate, asked=asked, desk=desk)


WINDOWS = [
    window("valid: time-stamped, the report's own OCSP answer good", "lt-good", "İmza geçerli",
           "Güvenilir", SIGNER + ["İptal durumu: denetlendi, sertifika iptal edilmemiş (raporun kendi "
                                  "OCSP yanıtı)", ANCHOR],
           details=["Sonuç kodu: valid", "SHA-256 parmak izi: {fingerprint}"]),
    window("Raporu aç: the report in the browser, as a double-click shows it", "lt-good",
           "İmza geçerli", "Güvenilir", [ANY] * 5, answer="Raporu aç", browsers=["google-chrome"]),
    window("invalid: revoked before the time-stamp, closed with Enter", "lt-revoked-before-ts",
           "İmza geçersiz", "Güvenilmez",
           SIGNER + ["İptal durumu: sertifika 01.06.2024 03:00 (UTC+03:00) tarihinde iptal edilmiş "
                     "(raporun kendi OCSP yanıtı)", ANCHOR],
           reason="İmzalayanın sertifikası imzadan önce iptal edilmiş. " + ASK_SENDER,
           details=["Sonuç kodu: invalid / REVOKED"], answer="Return"),
    window("indeterminate: no revocation data, the administrator's OnlineRevocation=0 over the "
           "user's 1", "t-only", "Sertifikanın iptal edilip edilmediği öğrenilemedi", "Dikkat",
           SIGNER + [NO_REVOCATION, ANCHOR],
           reason="İnternete bağlıyken yeniden deneyin; sonuç değişmezse yöneticinize sorun.",
           details=["Sonuç kodu: indeterminate / TRY_LATER", "Teknik ayrıntı: raporda iptal bilgisi yok"],
           admin="[Viewer]\nOnlineRevocation=0\n", user="[Viewer]\nOnlineRevocation=1\n"),
    window("indeterminate: no revocation data, asked online while the window shows", "t-only",
           "Sertifikanın iptal edilip edilmediği öğrenilemedi", "Dikkat",
           SIGNER + ["İptal durumu: öğrenilemedi (çevrimiçi sorulamadı)", ANCHOR],
           reason=ANY, asked=None),
    window("valid once asked online: the signer's OCSP responder answers while the window shows",
           "ocsp-good", "İmza geçerli", "Güvenilir",
           ["İmzalayan: Çevrimiçi ocsp-good", SIGNER[1],
            re.compile(r"İptal durumu: denetlendi, sertifika iptal edilmemiş \(çevrimiçi soruldu, "
                       r"saat \d\d:\d\d \(UTC\+03:00\)\)"), ANCHOR],
           details=["Sonuç kodu: valid"], asked=True),
    window("indeterminate: self-signed, closed with Esc", "self-signed", "İmzalayanın kimliği doğrulanamadı",
           "Dikkat", ["İmzalayan: Örnek İmzacı (sertifikada yazan ad, doğrulanmadı)", ANY, ANY],
           reason=UNKNOWN_SIGNER,
           answer="Escape"),
    # Someone's own certificate claiming a real signer, T.C. number and qualification: the name alone.
    window("indeterminate: self-made in a real signer's name", "self-made-qualified",
           "İmzalayanın kimliği doğrulanamadı", "Dikkat",
           ["İmzalayan: Ayşe Yılmaz (sertifikada yazan ad, doğrulanmadı)", NO_REVOCATION],
           reason=UNKNOWN_SIGNER),
    window("altered, with the administrator's CheckSignature=0", "altered",
           "Rapor imzalandıktan sonra değiştirilmiş", "Güvenilmez",
           [ANY, ANY, "İmzalayanın kimliğini bu bilgisayarın güvendiği bir makam doğrulamıyor"],
           reason=ASK_SENDER,
           admin="[Viewer]\nCheckSignature=0\n"),
    window("unsigned: no certificate to show", "unsigned", "Bu raporda imza yok", "Dikkat", [],
           reason="Raporu kimin hazırladığı ve sonradan değiştirilip değiştirilmediği bilinemez. "
                  "İmzalı hâlini gönderenden isteyin.", certificate=False),
]

# name: whether a fake gcr-viewer is on PATH.
CERTIFICATE = {"Sertifikayı göster starts gcr-viewer on a private copy, gone when it ends": True,
               "Sertifikayı göster without gcr-viewer: a box says what to install": False}
# Copies earlier runs left in the runtime folder, by age: the old one goes at start.
COPIES = {"tolv-viewer-eski01": 2 * 24 * 3600, "tolv-viewer-yeni01": 3600}


def matches(expected, got):
    if isinstance(expected, re.Pattern):
        return got is not None and expected.fullmatch(got) is not None
    return expected == got


def make_reports(folder, samples):
    reports, ca = signed_reports.make(os.path.join(folder, "longterm"),
                                      ["lt-good", "lt-revoked-before-ts", "t-only", "self-made-qualified"])
    reports["self-signed"] = os.path.join(samples, "sample.Tolv")
    reports["altered"] = os.path.join(samples, "sample-altered.Tolv")
    unsigned = os.path.join(folder, "İmzasız.Tolv")
    with open(unsigned, "w", encoding="utf-8") as f:
        f.write('<?xml version="1.0" encoding="UTF-8"?>\n<Rapor><ds:Object xmlns:ds='
                '"http://www.w3.org/2000/09/xmldsig#" Encoding="base64">'
                + base64.b64encode(b"%PDF-1.4\n%%EOF\n").decode() + "</ds:Object></Rapor>\n")
    reports["unsigned"] = unsigned
    return reports, ca


def online_report(folder, keys):
    """A report by a signer whose certificate names an OCSP responder on the
    loopback address (tests/validation/online_cases.py), and that responder,
    which answers after 2 s so that the window is read while it asks."""
    work = pathlib.Path(folder)
    work.mkdir(parents=True, exist_ok=True)
    up, down = online_cases.free_port(), online_cases.free_port()
    online_cases.make_signers(pathlib.Path(keys), work, up, down)
    online_cases.sign(pathlib.Path(keys), work, "ocsp-good", work)
    run = online_cases.lt.run

    def slowly(*args, **options):
        if args[:2] == ("openssl", "ocsp"):
            time.sleep(2)
        return run(*args, **options)
    online_cases.lt.run = slowly
    return str(work / "ocsp-good.Tolv"), online_cases.serve(pathlib.Path(keys), work, up)


def fingerprint(certificate):
    out = subprocess.run(["openssl", "x509", "-in", certificate, "-noout", "-fingerprint",
                          "-sha256"], capture_output=True, text=True, check=True).stdout
    return out.strip().split("=", 1)[1]


def open_window(viewer, work, ca, report, answer, gcr_viewer=False, **settings):
    """Opens the window on a desk that trusts the long-term CA; answers
    (exit code, what the window showed, the viewer's output, the desk)."""
    desk = Desk(os.path.join(work, "desk"), desktop_app=False, trust=[ca], **settings)
    if gcr_viewer:
        os.symlink(os.path.join(HERE, "fake_gcr_viewer.py"), os.path.join(desk.bin, "gcr-viewer"))
        for name, age in COPIES.items():
            os.makedirs(os.path.join(desk.runtime, name), mode=0o700)
            open(os.path.join(desk.runtime, name, "imzalayan.crt"), "w").close()
            os.utime(os.path.join(desk.runtime, name), (time.time() - age,) * 2)
    code, shown, output = run_viewer(viewer, desk, ["--imza", report], answer=answer, env={"TZ": TZ},
                                     read=read_window)
    return code, shown, output, desk


def check_window(c, shown, report, signer_fingerprint):
    if shown is None:
        return ["no window"]
    problems = []
    expected = {"title": "İmza bilgisi: " + os.path.basename(report), "icons": [c["icon"]],
                "buttons": {b: c["certificate"] or b != BUTTONS[0] for b in BUTTONS},
                "expanders": {"Ayrıntılar": False}}
    problems += [f"{k} {shown[k]!r}, expected {v!r}" for k, v in expected.items() if shown[k] != v]
    if c["asked"] is not None and shown["asked"] != c["asked"]:
        problems.append("the online question " + ("did not show" if c["asked"] else "showed"))
    labels = [t for t in shown["labels"] if t != "Ayrıntılar"]  # the expander's own
    want = [c["verdict"]] + ([c["reason"]] if c["reason"] else [])
    got_lines = labels[len(want)].split("\n") if c["lines"] and len(labels) > len(want) else []
    if not all(matches(w, g) for w, g in zip(want, labels)) or len(labels) < len(want) + 2:
        problems.append(f"labels {labels}, expected {want} first")
    if len(got_lines) != len(c["lines"]) or not all(map(matches, c["lines"], got_lines)):
        problems.append(f"lines {got_lines}, expected {c['lines']}")
    details = labels[-2].split("\n") if len(labels) >= 2 else []
    for line in c["details"]:
        if line.format(fingerprint=signer_fingerprint.replace(":", " ")) not in details:
            problems.append(f"details {details} lack {line!r}")
    if not labels or labels[-1] != LEGAL:
        problems.append(f"the last label is {labels[-1:]}, expected the legal note")
    return problems


def check_case(c, viewer, work, reports, ca, signer_fingerprint):
    code, shown, output, desk = open_window(viewer, work, ca, reports[c["report"]], c["answer"],
                                            **c["desk"])
    problems = check_window(c, shown, reports[c["report"]], signer_fingerprint)
    if c["answer"] == "Raporu aç" and [r["program"] for r in desk.records()] != ["google-chrome"]:
        problems.append(f"the report was not shown: {desk.records()}")
    if code != 0:
        problems.append(f"exit code {code}")
    return problems + (["viewer said: " + output.strip()] if problems and output else [])


def check_certificate(with_viewer, viewer, work, reports, ca, signer_fingerprint):
    seen = {}

    def answer(process, nodes):
        press(nodes, "Sertifikayı göster")
        if with_viewer:
            deadline = time.time() + 10
            while not seen.get("records") and time.time() < deadline:
                seen["records"] = [r for r in desk_records() if r["program"] == "gcr-viewer"]
                time.sleep(0.2)
        else:
            seen["box"] = read_box(process, timeout=10)
        press(nodes, "Kapat")

    def desk_records():  # the desk of open_window, by its place
        log = os.path.join(work, "desk", "browser.log")
        if not os.path.exists(log):
            return []
        with open(log, encoding="utf-8") as f:
            return [json.loads(line) for line in f]

    code, shown, output, desk = open_window(viewer, work, ca, reports["lt-good"], answer,
                                            gcr_viewer=with_viewer)
    problems = [] if shown else ["no window"]
    if with_viewer:
        records = seen.get("records") or []
        record = records[0] if records else {}
        if len(records) != 1 or record.get("argv") != [record.get("path")]:
            problems.append(f"gcr-viewer started as {records}, expected once with one file")
        elif (record.get("mode"), record.get("folder_mode")) != (0o600, 0o700):
            problems.append(f"modes {record.get('mode')} {record.get('folder_mode')}, expected 0600 in 0700")
        if (os.path.basename(record.get("path", "")), record.get("certificates")) != ("Örnek İmzacı.pem", 2):
            problems.append(f"gcr-viewer got {record}, expected the signer's and the CA's as Örnek İmzacı.pem")
        if record.get("fingerprint") != signer_fingerprint:
            problems.append(f"gcr-viewer read {record.get('fingerprint')!r}, not the signer's certificate")
        # Closed before the viewer, the window's program still removes the copy when it ends.
        if record and os.path.exists(record["path"]):
            problems.append("the private copy stayed after gcr-viewer ended")
        if [n for n in COPIES if os.path.exists(os.path.join(desk.runtime, n))] != ["tolv-viewer-yeni01"]:
            problems.append(f"earlier copies left: {os.listdir(desk.runtime)}")
    else:
        box = seen.get("box")
        if not box or (box["kind"], box["text"], box["buttons"]) != ("Error", NO_VIEWER, ["OK"]):
            problems.append(f"box {box}, expected the error {NO_VIEWER!r}")
    if code != 0:
        problems.append(f"exit code {code}")
    return problems + (["viewer said: " + output.strip()] if problems and output else [])


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--viewer", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--samples", required=True, help="the signed sample reports")
    parser.add_argument("-k", default="", help="run only the cases whose name holds this")
    args = parser.parse_args()
    viewer = os.path.abspath(args.viewer)
    reports, ca = make_reports(os.path.join(args.work, "reports"), args.samples)
    keys = os.path.join(args.work, "reports", "longterm", "keys")
    signer = fingerprint(os.path.join(keys, "signer.pem"))
    reports["ocsp-good"], responder = online_report(os.path.join(args.work, "reports", "online"),
                                                    keys)
    checks = [(c["name"], lambda c=c: check_case(c, viewer, args.work, reports, ca, signer))
              for c in WINDOWS]
    checks += [(name, lambda w=w: check_certificate(w, viewer, args.work, reports, ca, signer))
               for name, w in CERTIFICATE.items()]
    status = run_checks(checks, args.k)
    responder.shutdown()
    return status


if __name__ == "__main__":
    sys.exit(main())
