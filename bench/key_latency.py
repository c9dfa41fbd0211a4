#!/usr/bin/env python3
"""Key press to page event latency of the real binary: 300 XTest presses of F10 over the fake game, each timed
to the main page's "qm-app" event; prints the median and the 99th percentile."""
import ctypes
import os
import sys
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
from qmtest import Case, wait_for  # noqa: E402

PRESSES = 300


class Keyboard:
    """XTest key presses from this process, without a tool start between the clock and the key."""

    def __init__(self, display):
        self.x = ctypes.CDLL("libX11.so.6")
        self.xtst = ctypes.CDLL("libXtst.so.6")
        self.x.XOpenDisplay.restype = ctypes.c_void_p
        self.x.XOpenDisplay.argtypes = [ctypes.c_char_p]
        self.x.XStringToKeysym.restype = ctypes.c_ulong
        self.x.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
        self.x.XFlush.argtypes = [ctypes.c_void_p]
        self.x.XCloseDisplay.argtypes = [ctypes.c_void_p]
        self.xtst.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]
        self.dpy = self.x.XOpenDisplay(display.encode())
        if not self.dpy:
            raise RuntimeError("cannot open " + display)

    def key(self, name, down):
        code = self.x.XKeysymToKeycode(self.dpy, self.x.XStringToKeysym(name.encode()))
        self.xtst.XTestFakeKeyEvent(self.dpy, code, 1 if down else 0, 0)
        self.x.XFlush(self.dpy)

    def close(self):
        self.x.XCloseDisplay(self.dpy)


class KeyLatency(Case):
    WM = True

    def test_key_press_to_page_event_latency(self):
        self.app.write_settings({"guild": "12345"})
        self.app.start()
        self.loaded("cad")
        game = self.start_game()
        self.desktop.xdotool("windowactivate", "--sync", game[0])
        time.sleep(0.2)
        keyboard = Keyboard(self.desktop.env["DISPLAY"])
        pressed = []
        try:
            for _ in range(PRESSES):
                pressed.append(time.time() * 1000)
                keyboard.key("F10", True)
                keyboard.key("F10", False)
                time.sleep(0.03)
        finally:
            keyboard.close()

        def clips():
            return sorted(r["at"] for r in self.service.events("cad") if r.get("detail") == {"type": "clip"})
        wait_for(lambda: len(clips()) >= PRESSES, 30, what="an event for every press")
        time.sleep(0.5)
        arrived = clips()
        self.assertEqual(len(arrived), PRESSES, "exactly one event per press")
        latencies = sorted(a - p for a, p in zip(arrived, pressed))
        print(f"\nkey press to page event over {PRESSES} presses: median {latencies[PRESSES // 2]:.1f} ms, "
              f"99th percentile {latencies[int(PRESSES * 0.99) - 1]:.1f} ms")


if __name__ == "__main__":
    unittest.main()
