"""A private desktop, the stand-in service and the real binary, and ways to look at them."""
import contextlib
import functools
import http.client
import json
import os
import pathlib
import re
import shutil
import signal
import ssl
import subprocess
import tempfile
import time
import unittest
import urllib.request

from PIL import ImageGrab
from Xlib import X, display, error
from Xlib.protocol import event

BUILD = os.environ.get("QM_BUILD", os.path.abspath("build"))
SOURCE = os.environ.get("QM_SOURCE", os.path.abspath("."))
APP = os.path.join(BUILD, "quillmere")
TOOLS = os.path.join(BUILD, "tests", "e2e")
CERT = os.path.join(BUILD, "devsite", "cert.pem")
PORT = int(os.environ.get("QM_STANDIN_PORT", "8443"))
SITE = f"https://main.localhost:{PORT}"
# The test's own resolver may not know *.localhost; the stand-in answers every host on loopback.
LOOPBACK = f"https://127.0.0.1:{PORT}"
SHOTS = os.path.join(BUILD, "e2e-shots")
GAME = os.path.join(SOURCE, "tests", "e2e", "tools", "game.py")


def wait_for(predicate, timeout=15.0, step=0.1, what="condition"):
    """Polls until predicate() is truthy and returns its value; `what` may be a callable."""
    end = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() > end:
            raise AssertionError(f"timed out waiting for {what() if callable(what) else what}")
        time.sleep(step)


def read(path, default=""):
    """A text file's content, or `default` if it cannot be read (not written yet, or gone)."""
    try:
        with open(path, encoding="utf-8", errors="replace") as f:
            return f.read()
    except OSError:
        return default


def on_each_desktop(test):
    """Runs a test without a window manager, then again on a fresh desktop under openbox: two subtests."""
    @functools.wraps(test)
    def both(self):
        for self.WM in (False, True):
            with self.subTest("openbox" if self.WM else "no window manager"):
                if self.WM:
                    self.doCleanups()
                    self.setUp()
                test(self)
    return both


