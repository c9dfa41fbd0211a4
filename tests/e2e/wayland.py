"""Headless Wayland sessions, each on a portal session (a private bus with PipeWire and a portal, which the portal
clients' contract tests use alone): KWin with XWayland, input through its fake-input protocol, pictures from its
ScreenShot2 interface; sway with XWayland, input through wlroots' virtual keyboard and pointer, pictures from grim;
GNOME's mutter with XWayland, input and pictures through its remote desktop and screen cast.
The X11 helpers of qmtest.Desktop see the XWayland windows only. DESKTOPS: each by its name."""
import io
import os
import pwd
import shutil
import subprocess

import gi

gi.require_version("Gio", "2.0")
from gi.repository import Gio, GLib  # noqa: E402
from PIL import Image  # noqa: E402
from qmtest import SOURCE, TOOLS, Desktop, read, wait_for  # noqa: E402

KEYS = {"v": 47, "F8": 66, "F9": 67, "q": 16, "m": 50, "Escape": 1}  # the evdev codes of the keys the tests press
KWIN = "/usr/bin/kwin_wayland"
LIBEXEC = "/usr/libexec"
BACKENDS = {"kde": "/usr/lib/x86_64-linux-gnu/libexec/xdg-desktop-portal-kde",
            "wlr": os.path.join(LIBEXEC, "xdg-desktop-portal-wlr"),
            "gnome": os.path.join(LIBEXEC, "xdg-desktop-portal-gnome")}  # xdg-desktop-portal's, by name
STANDIN_PORTAL = os.path.join(SOURCE, "tests", "platform", "standin_portal.py")


class FakeInput:
    """Keys and pointer, each command taken by the compositor before it returns."""

    def __init__(self, desktop):
        with open(desktop.path("fake-input.out"), "ab") as errors:
            self.proc = subprocess.Popen([os.path.join(TOOLS, "wl_fake_input")], env=desktop.env, stdin=subprocess.PIPE,
                                         stdout=subprocess.PIPE, stderr=errors, start_new_session=True)
        desktop.procs.append(self.proc)
        self._do(None)

    def _do(self, command):
        if command:
            self.proc.stdin.write((command + "\n").encode())
            self.proc.stdin.flush()
        if self.proc.stdout.readline().strip() != b"ok":
            raise RuntimeError(f"fake input failed: {command or 'its start'}")

    def key(self, name, down=None):
        """One edge when `down` is given, else a press and its release."""
        for state in ([down] if down is not None else [True, False]):
            self._do(f"key {KEYS[name]} {int(state)}")

    def click(self, x, y):
        self._do(f"move {x} {y}")
        self._do("button 272 1")
        self._do("button 272 0")


class PortalSession(Desktop):
    """A private session bus with PipeWire and a portal, and no display; `portal`: "kde" (xdg-desktop-portal with
    KDE's backend) or "standin" (our screen cast, no shortcuts)."""

    def __init__(self, portal="standin", handlers=False):
        self.portal = portal
        super().__init__(handlers=handlers)

    def _start_session(self, width, height):
        self._start_dbus()
        self._start_pipewire()
        self._start_portal()

    def _start_pipewire(self):
        self.spawn(["pipewire"], log=self.path("pipewire.out"))
        wait_for(lambda: os.path.exists(self.path("runtime", "pipewire-0")), what="pipewire")
        self.spawn(["wireplumber"], log=self.path("wireplumber.out"))
        wait_for(lambda: '"wireplumber"' in self.run(["pw-dump"], check=False), what="wireplumber")

    def _start_portal(self):
        if self.portal in BACKENDS:
            self.portals = [self.spawn([BACKENDS[self.portal]], log=self.path(f"portal-{self.portal}.out"))]
            self.wait_name("org.freedesktop.impl.portal.desktop." + self.portal)
            self.portals.append(self.spawn([os.path.join(LIBEXEC, "xdg-desktop-portal"), "--replace"],
                                           log=self.path("portal.out")))
        else:
            self.portals = [self.spawn(["/usr/bin/python3", STANDIN_PORTAL, "--no-shortcuts"],
                                       log=self.path("portal.out"))]
        self.wait_name("org.freedesktop.portal.Desktop")

    def restart_portal(self):
        """As a desktop update does: the front end and its backend both go, then come back."""
        for proc in self.portals:
            proc.terminate()
            proc.wait(timeout=20)
        self._start_portal()

    def wait_name(self, name):
        wait_for(lambda: "true" in self.gdbus("org.freedesktop.DBus", "/org/freedesktop/DBus",
                                              "org.freedesktop.DBus.NameHasOwner", name, check=False),
                 60, 0.2, f"{name} on the bus")


