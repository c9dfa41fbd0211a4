"""Headless Wayland sessions, each on a portal session (a private bus with PipeWire and a portal, which the portal
clients' contract tests use alone): KWin, sway or GNOME's mutter, each with XWayland, its own portal, real input and
pictures of its screen. The X11 helpers of qmtest.Desktop see the XWayland windows only."""
import collections
import os
import shutil
import subprocess

import gi

gi.require_version("Gio", "2.0")
from gi.repository import Gio, GLib  # noqa: E402
from PIL import Image  # noqa: E402
from qmtest import SOURCE, TOOLS, Desktop, read, wait_for  # noqa: E402

# The evdev codes of the keys the tests press.
KEYS = {"v": 47, "F8": 66, "F9": 67, "q": 16, "m": 50, "Escape": 1, "Shift": 42}
STANDIN_PORTAL = os.path.join(SOURCE, "tests", "platform", "standin_portal.py")
Facts = collections.namedtuple("Facts", "portal shortcut_portal shares_windows click_gives_keyboard_back "
                                        "bubble_takes_click share_dialog")
# What each desktop does here. KDE's window chooser needs Plasma's QML modules, not on the test machine: it answers
# "cancelled" at once. wlroots' portal shares screens only; sway keeps its keyboard with an override-redirect window
# it gave it to until that unmaps, and loses clicks at once after the bubble shows (open). GNOME's chooser shows on
# XWayland (its title here), empty: the shell lists the windows.
DESKTOPS = {"kwin": Facts("/usr/lib/x86_64-linux-gnu/libexec/xdg-desktop-portal-kde", True, True, True, True, None),
            "sway": Facts("/usr/libexec/xdg-desktop-portal-wlr", False, False, False, False, None),
            "mutter": Facts("/usr/libexec/xdg-desktop-portal-gnome", False, True, True, True, "Screen Share")}


class Input:
    """Keys by name and clicks, each taken by the compositor before `send` returns."""

    def key(self, name):
        for state in (1, 0):
            self.send("key", KEYS[name], state)

    def click(self, x, y):
        self.send("move", x, y)
        self.send("button", 272, 1)
        self.send("button", 272, 0)


class FakeInput(Input):
    """Our client of KWin's fake input or of wlroots' virtual keyboard and pointer."""

    def __init__(self, desktop):
        with open(desktop.path("fake-input.out"), "ab") as errors:
            self.proc = subprocess.Popen([os.path.join(TOOLS, "wl_fake_input")], env=desktop.env, stdin=subprocess.PIPE,
                                         stdout=subprocess.PIPE, stderr=errors, start_new_session=True, bufsize=0)
        desktop.procs.append(self.proc)
        self.send()

    def send(self, *command):
        if command:
            self.proc.stdin.write(" ".join(map(str, command)).encode() + b"\n")
        if self.proc.stdout.readline().strip() != b"ok":
            raise RuntimeError(f"fake input failed: {command or 'its start'}")

    def close(self):
        self.proc.stdin.close()
        self.proc.stdout.close()


class MutterInput(Input):
    """mutter's RemoteDesktop session; a monitor's screen cast tied to it places the pointer and gives pictures."""
    RD = "org.gnome.Mutter.RemoteDesktop"
    SC = "org.gnome.Mutter.ScreenCast"
    CALLS = {"key": ("NotifyKeyboardKeycode", "(ub)"), "button": ("NotifyPointerButton", "(ib)"),
             "move": ("NotifyPointerMotionAbsolute", "(sdd)")}

    def __init__(self, desktop):
        self.bus = desktop.bus
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
        self._call(self.RD, self.session, self.RD + ".Session", "Start")
        # The seat has a keyboard and a pointer only once the session has used them: a shift key, a move.
        self.key("Shift")
        self.send("move", 0, 0)
        self.node = wait_for(lambda: (GLib.MainContext.default().iteration(False), nodes)[1], 30,
                             what="the screen cast's PipeWire node")[0]

    def _call(self, name, path, interface, method, args=None):
        return self.bus.call_sync(name, path, interface, method, args, None, Gio.DBusCallFlags.NONE, 10000,
                                  None).unpack()

    def send(self, kind, a, b):
        method, signature = self.CALLS[kind]
        args = (self.stream, float(a), float(b)) if kind == "move" else (a, bool(b))
        self._call(self.RD, self.session, self.RD + ".Session", method, GLib.Variant(signature, args))