class Desktop:
    """Xvfb (optionally with openbox), a D-Bus session and a private XDG home; `handlers` makes the build's
    binary the quillmere:// handler there and the stand-in browser its browser."""

    def __init__(self, wm=False, width=1920, height=1080, handlers=True):
        self.root = tempfile.mkdtemp(prefix="qm-e2e-")
        self.procs = []
        self._x = None
        self.env = dict(os.environ)
        for name in ("config", "state", "data", "cache", "runtime"):
            os.makedirs(os.path.join(self.root, name))
        os.chmod(os.path.join(self.root, "runtime"), 0o700)
        self.env.update(XDG_CONFIG_HOME=self.path("config"), XDG_STATE_HOME=self.path("state"),
                        XDG_DATA_HOME=self.path("data"), XDG_CACHE_HOME=self.path("cache"),
                        XDG_RUNTIME_DIR=self.path("runtime"), HOME=self.root, NO_AT_BRIDGE="1",
                        GDK_BACKEND="x11", LANG="C.UTF-8")
        for key in ("WAYLAND_DISPLAY", "XDG_CURRENT_DESKTOP", "DESKTOP_SESSION"):
            self.env.pop(key, None)
        self.env.update(QM_BROWSER_LOG=self.path("browser.log"), QM_CERT=CERT)
        if handlers:
            self._install_handlers()
        self._start_session(width, height)
        if wm:
            self.spawn(["openbox"])
            check = self.x.intern_atom("_NET_SUPPORTING_WM_CHECK")
            wait_for(lambda: self.x.screen().root.get_full_property(check, X.AnyPropertyType), what="openbox")

    def _install_handlers(self):
        apps = pathlib.Path(self.path("data", "applications"))
        apps.mkdir()
        entry = pathlib.Path(SOURCE, "resources", "app.quillmere.Quillmere.desktop").read_text()
        (apps / "app.quillmere.Quillmere.desktop").write_text(entry.replace("Exec=quillmere", "Exec=" + APP))
        (apps / "standin-browser.desktop").write_text(
            "[Desktop Entry]\nType=Application\nName=Stand-in browser\n"
            f"Exec={os.path.join(SOURCE, 'tests', 'e2e', 'tools', 'standin_browser.py')} %u\n"
            "MimeType=x-scheme-handler/https;x-scheme-handler/http;x-scheme-handler/mailto;\n")
        pathlib.Path(self.path("config", "mimeapps.list")).write_text(
            "[Default Applications]\nx-scheme-handler/quillmere=app.quillmere.Quillmere.desktop\n"
            + "".join(f"x-scheme-handler/{s}=standin-browser.desktop\n" for s in ("https", "http", "mailto")))
        subprocess.run(["update-desktop-database", apps], check=False)
        pathlib.Path(self.path("browser.log")).touch()

    def browsed(self):
        return read(self.path("browser.log")).splitlines()

    def path(self, *parts):
        return os.path.join(self.root, *parts)

    def _start_session(self, width, height):
        # Display numbers of this stand-in port's own: runs that cannot see each other's processes share
        # /tmp/.X11-unix, and the pages' sandbox reaches the display only through its socket file there.
        for number in range(PORT, PORT + 10):
            read, write = os.pipe()
            self.spawn(["Xvfb", f":{number}", "-displayfd", str(write), "-screen", "0", f"{width}x{height}x24",
                        "-noreset", "-nolisten", "tcp"], pass_fds=(write,))
            os.close(write)
            with os.fdopen(read) as numbers:
                self.env["DISPLAY"] = ":" + numbers.readline().strip()  # empty if Xvfb died: nothing connects
            if self.env["DISPLAY"] != ":":
                break
        self._start_dbus()

    def _start_dbus(self):
        socket = self.path("runtime", "bus")
        self.spawn(["dbus-daemon", "--session", "--nofork", "--nopidfile", f"--address=unix:path={socket}"])
        wait_for(lambda: os.path.exists(socket), what="dbus")
        self.env["DBUS_SESSION_BUS_ADDRESS"] = f"unix:path={socket}"

    def spawn(self, argv, log=None, **kw):
        out = open(log, "ab") if log else subprocess.DEVNULL
        kw.setdefault("env", self.env)
        proc = subprocess.Popen(argv, stdout=out, stderr=subprocess.STDOUT, start_new_session=True, **kw)
        if log:
            out.close()
        self.procs.append(proc)
        return proc

    def run(self, argv, check=True):
        return subprocess.run(argv, env=self.env, check=check, capture_output=True, text=True, timeout=30).stdout

    def gdbus(self, dest, path, method, *args, check=True):
        return self.run(["gdbus", "call", "--session", "--dest", dest, "--object-path", path, "--method", method,
                         "--", *args], check=check)

    def xdotool(self, *args):
        return self.run(["xdotool", *map(str, args)])

    def screenshot(self, name, picture=None):
        """Saves the screen, or a picture of it, in the shots folder and returns the picture (a PIL image)."""
        picture = picture or self.pixels()
        os.makedirs(SHOTS, exist_ok=True)
        picture.save(os.path.join(SHOTS, name + ".png"))
        return picture

    def pixels(self):
        return ImageGrab.grab(xdisplay=self.env["DISPLAY"])

    @property
    def x(self):
        """This desktop's X server (XWayland's on Wayland), through python-xlib."""
        self._x = self._x or display.Display(self.env["DISPLAY"])
        return self._x

    def close_window(self, wid):
        """Asks a window to close, as a window manager's close button does (WM_DELETE_WINDOW)."""
        window = self.x.create_resource_object("window", int(wid, 16))
        data = (32, [self.x.intern_atom("WM_DELETE_WINDOW"), X.CurrentTime, 0, 0, 0])
        window.send_event(event.ClientMessage(window=window, client_type=self.x.intern_atom("WM_PROTOCOLS"), data=data))
        self.x.sync()

    def viewable(self, window):
        with contextlib.suppress(error.XError):
            return self.x.create_resource_object("window", int(window[0], 16)).get_attributes().map_state == X.IsViewable
        return False

    def shown(self, match):
        """The first matching window on screen, its place read once mapped (before, X may still move it). A name
        matches by title; "Quillmere" is the main window (our dialogs have that title too, and are under 600 high)."""
        if isinstance(match, str):
            return self.shown(lambda w: w[1] == match and (match != "Quillmere" or w[5] >= 600))
        for w in self.windows():
            if match(w) and self.viewable(w):
                again = next((a for a in self.windows() if a[0] == w[0]), None)
                return again if again and match(again) else None
        return None

    def click(self, x, y):
        self.xdotool("mousemove", "--sync", x, y, "click", 1)

    def windows(self):
        """Every window as (id, name, x, y, w, h), root coordinates, the tree walked depth first."""
        # A window that goes away during the walk fails it: walk again.
        return wait_for(self._walk, 5, 0.05, "the window tree")[0]

    def _walk(self):
        root, found = self.x.screen().root, []
        with contextlib.suppress(error.XError):
            stack = root.query_tree().children
            while stack:
                w = stack.pop(0)
                size, at = w.get_geometry(), root.translate_coords(w, 0, 0)
                found.append((hex(w.id), w.get_wm_name() or "", at.x, at.y, size.width, size.height))
                stack[:0] = w.query_tree().children
            return (found,)

    def session_processes(self):
        """Every process of this desktop (by its runtime directory): ours, and what its bus started."""
        mine = "XDG_RUNTIME_DIR=" + self.path("runtime")
        pids = [pid for pid in os.listdir("/proc") if pid.isdigit()]
        return [int(pid) for pid in pids if mine in read(f"/proc/{pid}/environ").split("\0")]

    def web_processes(self):
        return [pid for pid in self.session_processes() if "(WebKitWebProces)" in read(f"/proc/{pid}/stat")]

    def close(self):
        if self._x:
            self._x.close()
        for proc in reversed(self.procs):
            if proc.poll() is None:
                with contextlib.suppress(ProcessLookupError):
                    os.killpg(proc.pid, signal.SIGKILL)
                proc.wait(timeout=10)
        for pid in self.session_processes():
            with contextlib.suppress(ProcessLookupError):
                os.kill(pid, signal.SIGKILL)
        # The document portal's file system, should it have been mounted.
        if os.path.ismount(self.path("runtime", "doc")):
            subprocess.run(["fusermount3", "-u", "-z", self.path("runtime", "doc")], check=False)
        shutil.rmtree(self.root, ignore_errors=True)


