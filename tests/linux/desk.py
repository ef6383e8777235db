"""A scratch desk for the viewer: a home folder, the XDG folders, a PATH that
holds only the fake programs asked for, and a fake default PDF application.
Nothing outside the desk's folder is read or changed (apart from the system's
shared libraries and icons), so a real browser on the machine is never found.
"""
import hashlib
import json
import os
import shutil
import subprocess
import time
import traceback
import sys

import pyatspi
from gi.repository import Gio, GLib
from Xlib import X, display, protocol

HERE = os.path.dirname(os.path.abspath(__file__))
FAKE = os.path.join(HERE, "fake_browser.py")
FAKE_DBUS = os.path.join(HERE, "fake_dbus_app.py")
APP_ID = "tr.org.tolv.Viewer"
TITLE = "Tolv İçerik Gösterici Tarayıcı Derlemesi"


def sha256(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


class Desk:
    def __init__(self, root, browsers=(), desktop_app=True, user=None, admin=None,
                 desktop_dir=None, runtime=True, browser_exit=0, extra_path=(),
                 runtime_foreign=False, private_files=None, folders=(), dbus_app=False, trust=(),
                 config_dirs=None):
        shutil.rmtree(root, ignore_errors=True)
        self.root = root
        self.home = self._dir("home")
        self.config = self._dir("home/.config")
        self.data = self._dir("home/.local/share")
        self.cache = self._dir("home/.cache")
        # The administrator's /etc (the test builds' TOLV_TEST_SYSCONFDIR), its
        # xdg folder XDG_CONFIG_DIRS as on a desktop, or config_dirs' own.
        self.etc = self._dir("etc")
        self.admin = self._dir("etc/xdg")
        self.config_dirs = self._dir("config-dirs") if config_dirs is not None else self.admin
        self.bin = self._dir("bin")
        # XDG_DATA_DIRS: the system's icons and media types, but none of its
        # applications.
        self.system = self._dir("system")
        for shared in ("icons", "mime"):
            os.symlink("/usr/share/" + shared, os.path.join(self.system, shared))
        self.runtime = self._dir("run") if runtime else None
        if self.runtime:
            os.chmod(self.runtime, 0o700)
            if runtime_foreign:  # another user's, left over after su
                os.chown(self.runtime, 65534, 65534)
        # The viewer's private folder with files of the given ages in seconds.
        if private_files:
            private = self._dir("run/tolv-viewer")
            os.chmod(private, 0o700)
            for name, age in private_files.items():
                self._write(os.path.join(private, name), "%PDF-1.4 earlier")
                os.utime(os.path.join(private, name), (time.time() - age,) * 2)
        for folder in folders:
            self._dir(folder)
        # Roots the user trusts for signatures, in the user's trust folder.
        for certificate in trust:
            shutil.copy(certificate, self._dir("home/.config/tolv-viewer/trust"))
        self.bus_address = None
        self.log = os.path.join(root, "browser.log")
        self.browser_exit = browser_exit
        self.extra_path = list(extra_path)
        for name in browsers:
            os.symlink(FAKE, os.path.join(self.bin, name))
        if desktop_app:
            self._desktop_app()
        if user is not None:
            self._write(os.path.join(self.config, "tolv-viewer/settings.ini"), user)
        if admin is not None:
            self._write(os.path.join(self.admin, "tolv-viewer/settings.ini"), admin)
        if config_dirs is not None:
            self._write(os.path.join(self.config_dirs, "tolv-viewer/settings.ini"), config_dirs)
        if dbus_app:
            self._dbus_app(None if dbus_app is True else dbus_app)
        if desktop_dir is not None:
            self._write(os.path.join(self.config, "user-dirs.dirs"),
                        f'XDG_DESKTOP_DIR="$HOME/{desktop_dir}"\n')

    def _dir(self, relative):
        path = os.path.join(self.root, relative)
        os.makedirs(path, exist_ok=True)
        return path

    @staticmethod
    def _write(path, text):
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(text if isinstance(text, bytes) else text.encode("utf-8"))

    def _desktop_app(self):
        program = os.path.join(self.root, "apps/fake-pdf-app")
        os.makedirs(os.path.dirname(program))
        os.symlink(FAKE, program)
        self._write(os.path.join(self.data, "applications/fake-pdf-app.desktop"),
                    "[Desktop Entry]\nType=Application\nName=Fake PDF\n"
                    f"Exec={program} %f\nMimeType=application/pdf;\n")
        self._write(os.path.join(self.config, "mimeapps.list"),
                    "[Default Applications]\napplication/pdf=fake-pdf-app.desktop\n")

    def _dbus_app(self, service_exec):
        """A PDF application that the session bus starts: its desktop file
        (named by its bus name) and its .service file; service_exec is what the
        bus runs, None for the fake application."""
        name = "org.example.FakePdf"
        recorder = os.path.join(self.root, "apps/fake-dbus-app")
        os.makedirs(os.path.dirname(recorder), exist_ok=True)
        os.symlink(FAKE, recorder)
        service_exec = service_exec or f"/usr/bin/python3 {FAKE_DBUS} {name} {recorder}"
        self._write(os.path.join(self.data, f"applications/{name}.desktop"),
                    "[Desktop Entry]\nType=Application\nName=Fake D-Bus PDF\n"
                    f"DBusActivatable=true\nExec={service_exec} %U\n"
                    "MimeType=application/pdf;\n")
        self._write(os.path.join(self.data, f"dbus-1/services/{name}.service"),
                    f"[D-BUS Service]\nName={name}\nExec={service_exec}\n")
        self._write(os.path.join(self.config, "mimeapps.list"),
                    f"[Default Applications]\napplication/pdf={name}.desktop\n")

    def start_bus(self):
        """A session bus of the desk's own, which finds the desk's D-Bus
        services; the caller ends the process it answers."""
        bus = subprocess.Popen(
            ["/usr/bin/dbus-daemon", "--session", "--nofork", "--print-address=1"],
            env=self.env(), stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        self.bus_address = bus.stdout.readline().strip()
        # The accessibility bus stays the bench's, where the box is read.
        self.a11y_address = Gio.bus_get_sync(Gio.BusType.SESSION).call_sync(
            "org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress", None,
            GLib.VariantType("(s)"), Gio.DBusCallFlags.NONE, -1).unpack()[0]
        return bus

    def env(self):
        env = {k: v for k, v in os.environ.items()
               if k in ("DISPLAY", "DBUS_SESSION_BUS_ADDRESS", "AT_SPI_BUS_ADDRESS")}
        env.update(HOME=self.home, XDG_CONFIG_HOME=self.config, XDG_CONFIG_DIRS=self.config_dirs,
                   TOLV_TEST_SYSCONFDIR=self.etc,
                   XDG_DATA_HOME=self.data, XDG_DATA_DIRS=self.system,
                   XDG_CACHE_HOME=self.cache, PATH=":".join([self.bin] + self.extra_path),
                   LC_ALL="C.UTF-8", FAKE_BROWSER_LOG=self.log,
                   FAKE_BROWSER_EXIT=str(self.browser_exit))
        if self.runtime:
            env["XDG_RUNTIME_DIR"] = self.runtime
        if self.bus_address:
            env.update(DBUS_SESSION_BUS_ADDRESS=self.bus_address,
                       AT_SPI_BUS_ADDRESS=self.a11y_address)
        return env

    def records(self):
        if not os.path.exists(self.log):
            return []
        with open(self.log, encoding="utf-8") as f:
            return [json.loads(line) for line in f]


def _find_app(pid):
    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        app = desktop.getChildAtIndex(i)
        try:
            if app is not None and app.get_process_id() == pid and app.childCount:
                return app
        except Exception:  # an application that went away meanwhile
            pass
    return None


def _walk(node):
    yield node
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is not None:
            yield from _walk(child)


def _window_title(pid):
    out = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid", str(pid)],
                         capture_output=True, text=True).stdout.split()
    titles = [subprocess.run(["xdotool", "getwindowname", w], capture_output=True,
                             text=True).stdout.rstrip("\n") for w in out]
    return [t for t in titles if t]


KEYSYM = {"Return": 0xFF0D, "Escape": 0xFF1B}


def close_windows(ids):
    """Asks these X windows to close, as a title bar's close button does."""
    screen = display.Display()
    protocols = screen.intern_atom("WM_PROTOCOLS")
    delete = screen.intern_atom("WM_DELETE_WINDOW")
    for window_id in ids:
        window = screen.create_resource_object("window", int(window_id))
        event = protocol.event.ClientMessage(window=window, client_type=protocols,
                                             data=(32, [delete, X.CurrentTime, 0, 0, 0]))
        window.send_event(event, event_mask=X.NoEventMask)
    screen.flush()
    screen.close()


def _answer(process, alert, nodes, answer):
    """Presses the button named answer (default: the first); "Return" and
    "Escape" are pressed as keys, "close" closes the box's window."""
    if answer in KEYSYM:
        deadline = time.time() + 5
        while not alert.getState().contains(pyatspi.STATE_ACTIVE) and time.time() < deadline:
            time.sleep(0.1)
        pyatspi.Registry.generateKeyboardEvent(KEYSYM[answer], None, pyatspi.KEY_SYM)
        return
    if answer == "close":
        for _ in range(10):  # under load the request may come before the box can take it
            close_windows(subprocess.run(
                ["xdotool", "search", "--onlyvisible", "--pid", str(process.pid)],
                capture_output=True, text=True).stdout.split())
            try:
                process.wait(timeout=1)
                return
            except subprocess.TimeoutExpired:
                pass
        return
    buttons = [n for n in nodes if n.getRole() == pyatspi.ROLE_PUSH_BUTTON
               and (answer is None or n.name == answer)]
    if buttons:
        action = buttons[0].queryAction()
        for i in range(action.nActions):
            if action.getName(i) == "click":
                action.doAction(i)


def read_box(process, timeout=20, answer=None):
    """Reads the message box of a running viewer through AT-SPI (kind, icon,
    text, buttons) and the X server (title), then answers it (see _answer;
    by default its first button, OK in a box that has only that).
    Returns None if no box appeared before the process ended or timed out."""
    deadline = time.time() + timeout
    while time.time() < deadline:
        try:
            app = _find_app(process.pid)
            alerts = [n for n in _walk(app) if n.getRole() == pyatspi.ROLE_ALERT] if app else []
        except GLib.GError:  # the viewer ended while its tree was being read
            alerts = []
        titles = _window_title(process.pid) if alerts else []
        if alerts and titles:
            alert = alerts[0]
            nodes = list(_walk(alert))
            box = {
                "kind": alert.name,
                "icons": [n.name for n in nodes if n.getRole() == pyatspi.ROLE_ICON],
                "text": "\n".join(n.name for n in nodes
                                  if n.getRole() == pyatspi.ROLE_LABEL and n.name),
                "buttons": [n.name for n in nodes if n.getRole() == pyatspi.ROLE_PUSH_BUTTON],
                "title": titles[0],
                "windows": len(titles),
            }
            _answer(process, alert, nodes, answer)
            return box
        if process.poll() is not None:
            return None
        time.sleep(0.2)
    return None


def run_viewer(viewer, desk, args, cwd=None, answer=None, env=None, read=None):
    """Runs the viewer on the desk (with env over the desk's environment) and
    answers its box (or what read, read_box by default, reads) with the button
    named answer; answers (exit code, box or None, output)."""
    process = subprocess.Popen([viewer] + args, env=dict(desk.env(), **(env or {})),
                               cwd=cwd or desk.root, stdout=subprocess.PIPE,
                               stderr=subprocess.STDOUT)
    box = (read or read_box)(process, answer=answer)
    try:
        output, _ = process.communicate(timeout=30)
    except subprocess.TimeoutExpired:
        process.kill()
        output, _ = process.communicate()
        raise AssertionError("the viewer did not end: " + output.decode(errors="replace"))
    return process.returncode, box, output.decode(errors="replace")


def _visible(node):
    return node.getState().contains(pyatspi.STATE_VISIBLE)


def _walk_visible(node):
    """What a hidden container holds is hidden too, though its own flag says not."""
    if not _visible(node):
        return
    yield node
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is not None:
            yield from _walk_visible(child)


def _window_facts(dialog):
    nodes = list(_walk_visible(dialog))
    role = lambda r: [n for n in nodes if n.getRole() == r]  # noqa: E731
    return {
        "title": dialog.name,
        "icons": [n.name for n in role(pyatspi.ROLE_ICON)],
        "labels": [n.name for n in role(pyatspi.ROLE_LABEL) if n.name],
        "buttons": {n.name: n.getState().contains(pyatspi.STATE_SENSITIVE)
                    for n in role(pyatspi.ROLE_PUSH_BUTTON)},
        "expanders": {n.name: n.getState().contains(pyatspi.STATE_EXPANDED)
                      for n in role(pyatspi.ROLE_TOGGLE_BUTTON)},
        "progress": [n.name for n in role(pyatspi.ROLE_PROGRESS_BAR)],
    }, nodes


def read_window(process, timeout=40, answer=None):
    """Reads the dialog of a running viewer through AT-SPI once it is settled
    (no progress bar left): its title, icons, visible labels, buttons (name:
    sensitive), expanders (name: open), and whether a progress bar showed
    meanwhile ("asked"); then answers it as read_box does. answer may also be
    a function of the process and the dialog's nodes, for more than one step.
    Returns None if no dialog appeared before the process ended or timed out."""
    deadline = time.time() + timeout
    asked = False
    while time.time() < deadline:
        try:
            app = _find_app(process.pid)
            dialogs = [n for n in _walk(app) if n.getRole() == pyatspi.ROLE_DIALOG
                       and _visible(n)] if app else []
            facts, nodes = _window_facts(dialogs[0]) if dialogs else (None, None)
        except GLib.GError:  # the viewer ended while its tree was being read
            facts = None
        if facts:
            asked = asked or bool(facts["progress"])
        if facts and not facts["progress"] and facts["labels"]:
            facts["asked"] = asked
            if callable(answer):
                answer(process, nodes)
            else:
                _answer(process, dialogs[0], nodes, answer)
            return facts
        if process.poll() is not None:
            return None
        time.sleep(0.2)
    return None


def press(nodes, name):
    """Presses the button called name among these nodes."""
    _answer(None, None, nodes, name)


def run_checks(checks, only=""):
    """Runs (name, check) pairs whose name holds only; a check answers its
    problems. Prints a line each and the count; answers the exit status."""
    passed = failed = 0
    for name, check in checks:
        if only not in name:
            continue
        try:
            problems = check()
        except Exception:
            problems = [traceback.format_exc()]
        failed += bool(problems)
        passed += not problems
        print(("FAIL " if problems else "ok   ") + name)
        for p in problems:
            print("     " + p)
        sys.stdout.flush()
    print(f"{passed} passed, {failed} failed")
    return 1 if failed or not passed else 0