class PortalSession(Desktop):
    """A private session bus with PipeWire and a portal, and no display; `portal`: the path of a backend of
    xdg-desktop-portal, or "standin" (our screen cast, no shortcuts)."""

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
        if self.portal != "standin":
            self.portals = [self.spawn([self.portal], log=self.path("portal-backend.out"))]
            self.wait_name("org.freedesktop.impl.portal.desktop." + self.portal.rsplit("-", 1)[1])
            self.portals.append(self.spawn(["/usr/libexec/xdg-desktop-portal", "--replace"],
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
        subprocess.run(["gdbus", "wait", "--session", "--timeout", "60", name], env=self.env, check=True, timeout=70)


class WaylandDesktop(PortalSession):
    """The portal session with a compositor of DESKTOPS and its XWayland, and that desktop's portal or another."""

    def __init__(self, name="kwin", portal=None):
        self.name, self.facts = name, DESKTOPS[name]
        super().__init__(portal or self.facts.portal, handlers=True)

    def _start_session(self, width, height):
        for key in ("GDK_BACKEND", "DISPLAY"):
            self.env.pop(key, None)
        self.env["XDG_SESSION_TYPE"] = "wayland"
        # XWayland listens in the X socket directory but does not make it, as Xvfb does.
        os.makedirs("/tmp/.X11-unix", exist_ok=True)
        os.chmod("/tmp/.X11-unix", 0o1777)
        # The compositor tells its displays only to what it starts: that lets every local client into its XWayland
        # and writes them down, then stays while the session should.
        found, script = self.path("session.env"), self.path("session.sh")
        with open(script, "w") as f:
            f.write(f"#!/bin/sh\nxhost +local:\nenv | grep -E '^(DISPLAY|WAYLAND_DISPLAY|XAUTHORITY)=' > {found}.tmp\n"
                    f"mv {found}.tmp {found}\nexec sleep infinity\n")
        os.chmod(script, 0o755)
        getattr(self, "_start_" + self.name)(width, height, script)
        # mutter ends its input and screen cast sessions when this connection goes, and itself with them.
        flags = Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT | Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION
        self.bus = Gio.DBusConnection.new_for_address_sync(self.env["DBUS_SESSION_BUS_ADDRESS"], flags, None, None)
        wait_for(lambda: os.path.exists(found), 60,
                 what=lambda: f"{self.name} and XWayland: " + read(self.path(self.name + ".out"))[-2000:])
        with open(found) as f:
            self.env.update(line.strip().split("=", 1) for line in f if "=" in line)
        self._start_pipewire()
        self.input = MutterInput(self) if self.name == "mutter" else FakeInput(self)
        self._start_portal()

    def _start_kwin(self, width, height, script):
        self.env.update(XDG_CURRENT_DESKTOP="KDE", KDE_FULL_SESSION="true", KDE_SESSION_VERSION="5",
                        KWIN_WAYLAND_NO_PERMISSION_CHECKS="1", KWIN_SCREENSHOT_NO_PERMISSION_CHECKS="1",
                        QT_QPA_PLATFORM="wayland")
        self._start_dbus()
        # The packaged binary carries a file capability our containers refuse; a copy has none.
        kwin = shutil.copy("/usr/bin/kwin_wayland", self.path("kwin_wayland"))
        self.spawn([kwin, "--virtual", "--xwayland", "--socket", "qm-wayland-" + os.path.basename(self.root),
                    "--width", str(width), "--height", str(height), "--no-lockscreen", "--exit-with-session", script],
                   log=self.path("kwin.out"))

    def _start_sway(self, width, height, script):
        self.env["XDG_CURRENT_DESKTOP"] = "sway"
        self._start_dbus()
        with open(self.path("sway.config"), "w") as f:
            f.write(f"xwayland enable\noutput HEADLESS-1 resolution {width}x{height}\nexec {script}\n")
        env = dict(self.env, WLR_BACKENDS="headless", WLR_LIBINPUT_NO_DEVICES="1", WLR_RENDERER="pixman")
        # sway refuses to run where it could become root again: as root it runs seen as another user, in a user
        # namespace of its own, and its XWayland still shares memory with the app as the same user.
        user = ["unshare", "--user", "--map-user=1000", "--map-group=1000"] if os.getuid() == 0 else []
        self.spawn([*user, "sway", "-c", self.path("sway.config")], log=self.path("sway.out"), env=env)

    def _start_mutter(self, width, height, script):
        # GNOME's portals alone: xdg-desktop-portal 1.16 would take any other installed one for what they lack.
        portals = self.path("portals")
        os.makedirs(portals)
        for name in ("gnome", "gtk"):
            os.symlink(f"/usr/share/xdg-desktop-portal/portals/{name}.portal", os.path.join(portals, name + ".portal"))
        self.env.update(XDG_CURRENT_DESKTOP="GNOME", XDG_DESKTOP_PORTAL_DIR=portals)
        self._start_dbus()
        # A key's press and release are two calls: on a busy machine the release may come after the repeat delay.
        self.run(["gsettings", "set", "org.gnome.desktop.peripherals.keyboard", "repeat", "false"])
        self.spawn(["mutter", "--headless", "--wayland", "--virtual-monitor", f"{width}x{height}",
                    "--wayland-display=qm-mutter-" + os.path.basename(self.root), "--", script],
                   log=self.path("mutter.out"))

    def pixels(self):
        """The compositor's picture of the whole screen: KWin's ScreenShot2, grim, or a frame of mutter's cast."""
        if self.name != "kwin":
            shot = self.path("shot.png")
            self.run(["grim", shot] if self.name == "sway" else
                     ["gst-launch-1.0", "-q", "pipewiresrc", f"path={self.input.node}", "num-buffers=1", "!",
                      "videoconvert", "!", "pngenc", "!", "filesink", f"location={shot}"])
            with Image.open(shot) as picture:
                return picture.convert("RGB")
        read_end, write_end = os.pipe()
        fds = Gio.UnixFDList.new_from_array([write_end])
        reply, _ = self.bus.call_with_unix_fd_list_sync(
            "org.kde.KWin.ScreenShot2", "/org/kde/KWin/ScreenShot2", "org.kde.KWin.ScreenShot2", "CaptureWorkspace",
            GLib.Variant("(a{sv}h)", ({}, 0)), GLib.VariantType("(a{sv})"), Gio.DBusCallFlags.NONE, 30000, fds, None)
        del fds  # every copy of the write end must close for the read to end
        info = reply.unpack()[0]
        with os.fdopen(read_end, "rb") as f:
            data = f.read()
        # ARGB32 lies in memory as B, G, R, A on little-endian machines.
        return Image.frombuffer("RGB", (info["width"], info["height"]), data, "raw", "BGRX", info["stride"], 1)

    def close(self):
        self.bus.close_sync(None)
        if isinstance(self.input, FakeInput):
            self.input.close()
        super().close()
