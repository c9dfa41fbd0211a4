"""Hotkeys, who has the keyboard, what shows over a fake game and how the MDT and its bubble move, by real X input,
with openbox and without; the MDT's sizes, the status item's icon and the edit keys beside the MDT under openbox."""
import os
import re
import time

from PIL import Image
from qmtest import Case, on_each_desktop, wait_for

FRAME = "{{240, 90}, {1440, 900}}"
GREEN, BLUE = (0, 200, 0), (0, 0, 255)  # the fake game's halves
OVERLAY_DEFAULT = (1000, 240, 900, 600)  # (maxX - 920, midY - 300) on 1920x1080, in screen coordinates
DOWN, UP = {"type": "ptt", "down": True}, {"type": "ptt", "down": False}


class Focus(Case):
    def setUp(self):
        super().setUp()
        self.app.write_settings({"guild": "12345", "overlayOpen": True, "mainFrame": FRAME})
        self.app.start()
        self.loaded("cad")
        self.loaded("mdt")
        self.game = self.start_game()
        self.focus(self.game)

    def focus(self, window):
        self.desktop.xdotool("windowactivate" if self.WM else "windowfocus", "--sync", window[0])
        wait_for(lambda: self.focused() == int(window[0], 16), what=f"{window[1]} to have the keyboard")

    def focused(self):
        """The top-level window with the keyboard, 0 for none (xdotool fails then, as the keyboard moves)."""
        found = self.desktop.run(["xdotool", "getwindowfocus"], check=False).strip()
        return int(found) if found.isdigit() else 0

    def settled_main_window(self):
        first = self.app.main_window()
        time.sleep(0.3)
        return first if self.app.main_window() == first else None

    def drag(self, path):
        """Moves the pressed mouse along `path`, step by step, and lets go."""
        steps = [arg for x, y in path for arg in ("mousemove", "--sync", x, y, "sleep", 0.03)]
        self.desktop.xdotool(*steps, "sleep", 0.2, "mouseup", 1)

    def click_into_overlay(self):
        overlay = wait_for(lambda: self.desktop.shown("MDT"), what="the overlay")
        self.click_element("mdt", "typing", overlay)
        wait_for(lambda: self.focused() == int(overlay[0], 16), what="the overlay to take the keyboard")
        # The page takes the click after the window has the keyboard: type until its field shows the keys.
        def typed_into_its_field():
            self.desktop.xdotool("type", "10-4")
            return self.typed().endswith("10-4")
        wait_for(typed_into_its_field, 20, 0.3, what=lambda: f"the typing in the MDT, not {self.typed()!r}")

    @on_each_desktop
    def test_hotkeys_over_the_game_and_in_our_windows_and_a_release_goes_where_its_press_went(self):
        self.desktop.xdotool("key", "F8")
        wait_for(lambda: not self.desktop.shown("MDT"), what="the overlay to hide")
        self.desktop.xdotool("keydown", "v")
        wait_for(lambda: self.details() == [DOWN], what="ptt down")
        time.sleep(0.5)  # held: no repeats
        self.desktop.xdotool("key", "F8")
        wait_for(lambda: self.desktop.shown("MDT"), what="the overlay")
        self.assertEqual(self.focused(), int(self.game[0], 16))
        self.desktop.xdotool("keyup", "v")
        wait_for(lambda: self.details() == [DOWN, UP], what=lambda: f"ptt up on the main page, not {self.details()}")
        self.desktop.xdotool("key", "F8", "F9", "F10")
        wait_for(lambda: self.details()[2:] == [{"type": "bodycam"}, {"type": "clip"}], what="bodycam and clip")
        self.assertIsNone(self.desktop.shown("MDT"))
        # In our own window push-to-talk is typing and other keys act once, not once per monitor.
        self.focus(self.app.main_window())
        self.desktop.xdotool("key", "v", "F9")
        wait_for(lambda: self.details()[4:] == [{"type": "bodycam"}], what="bodycam from the local monitor")
        time.sleep(1)
        self.assertEqual(self.details()[4:], [{"type": "bodycam"}], "no push-to-talk, no second bodycam")

    @on_each_desktop
    def test_the_keyboard_goes_back_to_the_game_the_picker_takes_its_key_and_activation_shows_no_hidden_window(self):
        self.click_into_overlay()
        self.desktop.xdotool("mousemove", "--sync", 300, 500)
        wait_for(lambda: self.focused() == int(self.game[0], 16), what="the game to have the keyboard again")
        self.choose("Radio push-to-talk (hold): V")
        dialog = self.app.dialog()
        self.assertIsNone(self.desktop.shown("MDT"), "a panel above the dialog")
        self.desktop.xdotool("key", "a")
        time.sleep(1)  # the dialog's new text laid out
        self.assertEqual(self.app.dialog()[4], dialog[4], "the dialog keeps its width as its text changes")
        self.desktop.xdotool("key", "Return")
        wait_for(lambda: self.app.settings().get("key.ptt") == 0x10000, what="A stored for push-to-talk")
        wait_for(lambda: self.desktop.shown("MDT"), what="the overlay back")
        wait_for(lambda: "Radio push-to-talk (hold): A" in self.status_menu(),
                 what=lambda: f"the menu rebuilt: {self.status_menu()}")
        # The game has the keyboard again: its A is push-to-talk at once; the picked press acted nowhere.
        wait_for(lambda: self.focused() == int(self.game[0], 16), what="the game to have the keyboard back")
        self.desktop.xdotool("key", "a")
        wait_for(lambda: self.details("mdt") == [DOWN, UP], what=lambda: f"push-to-talk, not {self.details(None)}")
        self.click_into_overlay()
        self.desktop.xdotool("key", "F8")  # from the overlay itself: it hides
        wait_for(lambda: not self.desktop.shown("MDT"), what="the overlay to hide")
        wait_for(lambda: self.focused() == int(self.game[0], 16), what="the game to have the keyboard again")
        self.desktop.xdotool("key", "a")
        wait_for(lambda: UP in self.details(), what="push-to-talk from the game")
        self.desktop.close_window(self.app.main_window()[0])
        wait_for(lambda: not self.desktop.shown("Quillmere"), what="the main window to close")
        self.choose("Bodycam: F9")
        self.app.dialog()
        time.sleep(0.5)
        self.assertIsNone(self.desktop.shown("MDT"))
        self.assertIsNone(self.desktop.shown("Quillmere"))
        self.desktop.xdotool("key", "Escape", "Escape")  # Off, then Cancel
        wait_for(lambda: not self.desktop.shown(lambda w: w[1] == "Quillmere"), what="the picker to close")
        self.choose("Open Quillmere")
        self.app.main_window()
        time.sleep(0.5)
        self.assertIsNone(self.desktop.shown("MDT"))

    @on_each_desktop
    def test_a_full_screen_game_that_raises_itself_stays_below_the_overlay_and_hide_and_reopen_bring_back_it(self):
        overlay = wait_for(lambda: self.desktop.shown("MDT"), what="the overlay")
        self.assertEqual(overlay[2:], OVERLAY_DEFAULT)
        x, y = overlay[2] + overlay[4] // 2, overlay[3] + overlay[5] - 60  # over the game's green half
        self.desktop.close_window(self.game[0])
        wait_for(lambda: not self.desktop.shown("Roblox"), what="the window game to close")
        game = self.start_game("--fullscreen")
        self.focus(game)
        for _ in range(3):
            self.desktop.xdotool("windowraise", game[0])
            time.sleep(0.5)
            shot = self.desktop.screenshot("focus-raised-game-" + ("openbox" if self.WM else "no-wm"))
            self.assertNotEqual(shot.getpixel((x, y)), GREEN, "the game covers the overlay")
        # The MDT's question, asked as the player types there, comes above the game; keys meant for the game do not
        # answer it; answered by a click, the keyboard goes back to the game, not to the MDT's hidden panel nor ours.
        self.click_into_overlay()
        self.service.command("mdt", "report({kind: 'confirm', answer: confirm('Go on?')})")
        dialog = self.app.dialog()
        inside = (dialog[2] + dialog[4] // 2, dialog[3] + 10)
        wait_for(lambda: self.desktop.pixels().getpixel(inside) not in (GREEN, BLUE), what="the question above the game")
        self.desktop.screenshot("focus-question-over-game-" + ("openbox" if self.WM else "no-wm"))
        self.desktop.xdotool("key", "Return", "space")
        time.sleep(1)
        self.assertEqual(self.service.reports("confirm"), [], "no key answers it")
        self.desktop.click(dialog[2] + int(dialog[4] * 0.75), dialog[3] + int(dialog[5] * 0.8))  # Cancel
        self.assertIs(wait_for(lambda: self.service.reports("confirm"), what="the answer")[-1]["answer"], False)
        wait_for(lambda: self.focused() == int(game[0], 16), what="the game, not our window, to have the keyboard")
        main = wait_for(self.settled_main_window, what="the main window to settle")
        self.focus(main)
        self.desktop.xdotool("key", "ctrl+h")
        wait_for(lambda: not self.desktop.shown("MDT") and not self.desktop.shown("Quillmere"),
                 what="every window to hide")
        self.assertEqual(self.app.invoke(), 0)  # a second start: reopen
        wait_for(lambda: self.desktop.shown("MDT") and self.desktop.shown("Quillmere"),
                 what="the main window and the overlay")
        # Placed again once the window manager has framed it: wait for that, not for the map.
        wait_for(lambda: self.app.main_window()[2:] == main[2:],
                 what=lambda: f"the main window at {main[2:]}, not {self.app.main_window()[2:]}")
        self.focus(self.app.main_window())
        self.desktop.xdotool("key", "ctrl+h")
        wait_for(lambda: not self.desktop.shown("Quillmere"), what="the main window to hide")
        self.assertEqual(self.app.quit(), 0)
        self.assertEqual(self.app.settings()["mainFrame"], FRAME)
        self.assertIs(self.app.settings()["overlayOpen"], False)

    @on_each_desktop
    def test_page_drag_moves_the_overlay_and_its_bubble_restores_it_or_moves_on_a_drag(self):
        overlay = wait_for(lambda: self.desktop.shown("MDT"), what="the overlay")
        x, y = self.element_center("mdt", "b-drag", overlay)
        self.desktop.xdotool("mousemove", "--sync", x, y, "mousedown", 1)
        # The page's message takes its time: nudge the mouse until the overlay starts to follow.
        nudged = [0]

        def following():
            nudged[0] += 1
            self.desktop.xdotool("mousemove", "--sync", x - nudged[0], y, "sleep", 0.05)
            window = self.desktop.shown("MDT")
            return window if window and window[2] != overlay[2] else None
        wait_for(following, what="the drag to start")
        time.sleep(0.1)
        x -= nudged[0]
        start = self.desktop.shown("MDT")
        self.drag([(x - 30 * step, y + 10 * step) for step in range(1, 11)])
        target = (start[2] - 300, start[3] + 100)
        moved = wait_for(lambda: (lambda w: w if w and w[2:4] == target else None)(self.desktop.shown("MDT")),
                         what=lambda: f"the overlay to go from {start} to {target}, not {self.desktop.shown('MDT')}")
        # Stored in AppKit coordinates: the bottom of the screen is y 0.
        expect = "{{%d, %d}, {900, 600}}" % (moved[2], 1080 - moved[3] - 600)
        wait_for(lambda: self.app.settings().get("overlayFrame") == expect, what="the stored frame")
        self.service.command("mdt", "QMApp.send({t:'minimize'})")
        bubble = wait_for(lambda: self.desktop.shown(lambda w: w[4:] == (58, 58)), what="the bubble")
        wait_for(lambda: self.desktop.shown("MDT") is None, what="the overlay to hide")
        time.sleep(0.3)
        icon = self.desktop.screenshot("overlay-bubble").crop((bubble[2] + 11, bubble[3] + 11, bubble[2] + 47,
                                                               bubble[3] + 47))
        self.assertGreater(sum(min(p) > 200 for p in icon.getdata()), 15, "the icon in the bubble")
        cx, cy = bubble[2] + 29, bubble[3] + 29
        self.desktop.click(cx, cy)
        wait_for(lambda: self.desktop.shown("MDT"), what="the overlay to come back")

        self.service.command("mdt", "QMApp.send({t:'minimize'})")
        bubble = wait_for(lambda: self.desktop.shown(lambda w: w[4:] == (58, 58)), what="the bubble")
        self.desktop.xdotool("mousemove", "--sync", cx, cy, "mousedown", 1)
        self.drag([(cx + step, cy - 20 * step) for step in range(1, 11)])
        wait_for(lambda: self.desktop.shown(lambda w: w[4:] == (58, 58) and w[3] == bubble[3] - 200),
                 what="the bubble to move up")
        wait_for(lambda: "bubbleY" in self.app.settings(), what="bubbleY stored at the drag's end")


class Overlay(Case):
    WM = True

    def setUp(self):
        super().setUp()
        self.app.write_settings({"guild": "12345"})
        self.app.start()
        self.loaded("cad")

    def test_edit_keys_and_minimize_act_on_the_window_with_the_keyboard_not_on_the_newer_mdt_and_large_fits(self):
        main = self.app.main_window()
        self.click_element("cad", "typing", main)
        self.service.command("cad", "QMApp.send({t:'overlay'})")
        wait_for(lambda: self.desktop.shown("MDT"), what="the overlay")
        self.choose("Large")  # it would leave the screen on the right: it moves back, the top stays
        wait_for(lambda: self.desktop.shown("MDT")[2:] == (820, 240, 1100, 720),
                 what=lambda: f"Large, {self.desktop.shown('MDT')}")
        self.loaded("mdt")
        self.desktop.xdotool("type", "--delay", "30", "10-4")
        self.desktop.xdotool("key", "--delay", "100", "ctrl+a", "ctrl+c", "End", "ctrl+v")
        self.assertEqual(self.typed("cad"), "10-410-4")
        self.desktop.xdotool("key", "ctrl+m")  # the MDT hides, and uncovers the field
        wait_for(lambda: not self.desktop.shown("MDT"), what="the MDT to hide")
        self.desktop.xdotool("key", "ctrl+shift+m")
        wait_for(lambda: not self.desktop.viewable(main), what="the main window to minimize")
        # The status item's icon as a panel draws it, from the name and folder the item exports: "QM".
        said = [re.search(r"'([^']*)'", self.desktop.gdbus(
            "app.quillmere.Quillmere", "/org/ayatana/NotificationItem/quillmere", "org.freedesktop.DBus.Properties.Get",
            "org.kde.StatusNotifierItem", name)).group(1) for name in ("IconThemePath", "IconName")]
        self.desktop.run(["rsvg-convert", "-w", "22", "-h", "22", "-b", "#303030", "-o", self.desktop.path("icon.png"),
                          os.path.join(said[0], said[1] + ".svg")])
        seen = Image.open(self.desktop.path("icon.png")).convert("RGB").getdata()
        self.assertGreater(sum(min(p) > 200 for p in seen), 20, f"white letters in {said}")
        self.assertGreater(sum(p[2] > 150 > p[0] for p in seen), 100, f"on blue in {said}")
