#!/usr/bin/python3
"""Writes KWin's picture of the whole screen to stdout as a binary PPM (ScreenShot2.CaptureWorkspace)."""
import os
import sys

import gi

gi.require_version("Gio", "2.0")
from gi.repository import Gio, GLib  # noqa: E402

bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
read, write = os.pipe()
fds = Gio.UnixFDList.new()
fds.append(write)
os.close(write)  # every copy of the write end must close for the read to end
reply, _ = bus.call_with_unix_fd_list_sync(
    "org.kde.KWin.ScreenShot2", "/org/kde/KWin/ScreenShot2", "org.kde.KWin.ScreenShot2", "CaptureWorkspace",
    GLib.Variant("(a{sv}h)", ({}, 0)), GLib.VariantType("(a{sv})"), Gio.DBusCallFlags.NONE, 30000, fds, None)
del fds
info = reply.unpack()[0]
with os.fdopen(read, "rb") as f:
    data = f.read()
width, height, stride = info["width"], info["height"], info["stride"]
out = sys.stdout.buffer
out.write(b"P6\n%d %d\n255\n" % (width, height))
for y in range(height):
    row = data[y * stride:y * stride + width * 4]
    pixels = bytearray(width * 3)
    # ARGB32 lies in memory as B, G, R, A on little-endian machines.
    pixels[0::3], pixels[1::3], pixels[2::3] = row[2::4], row[1::4], row[0::4]
    out.write(pixels)