def x_socket_folder():
    """XWayland listens in the X socket directory but does not make it, as Xvfb does."""
    os.makedirs("/tmp/.X11-unix", exist_ok=True)
    os.chmod("/tmp/.X11-unix", 0o1777)


class WaylandDesktop(PortalSession):
    """The portal session with KWin and its XWayland; with KDE's portal the desktop binds global keys, and its
    window chooser answers "cancelled" (it needs Plasma's QML modules, which the test machine does not have)."""
    shares_windows = click_gives_keyboard_back = bubble_takes_click = True
    share_dialog = None  # the title of the desktop's window chooser where it shows

    def __init__(self, portal="kde"):
        self.shortcut_portal = portal == "kde"
        super().__init__(portal, handlers=True)

    def _start_session(self, width, height):
        self.env.pop("GDK_BACKEND", None)
        self.env.update(XDG_SESSION_TYPE="wayland", XDG_CURRENT_DESKTOP="KDE", KDE_FULL_SESSION="true",
                        KDE_SESSION_VERSION="5", KWIN_WAYLAND_NO_PERMISSION_CHECKS="1",
                        KWIN_SCREENSHOT_NO_PERMISSION_CHECKS="1", QT_QPA_PLATFORM="wayland")
        self._start_dbus()
        self._start_kwin(width, height)
        self.input = FakeInput(self)
        self._start_pipewire()
        self._start_portal()

    def _start_kwin(self, width, height):
        # The packaged binary carries a file capability our containers refuse; a copy has none.
        kwin = self.path("kwin_wayland")
        shutil.copy(KWIN, kwin)
        x_socket_folder()
        # KWin starts XWayland on a free display and tells only its session: the session writes it down.
        found = self.path("session.env")
        script = self.path("session.sh")
        with open(script, "w") as f:
            f.write(f"#!/bin/sh\nenv | grep -E '^(DISPLAY|WAYLAND_DISPLAY)=' > {found}.tmp\n"
                    f"mv {found}.tmp {found}\nexec sleep infinity\n")
        os.chmod(script, 0o755)
        socket = "qm-wayland-" + os.path.basename(self.root)
        self.env.pop("DISPLAY", None)
        self.spawn([kwin, "--virtual", "--xwayland", "--socket", socket, "--width", str(width), "--height",
                    str(height), "--no-lockscreen", "--exit-with-session", script], log=self.path("kwin.out"))
        wait_for(lambda: os.path.exists(found), 60,
                 what=lambda: "KWin and XWayland: " + read(self.path("kwin.out"))[-2000:])
        with open(found) as f:
            self.env.update(line.strip().split("=", 1) for line in f if "=" in line)

    def pixels(self):
        """KWin's picture of the whole screen (ScreenShot2.CaptureWorkspace)."""
        flags = Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT | Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION
        bus = Gio.DBusConnection.new_for_address_sync(self.env["DBUS_SESSION_BUS_ADDRESS"], flags, None, None)
        read_end, write_end = os.pipe()
        fds = Gio.UnixFDList.new()
        fds.append(write_end)
        os.close(write_end)
        reply, _ = bus.call_with_unix_fd_list_sync(
            "org.kde.KWin.ScreenShot2", "/org/kde/KWin/ScreenShot2", "org.kde.KWin.ScreenShot2", "CaptureWorkspace",
            GLib.Variant("(a{sv}h)", ({}, 0)), GLib.VariantType("(a{sv})"), Gio.DBusCallFlags.NONE, 30000, fds, None)
        del fds  # every copy of the write end must close for the read to end
        bus.close_sync(None)
        info = reply.unpack()[0]
        with os.fdopen(read_end, "rb") as f:
            data = f.read()
        # ARGB32 lies in memory as B, G, R, A on little-endian machines.
        return Image.frombuffer("RGB", (info["width"], info["height"]), data, "raw", "BGRX", info["stride"], 1)

    def close(self):
        super().close()
        self.input.proc.stdin.close()
        self.input.proc.stdout.close()