class Service:
    """The stand-in service, with its test hooks."""

    def __init__(self, desktop):
        self.proc = desktop.spawn([os.path.join(BUILD, "quillmere-devsite"), CERT,
                                   os.path.join(BUILD, "devsite", "key.pem")], log=desktop.path("devsite.log"),
                                  env=dict(desktop.env, QM_STANDIN_TEST_HOOKS="1"))
        self.context = ssl.create_default_context(cafile=CERT)
        self.context.check_hostname = False
        wait_for(self._up, what="stand-in service")

    def _up(self):
        with contextlib.suppress(OSError):
            return self.get("/_test/reports") is not None

    def get(self, path, body=None):
        """The answer to a GET, or to a POST of `body` as JSON."""
        data = None if body is None else json.dumps(body).encode()
        request = urllib.request.Request(LOOPBACK + path, data=data, headers={"Host": f"main.localhost:{PORT}"})
        with urllib.request.urlopen(request, context=self.context, timeout=10) as answer:
            return answer.read()

    def reports(self, kind=None):
        found = json.loads(self.get("/_test/reports"))
        return [r for r in found if kind is None or r.get("kind") == kind]

    def events(self, view=None):
        return [r for r in self.reports("event") if view is None or r.get("view") == view]

    def reset(self):
        self.get("/_test/reset", {})

    def sign_in_code(self, challenge):
        """The one-time code the service's sign-in start gives a browser for `challenge`."""
        connection = http.client.HTTPSConnection("127.0.0.1", PORT, context=self.context, timeout=10)
        connection.request("GET", "/api/auth/app-start?c=" + challenge, headers={"Host": f"main.localhost:{PORT}"})
        location = connection.getresponse().getheader("Location")
        return location.split("code=")[1]

    def command(self, view, js):
        """Makes the page showing `view` run a script, as if its user had acted."""
        self.get("/_test/command", {"view": view, "js": js})


class App:
    """The real binary in the private desktop: the build's, or another such as an installed `quillmere`."""

    def __init__(self, desktop, binary=APP):
        self.desktop = desktop
        self.binary = binary
        self.proc = None

    @property
    def log_path(self):
        return self.desktop.path("state", "quillmere", "Quillmere.log")

    @property
    def settings_path(self):
        return self.desktop.path("config", "quillmere", "settings.json")

    def start(self, *args):
        self.proc = self.desktop.spawn([self.binary, *args], log=self.desktop.path("app.out"))
        return self.proc

    def invoke(self, *args):
        """A second start, as the desktop would do it; returns its exit code."""
        proc = self.desktop.spawn([self.binary, *args], log=self.desktop.path("app2.out"))
        return proc.wait(timeout=20)

    def log(self):
        return read(self.log_path)

    def output(self):
        return read(self.desktop.path("app.out"))

    def log_lines(self):
        """Log lines without their time stamps."""
        return [line.split(" ", 3)[3] for line in self.log().splitlines() if line.count(" ") >= 3]

    def wait_log(self, text, timeout=20):
        return wait_for(lambda: text in self.log(), timeout, what=f"log line {text!r}")

    def settings(self):
        return json.loads(read(self.settings_path, "{}"))

    def write_settings(self, values):
        os.makedirs(os.path.dirname(self.settings_path), exist_ok=True)
        pathlib.Path(self.settings_path).write_text(json.dumps(values), encoding="utf-8")

    def main_window(self):
        return wait_for(lambda: self.desktop.shown("Quillmere"), what="the main window on screen")

    def dialog(self, timeout=15):
        """Our modal dialog on screen, once it has settled where it is centred."""
        def find():
            return self.desktop.shown(lambda w: w[1] == "Quillmere" and w[5] < 400)
        first = wait_for(find, timeout, what="a dialog")
        time.sleep(0.5)
        return find() or first

    def quit(self, how=signal.SIGTERM):
        """Quits as the session would and waits for the termination steps."""
        if self.proc and self.proc.poll() is None:
            self.proc.send_signal(how)
            self.proc.wait(timeout=20)
        return self.proc.returncode


