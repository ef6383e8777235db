#!/usr/bin/python3
"""The preferences window of tolv-viewer, driven through the accessibility
bus as a person would: the real program, its real GTK window, real keys.

Run inside a desktop session (scripts/linux-bench.sh gives one on a headless
display): TOLV_VIEWER names the program, TOLV_SAMPLE a report, TOLV_ARTIFACTS
the folder the screenshots go to.
"""
import configparser
import os
import pathlib
import shutil
import stat
import subprocess
import sys
import tempfile
import time
import unittest

import pyatspi

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from desk import KEYSYM, close_windows  # noqa: E402

VIEWER = os.environ["TOLV_VIEWER"]
SAMPLE = os.environ["TOLV_SAMPLE"]
ARTIFACTS = pathlib.Path(os.environ.get("TOLV_ARTIFACTS", "."))

TITLE = "TolvViewer - Tercihler"
CHROME, EDGE, DESKTOP = "Google Chrome", "Microsoft Edge", "Masaüstünün PDF uygulaması"
SAVE_PDF = "Çıktı dosyasını masaüstünde PDF olarak oluştur"
FRAME = "Ayrı çerçevede göster"
ABOUT_TEXT = ("TolvViewer Tarayıcı Versionu 2.0\nGeliştiren: TolvViewer açık kaynak ekibi\n"
              "İletişim: destek@tolvviewer.example")

FAKE_BROWSER = """#!/bin/sh
# Records how it was started and what the PDF held at that moment.
log="$TOLV_FAKE_LOG"
{ printf 'program=%s\\n' "$(basename "$0")"; for a in "$@"; do printf 'arg=%s\\n' "$a"; done; } >>"$log"
exit 0
"""


def wait_for(what, timeout=15.0, step=0.1):
    end = time.monotonic() + timeout
    while True:
        result = what()
        if result or time.monotonic() > end:
            return result
        time.sleep(step)


def descendants(accessible):
    for child in accessible:
        if child is None:
            continue
        yield child
        yield from descendants(child)


class Session:
    """One user: a home, settings folders, a PATH with fake browsers."""

    def __init__(self, browsers=("google-chrome-stable",)):
        self.root = pathlib.Path(tempfile.mkdtemp(prefix="tolv-prefs-"))
        self.home = self.root / "home"
        self.config = self.home / ".config"
        self.admin = self.root / "xdg"
        self.bin = self.root / "bin"
        for folder in (self.home, self.config, self.admin, self.bin):
            folder.mkdir(parents=True)
        for name in browsers:
            path = self.bin / name
            path.write_text(FAKE_BROWSER)
            path.chmod(0o755)
        self.log = self.root / "browser.log"
        self.env = dict(os.environ, HOME=str(self.home), XDG_CONFIG_HOME=str(self.config),
                        XDG_CONFIG_DIRS=str(self.admin), XDG_DATA_HOME=str(self.root / "data"),
                        XDG_CACHE_HOME=str(self.root / "cache"),
                        PATH=f"{self.bin}:/usr/bin:/bin", TOLV_FAKE_LOG=str(self.log))
        self.processes = []

    @property
    def user_file(self):
        return self.config / "tolv-viewer" / "settings.ini"

    def write(self, folder, text):
        path = folder / "tolv-viewer" / "settings.ini"
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_text(text)

    def start(self, *args, **env):
        process = subprocess.Popen([VIEWER, *args], env=dict(self.env, **env))
        self.processes.append(process)
        return process

    def close(self):
        for process in self.processes:
            if process.poll() is None:
                process.kill()
                process.wait()
        subprocess.run(["chattr", "-R", "-i", str(self.root)], stderr=subprocess.DEVNULL)
        for path in self.root.rglob("*"):
            if path.is_dir():
                path.chmod(0o700)
        shutil.rmtree(self.root)


