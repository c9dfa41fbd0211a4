#!/usr/bin/python3
"""The game for tests: "Roblox" of the player's app id, a 28-pixel red band over a blue and a green half.
Usage: game.py [WIDTH HEIGHT] [--fullscreen] [--wayland] [--ticking]; on X11 at 100,100. Prints focus changes.
--ticking: a counter in the band changes ten times a second, so no two frames are alike, as in a game."""
import os
import sys

os.environ["GDK_BACKEND"] = "wayland" if "--wayland" in sys.argv else "x11"
import gi  # noqa: E402

gi.require_version("Gtk", "3.0")
gi.require_version("Gdk", "3.0")
from gi.repository import Gdk, GLib, Gtk  # noqa: E402

size = [int(a) for a in sys.argv[1:] if a.isdigit()] or [800, 600]
# The player's Flatpak app id on Wayland; its X11 windows carry the class "sober".
GLib.set_prgname("org.vinegarhq.Sober" if "--wayland" in sys.argv else "sober")
window = Gtk.Window(title="Roblox")
css = Gtk.CssProvider()
css.load_from_data(b"#band { background: #ff0000; } #left { background: #0000ff; } #right { background: #00c800; }")
Gtk.StyleContext.add_provider_for_screen(Gdk.Screen.get_default(), css, Gtk.STYLE_PROVIDER_PRIORITY_APPLICATION)
halves = Gtk.Box(homogeneous=True)
for name in ("left", "right"):
    halves.pack_start(Gtk.EventBox(name=name), True, True, 0)
band = Gtk.EventBox(name="band")
band.set_size_request(-1, 28)
if "--ticking" in sys.argv:
    ticks = Gtk.Label(label="0")
    band.add(ticks)
    GLib.timeout_add(100, lambda: ticks.set_label(str(int(ticks.get_label()) + 1)) or True)
column = Gtk.Box(orientation=Gtk.Orientation.VERTICAL)
column.pack_start(band, False, False, 0)
column.pack_start(halves, True, True, 0)
window.add(column)
window.connect("notify::is-active", lambda w, _: print("active" if w.is_active() else "inactive", flush=True))
window.connect("destroy", Gtk.main_quit)
if "--fullscreen" in sys.argv:
    area = Gdk.Display.get_default().get_monitor(0).get_geometry()
    size = [area.width, area.height]  # the whole screen even with no window manager to do it
    window.fullscreen()
    # Asked again once mapped: wlroots' X window manager may map the window before it reads the state asked.
    window.connect("map-event", lambda w, _: w.fullscreen())
else:
    window.move(100, 100)
window.set_default_size(*size)
window.show_all()
sys.exit(Gtk.main())
