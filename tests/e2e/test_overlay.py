"""The MDT overlay's sizes, the status item's icon and the edit keys beside the MDT, under a real window manager
(what shows over a game, the page drag and the bubble: test_focus)."""
import os
import re

from PIL import Image
from qmtest import SHOTS, Case, wait_for


class Overlay(Case):
    WM = True

    def setUp(self):
        super().setUp()
        self.app.write_settings({"guild": "12345"})
        self.app.start()
        self.loaded("cad")

    def show_overlay(self):
        self.service.command("cad", "QMApp.send({t:'overlay'})")
        return wait_for(lambda: self.desktop.shown("MDT"), what="the overlay")

    def test_large_keeps_the_mdt_on_screen(self):
        self.show_overlay()
        self.choose("Large")  # it would leave the screen on the right: it moves back, the top stays
        wait_for(lambda: self.desktop.shown("MDT")[2:] == (820, 240, 1100, 720),
                 what=lambda: f"Large, {self.desktop.shown('MDT')}")
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
        self.assertEqual(self.typed("cad"), "10-410-4")
        self.desktop.xdotool("key", "ctrl+m")  # the MDT hides, and uncovers the field
        wait_for(lambda: not self.desktop.shown("MDT"), what="the MDT to hide")
        self.desktop.screenshot("overlay-main-window-pasted")
        self.desktop.xdotool("key", "ctrl+shift+m")
        wait_for(lambda: not self.desktop.viewable(main), what="the main window to minimize")