class Window:
    """The preferences window of one process, read over the accessibility bus."""

    def __init__(self, process):
        self.process = process
        self.frame = wait_for(lambda: self._find_frame(TITLE))
        if not self.frame:
            raise AssertionError("the preferences window did not appear")

    def _app(self):
        for app in pyatspi.Registry.getDesktop(0):
            if app is not None and app.get_process_id() == self.process.pid:
                return app
        return None

    def _find_frame(self, title):
        app = self._app()
        if app is None:
            return None
        return next((w for w in app if w is not None and w.name == title), None)

    def control(self, role, name):
        found = [a for a in descendants(self.frame)
                 if a.getRoleName() == role and a.name.startswith(name)]
        assert len(found) == 1, f"{role} {name!r}: {len(found)} found"
        return found[0]

    def controls(self):
        wanted = ("label", "panel", "radio button", "check box", "push button")
        return [(a.getRoleName(), a.name) for a in descendants(self.frame)
                if a.getRoleName() in wanted and not (a.getRoleName() == "label"
                                                      and a.parent.getRoleName() == "panel")]

    def checked(self, role, name):
        return self.control(role, name).getState().contains(pyatspi.STATE_CHECKED)

    def browser(self):
        chosen = [name for name in (CHROME, EDGE, DESKTOP) if self.checked("radio button", name)]
        assert len(chosen) == 1, chosen
        return chosen[0]

    def click(self, role, name):
        self.control(role, name).queryAction().doAction(0)

    def key(self, keysym):
        wait_for(lambda: self.frame.getState().contains(pyatspi.STATE_ACTIVE), timeout=5)
        pyatspi.Registry.generateKeyboardEvent(keysym, None, pyatspi.KEY_SYM)

    def box(self):
        """The message box open over the window: its title, icon kind, text and
        buttons, and the box itself."""
        box = wait_for(self._find_box)
        if not box:
            return None
        title = wait_for(lambda: self._window_titles() - {TITLE})
        return {
            "title": sorted(title),
            "icon": [a.name for a in descendants(box) if a.getRoleName() == "icon"],
            "text": [a.name for a in descendants(box) if a.getRoleName() == "label" and a.name],
            "buttons": [a for a in descendants(box) if a.getRoleName() == "push button"],
        }

    def _find_box(self):
        app = self._app()
        if app is None:
            return None
        return next((w for w in app if w is not None and w.getRoleName() == "alert"), None)

    def _window_titles(self):
        result = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid",
                                 str(self.process.pid), "--name", "."],
                                capture_output=True, text=True)
        titles = set()
        for window_id in result.stdout.split():
            name = subprocess.run(["xdotool", "getwindowname", window_id],
                                  capture_output=True, text=True).stdout.strip()
            titles.add(name)
        return titles

    def ended(self, timeout=10):
        try:
            return self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            return None

    def window_ids(self):
        ids = wait_for(lambda: subprocess.run(
            ["xdotool", "search", "--onlyvisible", "--pid", str(self.process.pid), "--name",
             f"^{TITLE}$"], capture_output=True, text=True).stdout.split())
        assert ids, "no X window of the preferences"
        return ids

    def window_id(self):
        return self.window_ids()[-1]


def read_settings(path):
    parser = configparser.ConfigParser(interpolation=None)
    parser.optionxform = str
    parser.read(path, encoding="utf-8")
    return dict(parser["Viewer"]) if parser.has_section("Viewer") else {}


