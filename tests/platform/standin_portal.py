#!/usr/bin/python3
"""A stand-in of the desktop portal's global shortcuts, for contract tests on a private bus.

  --order documented   shortcuts are registered by BindShortcuts (once per session)
  --order kde          only the shortcuts in CreateSession's options are registered; BindShortcuts binds nothing
  --refuse             CreateSession answers 2 (the desktop said no)
  --no-shortcuts       the portal runs without the GlobalShortcuts interface
  --registry           has org.freedesktop.host.portal.Registry, and refuses sessions before Register
  --version N          the interface's version (2 has ConfigureShortcuts)

Test hooks on /org/quillmere/test (org.quillmere.PortalTest): Press(id), Release(id), Rebind(id, trigger),
CloseSessions() (the desktop closes every session) and Calls() -> as, the portal methods called so far in order."""
import argparse

import gi

gi.require_version("Gio", "2.0")
from gi.repository import Gio, GLib  # noqa: E402

PATH = "/org/freedesktop/portal/desktop"
SHORTCUTS = """
<node>
  <interface name="org.freedesktop.portal.GlobalShortcuts">
    <method name="CreateSession"><arg type="a{sv}" direction="in"/><arg type="o" direction="out"/></method>
    <method name="BindShortcuts"><arg type="o" direction="in"/><arg type="a(sa{sv})" direction="in"/>
      <arg type="s" direction="in"/><arg type="a{sv}" direction="in"/><arg type="o" direction="out"/></method>
    <method name="ListShortcuts"><arg type="o" direction="in"/><arg type="a{sv}" direction="in"/>
      <arg type="o" direction="out"/></method>
    <method name="ConfigureShortcuts"><arg type="o" direction="in"/><arg type="s" direction="in"/>
      <arg type="a{sv}" direction="in"/></method>
    <signal name="Activated"><arg type="o"/><arg type="s"/><arg type="t"/><arg type="a{sv}"/></signal>
    <signal name="Deactivated"><arg type="o"/><arg type="s"/><arg type="t"/><arg type="a{sv}"/></signal>
    <signal name="ShortcutsChanged"><arg type="o"/><arg type="a(sa{sv})"/></signal>
    <property name="version" type="u" access="read"/>
  </interface>
</node>"""
REGISTRY = """
<node><interface name="org.freedesktop.host.portal.Registry">
  <method name="Register"><arg type="s" direction="in"/><arg type="a{sv}" direction="in"/></method>
</interface></node>"""
TEST = """
<node><interface name="org.quillmere.PortalTest">
  <method name="Press"><arg type="s" direction="in"/></method>
  <method name="Release"><arg type="s" direction="in"/></method>
  <method name="Rebind"><arg type="s" direction="in"/><arg type="s" direction="in"/></method>
  <method name="CloseSessions"/>
  <method name="Calls"><arg type="as" direction="out"/></method>
</interface></node>"""


class Portal:
    def __init__(self, bus, options):
        self.bus, self.options = bus, options
        self.calls, self.bound, self.sessions, self.registered = [], {}, {}, set()

    def request_path(self, sender, token):
        return f"{PATH}/request/{sender[1:].replace('.', '_')}/{token}"

    def answer(self, path, response, results):
        """The Response comes after the method's reply, as from a real portal."""
        GLib.idle_add(lambda: self.bus.emit_signal(None, path, "org.freedesktop.portal.Request", "Response",
                                                   GLib.Variant("(ua{sv})", (response, results))) and False)

    def listed(self):
        return [(i, {"description": GLib.Variant("s", d), "trigger_description": GLib.Variant("s", t)})
                for i, (d, t) in self.bound.items()]

    def bind(self, shortcuts):
        for ident, info in shortcuts:
            wanted = info.get("preferred_trigger", "")
            self.bound[ident] = (info.get("description", ""), "Desktop " + wanted if wanted else "")

    def shortcuts_call(self, sender, method, args, invocation):
        self.calls.append(method)
        if method == "ConfigureShortcuts":
            return invocation.return_value(None)
        options = args[-1]
        path = self.request_path(sender, options.get("handle_token", "t"))
        invocation.return_value(GLib.Variant("(o)", (path,)))
        if method == "CreateSession":
            refused = self.options.refuse or (self.options.registry and sender not in self.registered)
            session = f"{PATH}/session/{sender[1:].replace('.', '_')}/{options.get('session_handle_token', 's')}"
            self.sessions[session] = False
            if self.options.order == "kde" and not refused:
                self.bind(options.get("shortcuts", []))
            return self.answer(path, 2 if refused else 0, {"session_handle": GLib.Variant("s", session)})
        if method == "ListShortcuts":
            return self.answer(path, 0, {"shortcuts": GLib.Variant("a(sa{sv})", self.listed())})
        session = args[0]
        if self.sessions.get(session, True):  # unknown, or bound once already
            return self.answer(path, 2, {})
        self.sessions[session] = True
        if self.options.order == "documented":
            self.bind(args[1])
        self.answer(path, 0, {"shortcuts": GLib.Variant("a(sa{sv})", self.listed())})

    def test_call(self, method, args, invocation):
        if method == "Calls":
            return invocation.return_value(GLib.Variant("(as)", (self.calls,)))
        if method == "CloseSessions":
            for session in self.sessions:
                self.bus.emit_signal(None, session, "org.freedesktop.portal.Session", "Closed",
                                     GLib.Variant("(a{sv})", ({},)))
            self.sessions.clear()
        elif method == "Rebind":
            self.bound[args[0]] = (self.bound.get(args[0], ("", ""))[0], args[1])
            for session in self.sessions:
                self.bus.emit_signal(None, PATH, "org.freedesktop.portal.GlobalShortcuts", "ShortcutsChanged",
                                     GLib.Variant("(oa(sa{sv}))", (session, self.listed())))
        else:
            for session in self.sessions:
                self.bus.emit_signal(None, PATH, "org.freedesktop.portal.GlobalShortcuts",
                                     "Activated" if method == "Press" else "Deactivated",
                                     GLib.Variant("(osta{sv})", (session, args[0], 0, {})))
        invocation.return_value(None)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--order", default="documented")
    parser.add_argument("--refuse", action="store_true")
    parser.add_argument("--no-shortcuts", action="store_true")
    parser.add_argument("--registry", action="store_true")
    parser.add_argument("--version", type=int, default=1)
    options = parser.parse_args()
    bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
    portal = Portal(bus, options)

    def on_shortcuts(_bus, sender, _path, _iface, method, args, invocation):
        portal.shortcuts_call(sender, method, args.unpack(), invocation)

    def on_registry(_bus, sender, _path, _iface, _method, _args, invocation):
        portal.calls.append("Register")
        portal.registered.add(sender)
        invocation.return_value(None)

    def on_test(_bus, _sender, _path, _iface, method, args, invocation):
        portal.test_call(method, args.unpack(), invocation)

    def get_property(*_):
        return GLib.Variant("u", options.version)

    if not options.no_shortcuts:
        bus.register_object(PATH, Gio.DBusNodeInfo.new_for_xml(SHORTCUTS).interfaces[0], on_shortcuts, get_property)
    if options.registry:
        bus.register_object(PATH, Gio.DBusNodeInfo.new_for_xml(REGISTRY).interfaces[0], on_registry)
    bus.register_object("/org/quillmere/test", Gio.DBusNodeInfo.new_for_xml(TEST).interfaces[0], on_test)
    Gio.bus_own_name_on_connection(bus, "org.freedesktop.portal.Desktop", Gio.BusNameOwnerFlags.NONE, None, None)
    GLib.MainLoop().run()


main()