class SwayDesktop(WaylandDesktop):
    """The portal session with sway and its XWayland, and wlroots' portal: no global keys, screens shared and
    no windows. sway keeps its keyboard with an override-redirect window it gave it to until that unmaps, a
    click into the window it holds focused (the game) notwithstanding."""
    shortcut_portal = shares_windows = click_gives_keyboard_back = False
    bubble_takes_click = False  # a click at once after the bubble shows is lost, and the next ones too: open

    def __init__(self):
        PortalSession.__init__(self, "wlr", handlers=True)

    def _start_session(self, width, height):
        self.env.pop("GDK_BACKEND", None)
        self.env.update(XDG_SESSION_TYPE="wayland", XDG_CURRENT_DESKTOP="sway")
        self._start_dbus()
        self._start_sway(width, height)
        self.input = FakeInput(self)
        self._start_pipewire()
        self._start_portal()

    def _start_sway(self, width, height):
        home = self.path("sway")
        os.makedirs(home, 0o700)
        found = os.path.join(home, "session.env")  # what sway tells its own clients: the displays
        # Its XWayland lets only sway's user in: it lets every local client in, which starts it.
        with open(os.path.join(home, "config"), "w") as f:
            f.write(f"xwayland enable\noutput HEADLESS-1 resolution {width}x{height}\n"
                    f"exec xhost +local: && env | grep -E '^(DISPLAY|WAYLAND_DISPLAY)=' > {found}.tmp && "
                    f"mv {found}.tmp {found}\n")
        x_socket_folder()
        env = dict(self.env, HOME=home, XDG_RUNTIME_DIR=home, WLR_BACKENDS="headless", WLR_LIBINPUT_NO_DEVICES="1",
                   WLR_RENDERER="pixman")
        env.pop("DISPLAY", None)
        # sway refuses to run where it could become root again: as root it runs seen as another user, in a user
        # namespace of its own, and its XWayland still shares memory with the app as the same user.
        user = ["unshare", "--user", "--map-user=1000", "--map-group=1000"] if os.getuid() == 0 else []
        self.spawn([*user, "sway", "-c", os.path.join(home, "config")], log=self.path("sway.out"), env=env)
        wait_for(lambda: os.path.exists(found), 60, what=lambda: "sway: " + read(self.path("sway.out"))[-2000:])
        with open(found) as f:
            self.env.update(line.strip().split("=", 1) for line in f if "=" in line)
        self.env["WAYLAND_DISPLAY"] = os.path.join(home, self.env["WAYLAND_DISPLAY"])  # ours is not sway's folder

    def pixels(self):
        return Image.open(io.BytesIO(subprocess.run(["grim", "-"], env=self.env, check=True, capture_output=True,
                                                    timeout=30).stdout)).convert("RGB")


class MutterInput:
    """Keys and pointer through mutter's RemoteDesktop session (evdev codes), in order; a monitor's screen cast tied
    to the session places the pointer and gives the pictures."""
    RD = "org.gnome.Mutter.RemoteDesktop"
    SC = "org.gnome.Mutter.ScreenCast"

    def __init__(self, desktop):
        flags = Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT | Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION
        # mutter ends the sessions when this connection goes, and itself with them: it stays open until the end.
        self.bus = Gio.DBusConnection.new_for_address_sync(desktop.env["DBUS_SESSION_BUS_ADDRESS"], flags, None, None)
        self.session = self._call(self.RD, "/org/gnome/Mutter/RemoteDesktop", self.RD, "CreateSession")[0]
        sid = self._call(self.RD, self.session, "org.freedesktop.DBus.Properties", "Get",
                         GLib.Variant("(ss)", (self.RD + ".Session", "SessionId")))[0]
        cast = self._call(self.SC, "/org/gnome/Mutter/ScreenCast", self.SC, "CreateSession",
                          GLib.Variant("(a{sv})", ({"remote-desktop-session-id": GLib.Variant("s", sid)},)))[0]
        self.stream = self._call(self.SC, cast, self.SC + ".Session", "RecordMonitor",
                                 GLib.Variant("(sa{sv})", ("", {})))[0]
        nodes = []
        self.bus.signal_subscribe(self.SC, self.SC + ".Stream", "PipeWireStreamAdded", self.stream, None, 0,
                                  lambda *signal: nodes.append(signal[5].unpack()[0]))
        self._do("Start")
        # The seat has a keyboard and a pointer only once the session has used them: a shift key, a move.
        for state in (True, False):
            self._do("NotifyKeyboardKeycode", 42, state, signature="(ub)")
        self._do("NotifyPointerMotionAbsolute", self.stream, 0.0, 0.0, signature="(sdd)")
        self.node = wait_for(lambda: (GLib.MainContext.default().iteration(False), nodes)[1], 30,
                             what="the screen cast's PipeWire node")[0]

    def _call(self, name, path, interface, method, args=None):
        return self.bus.call_sync(name, path, interface, method, args, None, Gio.DBusCallFlags.NONE, 10000,
                                  None).unpack()

    def _do(self, method, *args, signature="()"):
        self._call(self.RD, self.session, self.RD + ".Session", method, GLib.Variant(signature, args))

    def key(self, name, down=None):
        for state in ([down] if down is not None else [True, False]):
            self._do("NotifyKeyboardKeycode", KEYS[name], state, signature="(ub)")

    def click(self, x, y):
        self._do("NotifyPointerMotionAbsolute", self.stream, float(x), float(y), signature="(sdd)")
        for state in (True, False):
            self._do("NotifyPointerButton", 272, state, signature="(ib)")


