#!/usr/bin/python3
"""A stand-in desktop portal on a private session bus, for the portal clients' contract and end-to-end tests.
Each shared window is a live test source on the PipeWire daemon of $XDG_RUNTIME_DIR, 640x360 at 30 a second or
as QM_STANDIN_WINDOW says (2560x1440@10); a restore token starting with "dead" names a window that is gone."""
import argparse
import json
import os
import socket
import subprocess
import time

import gi

gi.require_version("Gio", "2.0")
from gi.repository import Gio, GLib  # noqa: E402

PATH, TEST_PATH = "/org/freedesktop/portal/desktop", "/org/quillmere/test"
D, O = "a{sv}", "o"
# Each interface's methods: their argument types in and out.
SHORTCUTS = {"CreateSession": ([D], [O]), "BindShortcuts": ([O, "a(sa{sv})", "s", D], [O]),
             "ListShortcuts": ([O, D], [O]), "ConfigureShortcuts": ([O, "s", D], [])}
SCREENCAST = {"CreateSession": ([D], [O]), "SelectSources": ([O, D], [O]), "Start": ([O, "s", D], [O]),
              "OpenPipeWireRemote": ([O, D], ["h"])}
REGISTRY = {"Register": (["s", D], [])}
SESSION = {"Close": ([], [])}
# Test hooks: shortcut edges, the desktop's rebinding and closing, the player's answer to Start, and what was
# asked so far (State, as JSON).
TEST = {"Press": (["s"], []), "Release": (["s"], []), "Rebind": (["s", "s"], []), "CloseSessions": ([], []),
        "SetAnswer": (["s"], []), "EndShares": ([], []), "State": ([], ["s"])}


def interface(name, methods, properties=()):
    def args(types, direction):
        return "".join(f'<arg type="{t}" direction="{direction}"/>' for t in types)
    xml = "".join(f'<method name="{m}">{args(i, "in")}{args(o, "out")}</method>' for m, (i, o) in methods.items())
    xml += "".join(f'<property name="{p}" type="u" access="read"/>' for p in properties)
    return Gio.DBusNodeInfo.new_for_xml(f'<node><interface name="{name}">{xml}</interface></node>').interfaces[0]


def source_node(name):
    """Starts a live test video source and waits for its PipeWire node."""
    size, rate = os.environ.get("QM_STANDIN_WINDOW", "640x360@30").split("@")
    width, height = size.split("x")
    process = subprocess.Popen(
        ["gst-launch-1.0", "-q", "videotestsrc", "is-live=true", "!",
         f"video/x-raw,format=BGRx,width={width},height={height},framerate={rate}/1", "!", "pipewiresink",
         "mode=provide", f"stream-properties=props,media.class=Video/Source,node.name={name}"],
        stdout=subprocess.DEVNULL)
    for _ in range(100):
        for o in json.loads(subprocess.run(["pw-dump"], capture_output=True, text=True).stdout or "[]"):
            if o.get("type", "").endswith("Node") and o.get("info", {}).get("props", {}).get("node.name") == name:
                return process, o["id"]
        time.sleep(0.1)
    process.kill()
    raise RuntimeError("the test source did not come up")


