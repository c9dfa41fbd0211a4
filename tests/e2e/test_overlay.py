"""The MDT overlay's sizes and the edit keys beside it, under a real window manager (what shows over a game, the
page drag and the bubble: test_focus)."""
from qmtest import Case, wait_for


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