class Case(unittest.TestCase):
    """A test with a fresh desktop, service and app. Subclasses set WM to run under openbox; a test marked
    on_each_desktop runs without a window manager and with one."""
    WM = False

    def make_desktop(self):
        return Desktop(wm=self.WM)

    def setUp(self):
        self.desktop = self.make_desktop()
        self.addCleanup(self._finish)
        self.service = Service(self.desktop)
        self.app = App(self.desktop)

    def run(self, result=None):
        """Shows the app's log and output of each desktop of a failed test (or of every test: QM_E2E_KEEP)."""
        result, self.logs = result or self.defaultTestResult(), []
        failed = len(result.failures + result.errors)
        super().run(result)
        if len(result.failures + result.errors) > failed or os.environ.get("QM_E2E_KEEP"):
            print("".join(self.logs))
        return result

    def _finish(self):
        self.logs.append("\n--- app log ---\n" + self.app.log() + "--- app output ---\n" + self.app.output()[-4000:])
        self.desktop.close()

    def start_game(self, *args):
        self.desktop.spawn([GAME, *args], log=self.desktop.path("game.out"))
        return wait_for(lambda: self.desktop.shown("Roblox"), what="game")

    def frames(self, view="dashboard"):
        return [r for r in self.service.events(view) if r.get("type") == "frame"]

    def bodycam_on(self, view="dashboard"):
        self.service.command(view, "QMApp.send({t:'bodycam', on:true})")

    def details(self, view="cad"):
        """What the page showing `view` (any page if None) was told, in order."""
        return [r["detail"] for r in self.service.events(view) if "detail" in r]

    def typed(self, view="mdt"):
        """The text in the page's field #typing."""
        self.service.command(view, "report({kind: 'typed', value: document.getElementById('typing').value})")
        found = wait_for(lambda: self.service.reports("typed"), what="the text field's value")
        self.service.get("/_test/forget", {"kind": "typed"})
        return found[-1]["value"]

    def bodycam_errors(self, view="dashboard"):
        return [d for d in self.details(view) if d.get("type") == "bodycam-error"]

    def element_center(self, view, element, window):
        """Where on screen the page showing `view` in `window` (a windows() tuple) has an element."""
        self.service.command(view, "var r = document.getElementById('%s').getBoundingClientRect();"
                             "report({kind: 'rect', id: '%s', rect: [r.x, r.y, r.width, r.height],"
                             " inner: innerHeight})" % (element, element))
        found = wait_for(lambda: [r for r in self.service.reports("rect") if r["id"] == element], what="the rect")
        x, y, w, h = found[-1]["rect"]
        top = window[5] - found[-1]["inner"]  # what sits above the web view, the menu bar in the main window
        self.service.get("/_test/forget", {"kind": "rect"})
        return int(window[2] + x + w / 2), int(window[3] + top + y + h / 2)

    def click_element(self, view, element, window):
        self.desktop.click(*self.element_center(view, element, window))

    def menu_call(self, method, *args):
        """A call on the exported "QM" status menu; its output, empty if it failed."""
        return self.desktop.gdbus("app.quillmere.Quillmere", "/org/ayatana/NotificationItem/quillmere/Menu",
                                  "com.canonical.dbusmenu." + method, *args, check=False)

    def status_menu(self):
        """The status menu's labels -> item ids."""
        layout = wait_for(lambda: self.menu_call("GetLayout", "0", "-1", "@as []"), what="the exported status menu")
        return {label: int(item) for item, label in re.findall(r"\((\d+), \{'label': <'([^']*)'>", layout)}

    def choose(self, label):
        self.assertTrue(self.menu_call("Event", str(self.status_menu()[label]), "clicked", "<0>", "0"), label)

    def loaded(self, view=None, count=1, **expect):
        """Waits for `count` page loads (of `view`) whose report has the expected values."""
        def matching():
            found = [r for r in self.service.reports("loaded")
                     if (view is None or r.get("view") == view) and all(r.get(k) == v for k, v in expect.items())]
            return found if len(found) >= count else None
        return wait_for(matching, 30, what=f"page load {view} {expect}")