class Portal:
    def __init__(self, bus, options):
        self.bus, self.options = bus, options
        self.calls, self.registered = [], set()
        self.sessions = {}  # path -> the registration of its Session object
        self.shortcut_sessions = {}  # path -> whether its shortcuts are bound
        self.bound = {}  # shortcut id -> (description, trigger)
        self.answer, self.selections, self.parents, self.shares, self.tokens = "share", [], [], {}, 0

    # The plumbing of every portal call: its Request, answered after the reply, and its Session.
    def request(self, sender, options, invocation):
        path = f"{PATH}/request/{sender[1:].replace('.', '_')}/{options.get('handle_token', 't')}"
        invocation.return_value(GLib.Variant("(o)", (path,)))
        return path

    def respond(self, path, code, results=None):
        GLib.timeout_add(20, lambda: self.bus.emit_signal(None, path, "org.freedesktop.portal.Request", "Response",
                                                          GLib.Variant("(ua{sv})", (code, results or {}))) and False)

    def open_session(self, sender, options):
        path = f"{PATH}/session/{sender[1:].replace('.', '_')}/{options.get('session_handle_token', 's')}"
        if path not in self.sessions:
            self.sessions[path] = self.bus.register_object(
                path, interface("org.freedesktop.portal.Session", SESSION), self.on_session_close)
        return path

    def close_session(self, path):
        self.shortcut_sessions.pop(path, None)
        if path in self.sessions:
            self.bus.unregister_object(self.sessions.pop(path))
        self.end_share(path)

    def on_session_close(self, _bus, _sender, path, _iface, _method, _args, invocation):
        self.close_session(path)
        invocation.return_value(None)

    # GlobalShortcuts
    def listed(self):
        return [(i, {"description": GLib.Variant("s", d), "trigger_description": GLib.Variant("s", t)})
                for i, (d, t) in self.bound.items()]

    def bind(self, shortcuts):
        for ident, info in shortcuts:
            wanted = info.get("preferred_trigger", "")
            self.bound[ident] = (info.get("description", ""), "Desktop " + wanted if wanted else "")

    def on_shortcuts(self, _bus, sender, _path, _iface, method, args, invocation):
        """GlobalShortcuts, and the Registry's Register."""
        self.calls.append(method)
        args = args.unpack()
        if method == "Register":
            self.registered.add(sender)
        if method in ("Register", "ConfigureShortcuts"):
            return invocation.return_value(None)
        path = self.request(sender, args[-1], invocation)
        if method == "CreateSession":
            refused = self.options.refuse or (self.options.registry and sender not in self.registered)
            session = self.open_session(sender, args[0])
            self.shortcut_sessions[session] = False
            if self.options.order == "kde" and not refused:
                self.bind(args[0].get("shortcuts", []))
            return self.respond(path, 2 if refused else 0, {"session_handle": GLib.Variant("s", session)})
        if method == "ListShortcuts":
            return self.respond(path, 0, {"shortcuts": GLib.Variant("a(sa{sv})", self.listed())})
        if self.shortcut_sessions.get(args[0], True):  # unknown, or bound once already
            return self.respond(path, 2)
        self.shortcut_sessions[args[0]] = True
        if self.options.order == "documented":
            self.bind(args[1])
        self.respond(path, 0, {"shortcuts": GLib.Variant("a(sa{sv})", self.listed())})

    # ScreenCast
    def on_screencast(self, _bus, sender, _path, _iface, method, args, invocation):
        self.calls.append(method)
        args = args.unpack()
        if method == "OpenPipeWireRemote":
            remote = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
            remote.connect(os.path.join(os.environ["XDG_RUNTIME_DIR"], "pipewire-0"))
            fds = Gio.UnixFDList.new_from_array([remote.detach()])
            return invocation.return_value_with_unix_fd_list(GLib.Variant("(h)", (0,)), fds)
        path = self.request(sender, args[-1], invocation)
        if method == "CreateSession":
            session = self.open_session(sender, args[0])
            return self.respond(path, 0, {"session_handle": GLib.Variant("s", session)})
        if method == "SelectSources":
            self.selections.append({k: v for k, v in args[-1].items() if k != "handle_token"})
            return self.respond(path, 0)
        self.parents.append(args[1])  # Start
        if self.answer == "silent":  # a dialog that never shows nor answers
            return None
        if self.answer != "share":
            return self.respond(path, 1 if self.answer == "cancel" else 2)
        self.tokens += 1
        if self.selections[-1].get("restore_token", "").startswith("dead"):
            node = 4000000 + self.tokens  # the window it named is gone: a node that does not exist
        else:
            self.shares[args[0]], node = source_node(f"standin-window-{self.tokens}")
        self.respond(path, 0, {"streams": GLib.Variant("a(ua{sv})", [(node, {"source_type": GLib.Variant("u", 2)})]),
                               "restore_token": GLib.Variant("s", f"token-{self.tokens}")})

    def end_share(self, session):
        process = self.shares.pop(session, None)
        if process:
            process.terminate()
            process.wait()

    # Test hooks
    def on_test(self, _bus, _sender, _path, _iface, method, args, invocation):
        args = args.unpack()
        reply = None
        if method == "State":
            state = {"calls": self.calls, "selections": self.selections, "parents": self.parents,
                     "shares": len(self.shares)}
            reply = GLib.Variant("(s)", (json.dumps(state),))
        elif method == "SetAnswer":
            self.answer = args[0]
        elif method == "EndShares":
            for session in list(self.shares):
                self.end_share(session)
        elif method == "CloseSessions":
            for session in list(self.sessions):
                self.bus.emit_signal(None, session, "org.freedesktop.portal.Session", "Closed",
                                     GLib.Variant("(a{sv})", ({},)))
                self.close_session(session)
        elif method == "Rebind":
            self.bound[args[0]] = (self.bound.get(args[0], ("", ""))[0], args[1])
            for session in self.shortcut_sessions:
                self.bus.emit_signal(None, PATH, "org.freedesktop.portal.GlobalShortcuts", "ShortcutsChanged",
                                     GLib.Variant("(oa(sa{sv}))", (session, self.listed())))
        else:
            for session in self.shortcut_sessions:
                self.bus.emit_signal(None, PATH, "org.freedesktop.portal.GlobalShortcuts",
                                     "Activated" if method == "Press" else "Deactivated",
                                     GLib.Variant("(osta{sv})", (session, args[0], 0, {})))
        invocation.return_value(reply)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--order", default="documented", help="documented: BindShortcuts binds; kde: CreateSession")
    parser.add_argument("--refuse", action="store_true", help="CreateSession answers 2 (the desktop said no)")
    parser.add_argument("--no-shortcuts", action="store_true", help="no GlobalShortcuts interface")
    parser.add_argument("--registry", action="store_true", help="refuses shortcut sessions before Register")
    parser.add_argument("--version", type=int, default=1, help="GlobalShortcuts version (2 has ConfigureShortcuts)")
    options = parser.parse_args()
    bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
    portal = Portal(bus, options)
    versions = {"version": 4, "AvailableSourceTypes": 3, "AvailableCursorModes": 7}
    bus.register_object(PATH, interface("org.freedesktop.portal.ScreenCast", SCREENCAST, versions),
                        portal.on_screencast, lambda *a: GLib.Variant("u", versions[a[-1]]))
    if not options.no_shortcuts:
        bus.register_object(PATH, interface("org.freedesktop.portal.GlobalShortcuts", SHORTCUTS, ["version"]),
                            portal.on_shortcuts, lambda *_: GLib.Variant("u", options.version))
    if options.registry:
        bus.register_object(PATH, interface("org.freedesktop.host.portal.Registry", REGISTRY), portal.on_shortcuts)
    bus.register_object(TEST_PATH, interface("org.quillmere.Test", TEST), portal.on_test)
    loop = GLib.MainLoop()
    Gio.bus_own_name_on_connection(bus, "org.freedesktop.portal.Desktop", Gio.BusNameOwnerFlags.NONE, None,
                                   lambda *_: loop.quit())
    GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, 15, loop.quit)
    loop.run()
    for session in list(portal.shares):
        portal.end_share(session)


main()
