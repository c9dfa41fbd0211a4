"""The MDT overlay's sizes, page drag and bubble, and the edit keys beside it, under a real window manager (what
shows over a game: test_focus)."""
import time

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

    def bubble(self):
        return wait_for(lambda: self.desktop.shown(lambda w: w[4:] == (58, 58)), what="the bubble")

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
        self.service.command("cad", "report({kind: 'typed', value: document.getElementById('typing').value})")
        wait_for(lambda: self.service.reports("typed"), what="the typed text")
        self.assertEqual(self.service.reports("typed")[-1]["value"], "10-410-4")
        self.desktop.xdotool("key", "ctrl+m")  # the MDT hides, and uncovers the field
        wait_for(lambda: not self.desktop.shown("MDT"), what="the MDT to hide")
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
            window = self.desktop.shown("MDT")
            return window if window and window[2] != overlay[2] else None
        wait_for(following, what="the drag to start")
        time.sleep(0.1)
        x -= nudged[0]
        start = self.desktop.shown("MDT")
        for step in range(1, 11):
            self.desktop.xdotool("mousemove", "--sync", x - 30 * step, y + 10 * step)
            time.sleep(0.03)
        time.sleep(0.2)
        self.desktop.xdotool("mouseup", 1)
        target = (start[2] - 300, start[3] + 100)
        moved = wait_for(lambda: (lambda w: w if w and w[2:4] == target else None)(self.desktop.shown("MDT")),
                         what=lambda: f"the overlay to go from {start} to {target}, not {self.desktop.shown('MDT')}")
        # Stored in AppKit coordinates: the bottom of the screen is y 0.
        expect = "{{%d, %d}, {900, 600}}" % (moved[2], 1080 - moved[3] - 600)
        wait_for(lambda: self.app.settings().get("overlayFrame") == expect, what="the stored frame")
        self.service.command("mdt", "QMApp.send({t:'minimize'})")
        bubble = self.bubble()
        wait_for(lambda: self.desktop.shown("MDT") is None, what="the overlay to hide")
        time.sleep(0.3)
        self.desktop.screenshot("overlay-bubble")
        cx, cy = bubble[2] + 29, bubble[3] + 29
        self.desktop.click(cx, cy)
        wait_for(lambda: self.desktop.shown("MDT"), what="the overlay to come back")

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
