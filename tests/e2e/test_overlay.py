"""The MDT overlay, its bubble and drags, under a real window manager, over a fake game window."""
import os
import re
import time

from PIL import Image
from qmtest import SHOTS, Case, wait_for

OVERLAY_DEFAULT = (1000, 240, 900, 600)  # (maxX - 920, midY - 300) on 1920x1080, in screen coordinates


class Overlay(Case):
    WM = True

    def setUp(self):
        super().setUp()
        self.app.write_settings({"guild": "12345"})
        self.app.start()
        self.loaded("cad")

    def window(self, name):
        return self.desktop.shown(lambda w: w[1] == name)

    def show_overlay(self):
        self.service.command("cad", "QMApp.send({t:'overlay'})")
        return wait_for(lambda: self.window("MDT"), what="the overlay")

    def bubble(self):
        return wait_for(lambda: self.desktop.shown(lambda w: w[4:] == (58, 58)), what="the bubble")

    def test_overlay_floats_above_a_full_screen_game_without_the_focus_until_a_click_into_its_page(self):
        game = self.start_game("--fullscreen")
        self.desktop.xdotool("windowactivate", "--sync", game[0])
        overlay = self.show_overlay()
        self.assertEqual(overlay[2:], OVERLAY_DEFAULT)
        self.loaded("mdt")
        time.sleep(1)
        self.assertEqual(int(self.desktop.xdotool("getactivewindow")), int(game[0], 16), "the game kept the focus")
        shot = self.desktop.screenshot("overlay-over-full-screen-game")
        x, y = overlay[2] + overlay[4] - 40, overlay[3] + overlay[5] - 40
        self.assertLess(max(shot.getpixel((x, y))), 40, f"the game shows through at {x},{y}: {shot.getpixel((x, y))}")
        self.desktop.click(*self.element_center("mdt", "typing", overlay))
        time.sleep(0.3)
        self.desktop.xdotool("type", "--delay", "30", "10-4 copy")
        time.sleep(0.3)
        self.desktop.screenshot("overlay-typing")
        self.service.command("mdt", "report({kind: 'typed', value: document.getElementById('typing').value})")
        typed = wait_for(lambda: self.service.reports("typed"), what="the typed text")
        self.assertEqual(typed[-1]["value"], "10-4 copy")
        self.choose("Large")  # it would leave the screen on the right: it moves back, the top stays
        wait_for(lambda: self.window("MDT")[2:] == (820, 240, 1100, 720), what=lambda: f"Large, {self.window('MDT')}")
        self.desktop.screenshot("overlay-large")
        # The status item's icon as a panel draws it, from the name and folder the item exports: "QM".
        said = [re.search(r"'([^']*)'", self.desktop.gdbus(
            "app.quillmere.Quillmere", "/org/ayatana/NotificationItem/quillmere", "org.freedesktop.DBus.Properties.Get",
            "org.kde.StatusNotifierItem", name)).group(1) for name in ("IconThemePath", "IconName")]
        shot = os.path.join(SHOTS, "status-item-icon.png")
        if os.path.exists(shot):
            os.remove(shot)
        self.desktop.run(["rsvg-convert", "-w", "22", "-h", "22", "-b", "#303030", "-o", shot,
                          os.path.join(said[0], said[1] + ".svg")], check=False)
        seen = Image.open(shot).convert("RGB").getdata() if os.path.exists(shot) else []
        self.assertGreater(sum(min(p) > 200 for p in seen), 20, f"white letters in {said}")
        self.assertGreater(sum(p[2] > 150 > p[0] for p in seen), 100, f"on blue in {said}")

    def test_edit_keys_and_minimize_act_on_the_window_with_the_keyboard_not_on_the_newer_mdt(self):
        main = self.app.main_window()
        self.click_element("cad", "typing", main)
        self.show_overlay()
        self.loaded("mdt")
        self.desktop.xdotool("type", "--delay", "30", "10-4")
        self.desktop.xdotool("key", "--delay", "100", "ctrl+a", "ctrl+c", "End", "ctrl+v")
        self.service.command("cad", "report({kind: 'typed', value: document.getElementById('typing').value})")
        wait_for(lambda: self.service.reports("typed"), what="the typed text")
        self.assertEqual(self.service.reports("typed")[-1]["value"], "10-410-4")
        self.desktop.xdotool("key", "ctrl+m")  # the MDT hides, and uncovers the field
        wait_for(lambda: not self.window("MDT"), what="the MDT to hide")
        self.desktop.screenshot("overlay-main-window-pasted")
        self.desktop.xdotool("key", "ctrl+shift+m")
        wait_for(lambda: not self.desktop.viewable(main), what="the main window to minimize")

    def test_page_drag_moves_the_overlay_and_its_bubble_restores_it_or_moves_on_a_drag(self):
        overlay = self.show_overlay()
        self.loaded("mdt")
        x, y = self.element_center("mdt", "b-drag", overlay)
        self.desktop.xdotool("mousemove", "--sync", x, y)
        self.desktop.xdotool("mousedown", 1)
        # The page's message takes its time: nudge the mouse until the overlay starts to follow.
        nudged = [0]

        def following():
            nudged[0] += 1
            self.desktop.xdotool("mousemove", "--sync", x - nudged[0], y)
            time.sleep(0.05)
            window = self.window("MDT")
            return window if window and window[2] != overlay[2] else None
        wait_for(following, what="the drag to start")
        time.sleep(0.1)
        x -= nudged[0]
        start = self.window("MDT")
        for step in range(1, 11):
            self.desktop.xdotool("mousemove", "--sync", x - 30 * step, y + 10 * step)
            time.sleep(0.03)
        time.sleep(0.2)
        self.desktop.xdotool("mouseup", 1)
        target = (start[2] - 300, start[3] + 100)
        moved = wait_for(lambda: (lambda w: w if w and w[2:4] == target else None)(self.window("MDT")),
                         what=lambda: f"the overlay to go from {start} to {target}, not {self.window('MDT')}")
        # Stored in AppKit coordinates: the bottom of the screen is y 0.
        expect = "{{%d, %d}, {900, 600}}" % (moved[2], 1080 - moved[3] - 600)
        wait_for(lambda: self.app.settings().get("overlayFrame") == expect, what="the stored frame")
        self.service.command("mdt", "QMApp.send({t:'minimize'})")
        bubble = self.bubble()
        wait_for(lambda: self.window("MDT") is None, what="the overlay to hide")
        time.sleep(0.3)
        icon = self.desktop.screenshot("overlay-bubble").crop((bubble[2] + 11, bubble[3] + 11, bubble[2] + 47,
                                                               bubble[3] + 47))
        self.assertGreater(sum(min(p) > 200 for p in icon.getdata()), 15, "the icon in the bubble")
        cx, cy = bubble[2] + 29, bubble[3] + 29
        self.desktop.click(cx, cy)
        wait_for(lambda: self.window("MDT"), what="the overlay to come back")
        self.assertIsNone(self.desktop.shown(lambda w: w[4:] == (58, 58)))

        self.service.command("mdt", "QMApp.send({t:'minimize'})")
        bubble = self.bubble()
        self.desktop.xdotool("mousemove", "--sync", cx, cy)
        self.desktop.xdotool("mousedown", 1)
        for step in range(1, 11):
            self.desktop.xdotool("mousemove", "--sync", cx + step, cy - 20 * step)
            time.sleep(0.02)
        self.desktop.xdotool("mouseup", 1)
        wait_for(lambda: self.desktop.shown(lambda w: w[4:] == (58, 58) and w[3] == bubble[3] - 200),
                 what="the bubble to move up")
        wait_for(lambda: "bubbleY" in self.app.settings(), what="bubbleY stored at the drag's end")
        self.assertIsNone(self.window("MDT"), "a drag is not a click")