class PreferencesWindowTest(unittest.TestCase):
    def setUp(self):
        self.session = Session()
        self.addCleanup(self.session.close)

    def open(self, session=None, **env):
        session = session or self.session
        return Window(session.start(**env))

    def test_controls_texts_focus_and_mnemonics(self):
        window = self.open()
        self.assertEqual(window.controls(), [
            ("label", "Kurulum paketi, imzalı rapor tolv dosyalarını 'TolvViewer' ile "
                      "ilişkilendirdi. İmzalı dosya içeriklerini görmek için üzerlerine "
                      "çift tıklatın."),
            ("panel", "PDF Gösterimi Kullanılacak Tarayıcı"),
            ("radio button", CHROME),
            ("radio button", EDGE + " (kurulu değil)"),
            ("radio button", window.control("radio button", DESKTOP).name),
            ("check box", SAVE_PDF),
            ("check box", FRAME),
            ("push button", "Hakkında"),
            ("push button", "Kaydet"),
            ("push button", "İptal"),
        ])
        self.assertTrue(window.control("check box", SAVE_PDF).getState().contains(
            pyatspi.STATE_FOCUSED))
        self.assertTrue(window.control("push button", "Kaydet").getState().contains(
            pyatspi.STATE_IS_DEFAULT))
        for name, key in (("Hakkında", "<Alt>h"), ("Kaydet", "<Alt>k"), ("İptal", "<Alt>Iabovedot")):
            binding = window.control("push button", name).queryAction().getKeyBinding(0)
            self.assertEqual(binding, key, name)
        window.click("push button", "İptal")
        self.assertEqual(window.ended(), 0)

    def test_first_choice_names_chromium_where_it_stands_in_for_chrome(self):
        session = Session(browsers=("chromium",))
        self.addCleanup(session.close)
        window = self.open(session)
        self.assertEqual(window.controls()[2], ("radio button", "Chromium"))
        self.assertTrue(window.checked("radio button", "Chromium"))
        window.click("push button", "İptal")
        self.assertEqual(window.ended(), 0)

    def test_loads_user_settings_over_administrator_defaults(self):
        cases = [
            # name, user file, administrator file, browser, save PDF, frame
            ("none", None, None, CHROME, False, False),
            ("user only", "[Viewer]\nBrowser=edge\nSavePDF=1\nFrame=0\n", None, EDGE, True, False),
            ("administrator only", None, "[Viewer]\nBrowser=desktop\nFrame=1\n", DESKTOP, False, True),
            ("both", "[Viewer]\nBrowser=chrome\nSavePDF=0\n",
             "[Viewer]\nBrowser=edge\nSavePDF=1\nFrame=2\n", CHROME, False, True),
            ("broken browser value", "[Viewer]\nBrowser=firefox\n",
             "[Viewer]\nBrowser=edge\n", EDGE, False, False),
            ("unreadable user file", "\x00\x01 not a key file [[[\n",
             "[Viewer]\nSavePDF=1\n", CHROME, True, False),
        ]
        for name, user, admin, browser, save_pdf, frame in cases:
            with self.subTest(name):
                session = Session()
                self.addCleanup(session.close)
                if user is not None:
                    session.write(session.config, user)
                if admin is not None:
                    session.write(session.admin, admin)
                before = session.user_file.read_bytes() if user is not None else None
                window = self.open(session)
                self.assertEqual(window.browser(), browser)
                self.assertEqual(window.checked("check box", SAVE_PDF), save_pdf)
                self.assertEqual(window.checked("check box", FRAME), frame)
                window.click("push button", "İptal")
                self.assertEqual(window.ended(), 0)
                after = session.user_file.read_bytes() if session.user_file.exists() else None
                self.assertEqual(after, before, "loading wrote to the user's file")

    def test_save_writes_the_choice_and_file_mode_uses_it(self):
        session = Session(browsers=("google-chrome-stable", "microsoft-edge-stable"))
        self.addCleanup(session.close)
        session.write(session.config, "# kurumun notu\n[Viewer]\nBrowser=chrome\nSavePDF=0\n")
        window = self.open(session)
        window.click("radio button", EDGE)
        window.click("check box", SAVE_PDF)
        window.click("check box", FRAME)
        window.click("push button", "Kaydet")
        self.assertEqual(window.ended(), 0)
        self.assertEqual(read_settings(session.user_file),
                         {"Browser": "edge", "SavePDF": "1", "Frame": "1"})
        self.assertIn("# kurumun notu", session.user_file.read_text())
        self.assertEqual(list(session.user_file.parent.iterdir()), [session.user_file])

        report = session.root / "rapor.Tolv"
        shutil.copy(SAMPLE, report)
        # Its signer as the user's anchor: a report no anchor vouches for asks first.
        trust = session.config / "tolv-viewer" / "trust"
        trust.mkdir()
        shutil.copy(pathlib.Path(SAMPLE).with_name("sample-signer.pem"), trust)
        viewer = session.start(str(report))
        self.assertEqual(viewer.wait(timeout=60), 0)
        log = session.log.read_text().splitlines()
        self.assertEqual(log[0], "program=microsoft-edge-stable")
        self.assertIn("arg=--window-size=1200,650", log)
        pdf = session.home / "Desktop" / "rapor.Tolv.Pdf"
        self.assertIn("arg=--app=file://" + str(pdf), log)

    def test_cancel_escape_and_closing_write_nothing(self):
        for way in ("İptal", "Escape", "close"):
            with self.subTest(way):
                session = Session()
                self.addCleanup(session.close)
                session.write(session.config, "[Viewer]\nBrowser=chrome\n")
                before = session.user_file.read_bytes()
                window = self.open(session)
                window.click("check box", FRAME)
                window.click("radio button", EDGE)
                if way == "İptal":
                    window.click("push button", "İptal")
                elif way == "Escape":
                    window.key(KEYSYM["Escape"])
                else:
                    # Asked once the window has the focus, and again while it
                    # stays: on a loaded machine a request may come before the
                    # window can take one. A window that never goes fails.
                    self.assertTrue(wait_for(lambda: window.frame.getState().contains(
                        pyatspi.STATE_ACTIVE)), "the window never got the focus")
                    deadline = time.monotonic() + 30
                    while True:
                        try:
                            close_windows(window.window_ids())
                        except AssertionError:
                            pass  # gone already
                        if window.ended(timeout=2) is not None or time.monotonic() > deadline:
                            break
                self.assertEqual(window.ended(timeout=1), 0)
                self.assertEqual(session.user_file.read_bytes(), before)
                self.assertEqual(len(list(session.user_file.parent.iterdir())), 1)

    def test_enter_on_a_check_box_saves(self):
        window = self.open()
        window.click("check box", FRAME)
        window.key(KEYSYM["Return"])
        self.assertEqual(window.ended(), 0)
        self.assertEqual(read_settings(self.session.user_file),
                         {"Browser": "chrome", "SavePDF": "0", "Frame": "1"})

    def test_about_box_leaves_the_window_open(self):
        window = self.open()
        window.click("push button", "Hakkında")
        box = window.box()
        self.assertIsNotNone(box, "no About box")
        self.assertEqual((box["title"], box["icon"], box["text"], len(box["buttons"])),
                         (["Hakkında"], ["Information"], [ABOUT_TEXT], 1))
        box["buttons"][0].queryAction().doAction(0)
        self.assertTrue(wait_for(lambda: window._find_box() is None))
        self.assertIsNone(window.process.poll())
        window.click("push button", "İptal")
        self.assertEqual(window.ended(), 0)

    def test_failed_save_shows_the_error_and_keeps_the_old_file(self):
        self.session.write(self.session.config, "[Viewer]\nBrowser=chrome\nFrame=0\n")
        before = self.session.user_file.read_bytes()
        folder = self.session.user_file.parent
        folder.chmod(stat.S_IRUSR | stat.S_IXUSR)
        if os.geteuid() == 0:
            # The owner's bits do not stop root; the immutable flag does.
            subprocess.run(["chattr", "+i", str(folder)], check=True)
        window = self.open()
        window.click("check box", FRAME)
        window.click("push button", "Kaydet")
        box = window.box()
        self.assertIsNotNone(box, "no error box")
        self.assertEqual((box["title"], box["icon"], len(box["buttons"])),
                         (["Tolv İçerik Gösterici Tarayıcı Derlemesi"], ["Error"], 1))
        self.assertEqual(len(box["text"]), 1)
        box["buttons"][0].queryAction().doAction(0)
        self.assertEqual(window.ended(), 1)
        self.assertEqual(self.session.user_file.read_bytes(), before)
        self.assertEqual(list(folder.iterdir()), [self.session.user_file])

    def test_second_start_brings_the_open_window_to_the_front(self):
        first = self.open()
        second = self.session.start()
        self.assertEqual(second.wait(timeout=15), 0)
        self.assertTrue(wait_for(lambda: first.frame.getState().contains(pyatspi.STATE_ACTIVE)))
        windows = [w for app in pyatspi.Registry.getDesktop(0) if app is not None
                   for w in app if w is not None and w.name == TITLE]
        self.assertEqual(len(windows), 1)
        first.click("push button", "İptal")
        self.assertEqual(first.ended(), 0)

    def test_screenshots_at_100_and_200_percent(self):
        ARTIFACTS.mkdir(parents=True, exist_ok=True)
        widths = {}
        for scale in (1, 2):
            session = Session()
            self.addCleanup(session.close)
            window = self.open(session, GDK_SCALE=str(scale))
            shot = ARTIFACTS / f"preferences-{scale * 100}.png"
            subprocess.run(["import", "-window", window.window_id(), str(shot)], check=True)
            size = subprocess.run(["identify", "-format", "%w %h", str(shot)],
                                  capture_output=True, text=True, check=True).stdout.split()
            widths[scale] = int(size[0])
            window.click("push button", "İptal")
            self.assertEqual(window.ended(), 0)
        self.assertAlmostEqual(widths[2] / widths[1], 2.0, delta=0.15)


if __name__ == "__main__":
    unittest.main(verbosity=2)