class MutterDesktop(PortalSession):
    """The portal session with GNOME's mutter (headless, one virtual monitor) and its XWayland, and GNOME's portal:
    no global keys; its window chooser shows on XWayland, empty (the windows are listed by the shell, not here)."""
    shortcut_portal = False
    shares_windows = click_gives_keyboard_back = bubble_takes_click = True
    share_dialog = "Screen Share"

    def __init__(self):
        super().__init__("gnome", handlers=True)

    def _start_session(self, width, height):
        self.env.pop("GDK_BACKEND", None)
        # GNOME's portals alone: xdg-desktop-portal 1.16 would take any other installed one for what they lack.
        portals = self.path("portals")
        os.makedirs(portals)
        for name in ("gnome", "gtk"):
            os.symlink(f"/usr/share/xdg-desktop-portal/portals/{name}.portal", os.path.join(portals, name + ".portal"))
        self.env.update(XDG_SESSION_TYPE="wayland", XDG_CURRENT_DESKTOP="GNOME", XDG_DESKTOP_PORTAL_DIR=portals)
        self._start_dbus()
        self._start_pipewire()
        # A key's press and release are two calls: on a busy machine the release may come after the repeat delay.
        self.run(["gsettings", "set", "org.gnome.desktop.peripherals.keyboard", "repeat", "false"])
        x_socket_folder()
        # mutter starts XWayland on a free display and tells the command it runs: it writes it down.
        found = self.path("session.env")
        self.env.pop("DISPLAY", None)
        self.spawn(["mutter", "--headless", "--wayland", "--virtual-monitor", f"{width}x{height}",
                    "--wayland-display=qm-mutter-" + os.path.basename(self.root), "--", "sh", "-c",
                    f"env | grep -E '^(DISPLAY|WAYLAND_DISPLAY|XAUTHORITY)=' > {found}.tmp && mv {found}.tmp {found}"
                    " && exec sleep infinity"], log=self.path("mutter.out"))
        wait_for(lambda: os.path.exists(found), 60, what=lambda: "mutter: " + read(self.path("mutter.out"))[-2000:])
        with open(found) as f:
            self.env.update(line.strip().split("=", 1) for line in f if "=" in line)
        # Its XWayland lets in only holders of the cookie; the tests' X helpers do not read XAUTHORITY.
        self.run(["xhost", "+si:localuser:" + pwd.getpwuid(os.getuid()).pw_name])
        self.input = MutterInput(self)
        self._start_portal()

    def pixels(self):
        """A frame of the monitor's screen cast."""
        shot = self.path("shot.png")
        self.run(["gst-launch-1.0", "-q", "pipewiresrc", f"path={self.input.node}", "num-buffers=1", "!",
                  "videoconvert", "!", "pngenc", "!", "filesink", f"location={shot}"])
        with Image.open(shot) as picture:
            return picture.convert("RGB")

    def close(self):
        self.input.bus.close_sync(None)
        super().close()


DESKTOPS = {"kwin": WaylandDesktop, "sway": SwayDesktop, "mutter": MutterDesktop}
