#!/usr/bin/python3
"""Plays the game as a native Wayland client: a full-screen GTK window titled "Roblox", left half blue and
right half green. Prints "active" or "inactive" when its focus changes and "key NAME" for each press."""
import os
import sys

os.environ["GDK_BACKEND"] = "wayland"
import gi  # noqa: E402

gi.require_version("Gtk", "3.0")
gi.require_version("Gdk", "3.0")
from gi.repository import Gdk, GLib, Gtk  # noqa: E402


def say(text):
    print(text, flush=True)


GLib.set_prgname("org.vinegarhq.Sober")
window = Gtk.Window(title="Roblox")
css = Gtk.CssProvider()
css.load_from_data(b"#left { background: #0000ff; } #right { background: #00c800; }")
Gtk.StyleContext.add_provider_for_screen(Gdk.Screen.get_default(), css, Gtk.STYLE_PROVIDER_PRIORITY_APPLICATION)
halves = Gtk.Box(homogeneous=True)
for name in ("left", "right"):
    half = Gtk.EventBox(name=name)
    halves.pack_start(half, True, True, 0)
window.add(halves)
window.connect("notify::is-active", lambda w, _: say("active" if w.is_active() else "inactive"))
window.connect("key-press-event", lambda w, e: say("key " + (Gdk.keyval_name(e.keyval) or "?")))
window.connect("destroy", Gtk.main_quit)
window.fullscreen()
window.show_all()
sys.exit(Gtk.main())
