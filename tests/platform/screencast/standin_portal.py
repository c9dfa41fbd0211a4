#!/usr/bin/python3
"""A stand-in ScreenCast portal on the session bus for the capture's contract tests.

Each shared window is a live GStreamer test source on the PipeWire daemon of $XDG_RUNTIME_DIR. The test
sets the player's answer (share, cancel, refuse) and ends a share as a closed window would, through the
interface org.quillmere.Test; restore tokens starting with "dead" name a window that is gone. The window's
size and frame rate are 640x360 at 30 a second, or as QM_STANDIN_WINDOW says (for example 2560x1440@10).
"""
import json
import os
import socket
import subprocess
import time

from gi.repository import Gio, GLib

PATH = "/org/freedesktop/portal/desktop"
XML = """
<node>
  <interface name="org.freedesktop.portal.ScreenCast">
    <method name="CreateSession"><arg type="a{sv}" direction="in"/><arg type="o" direction="out"/></method>
    <method name="SelectSources">
      <arg type="o" direction="in"/><arg type="a{sv}" direction="in"/><arg type="o" direction="out"/>
    </method>
    <method name="Start">
      <arg type="o" direction="in"/><arg type="s" direction="in"/><arg type="a{sv}" direction="in"/>
      <arg type="o" direction="out"/>
    </method>
    <method name="OpenPipeWireRemote">
      <arg type="o" direction="in"/><arg type="a{sv}" direction="in"/><arg type="h" direction="out"/>
    </method>
    <property name="AvailableSourceTypes" type="u" access="read"/>
    <property name="AvailableCursorModes" type="u" access="read"/>
    <property name="version" type="u" access="read"/>
  </interface>
  <interface name="org.quillmere.Test">
    <method name="SetAnswer"><arg type="s" direction="in"/></method>
    <method name="EndShares"/>
    <method name="Selections"><arg type="s" direction="out"/></method>
    <method name="Shares"><arg type="u" direction="out"/></method>
  </interface>
</node>
"""
SESSION_XML = """
<node><interface name="org.freedesktop.portal.Session"><method name="Close"/><signal name="Closed"/></interface></node>
"""

answer = "share"
selections = []  # the options of every SelectSources call, for the test to check
sources = {}  # session path -> the test source's process
tokens = 0
bus = None


def source_node(name):
    """Starts a test video source and waits for its PipeWire node."""
    size, rate = os.environ.get("QM_STANDIN_WINDOW", "640x360@30").split("@")
    width, height = size.split("x")
    process = subprocess.Popen(
        ["gst-launch-1.0", "-q", "videotestsrc", "is-live=true", "!",
         f"video/x-raw,format=BGRx,width={width},height={height},framerate={rate}/1", "!", "pipewiresink",
         "mode=provide",
         f"stream-properties=props,media.class=Video/Source,node.name={name}"],
        stdout=subprocess.DEVNULL)
    for _ in range(100):
        dump = json.loads(subprocess.run(["pw-dump"], capture_output=True, text=True).stdout or "[]")
        for o in dump:
            if o.get("type", "").endswith("Node") and o.get("info", {}).get("props", {}).get("node.name") == name:
                return process, o["id"]
        time.sleep(0.1)
    process.kill()
    raise RuntimeError("the test source did not come up")


def request_path(sender, options):
    return f"{PATH}/request/{sender[1:].replace('.', '_')}/{options['handle_token']}"


def respond(sender, path, code, results):
    # Answered once the caller has the request's path, as a portal answers after its dialog.
    def emit():
        bus.emit_signal(sender, path, "org.freedesktop.portal.Request", "Response",
                        GLib.Variant("(ua{sv})", (code, results)))
        return False
    GLib.timeout_add(20, emit)


def end(session):
    process = sources.pop(session, None)
    if process:
        process.terminate()
        process.wait()


def on_session_call(connection, sender, path, interface, method, params, invocation):
    end(path)
    invocation.return_value(None)


def on_call(connection, sender, path, interface, method, params, invocation):
    global answer, tokens
    if method == "SetAnswer":
        answer = params[0]
        return invocation.return_value(None)
    if method == "EndShares":
        for session in list(sources):
            end(session)
        return invocation.return_value(None)
    if method == "Shares":
        return invocation.return_value(GLib.Variant("(u)", (len(sources),)))
    if method == "Selections":
        return invocation.return_value(GLib.Variant("(s)", (json.dumps(selections),)))
    args = params.unpack()
    options = args[-1]
    if method == "OpenPipeWireRemote":
        remote = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        remote.connect(os.path.join(os.environ["XDG_RUNTIME_DIR"], "pipewire-0"))
        fds = Gio.UnixFDList.new_from_array([remote.detach()])
        return invocation.return_value_with_unix_fd_list(GLib.Variant("(h)", (0,)), fds)
    reply = request_path(sender, options)
    invocation.return_value(GLib.Variant("(o)", (reply,)))
    if method == "CreateSession":
        session = f"{PATH}/session/{sender[1:].replace('.', '_')}/{options['session_handle_token']}"
        connection.register_object(session, Gio.DBusNodeInfo.new_for_xml(SESSION_XML).interfaces[0],
                                   on_session_call, None, None)
        return respond(sender, reply, 0, {"session_handle": GLib.Variant("s", session)})
    if method == "SelectSources":
        selections.append({k: v for k, v in options.items() if k != "handle_token"})
        return respond(sender, reply, 0, {})
    # Start
    if answer != "share":
        return respond(sender, reply, 1 if answer == "cancel" else 2, {})
    token = selections[-1].get("restore_token", "")
    tokens += 1
    if token.startswith("dead"):
        node = 4000000 + tokens  # the window it named is gone: a node that does not exist
    else:
        process, node = source_node(f"standin-window-{tokens}")
        sources[args[0]] = process
    respond(sender, reply, 0, {
        "streams": GLib.Variant("a(ua{sv})", [(node, {"source_type": GLib.Variant("u", 2)})]),
        "restore_token": GLib.Variant("s", f"token-{tokens}")})


def on_property(connection, sender, path, interface, name):
    return GLib.Variant("u", {"AvailableSourceTypes": 3, "AvailableCursorModes": 7, "version": 4}[name])


def main():
    global bus
    bus = Gio.bus_get_sync(Gio.BusType.SESSION)
    for interface in Gio.DBusNodeInfo.new_for_xml(XML).interfaces:
        bus.register_object(PATH, interface, on_call, on_property, None)
    loop = GLib.MainLoop()
    Gio.bus_own_name_on_connection(bus, "org.freedesktop.portal.Desktop", Gio.BusNameOwnerFlags.NONE, None,
                                   lambda *_: loop.quit())
    GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, 15, loop.quit)
    loop.run()
    for session in list(sources):
        end(session)


if __name__ == "__main__":
    main()
