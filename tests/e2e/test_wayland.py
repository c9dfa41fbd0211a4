"""A Wayland session with a native full-screen game, on the desktop QM_WAYLAND_DESKTOP names (wayland.DESKTOPS):
keys through the desktop's shortcut portal or, without one, from a game on XWayland; the MDT above; the bodycam
asked of the desktop; on KWin, a start without XWayland and the bodycam filming a window a screen cast shares."""
import os
import time

from qmtest import GAME, Case, read, wait_for
from test_bodycam import jpeg_facts
from wayland import KEYS, WaylandDesktop

NAME = os.environ.get("QM_WAYLAND_DESKTOP", "kwin")


class WaylandSession(Case):
    def make_desktop(self):
        return WaylandDesktop(NAME)

    def toggle_overlay(self, shown):
        """F8, through the desktop's shortcuts; without them the QM menu's item (a native game's keys reach no one)."""
        if self.desktop.facts.shortcut_portal:
            self.desktop.input.key("F8")
        else:  # the menu is made again now and then: an item id of the layout before fails, and is asked again
            wait_for(lambda: self.menu_call("Event", str(self.status_menu()["MDT overlay (F8)"]), "clicked", "<0>",
                                            "0"), what="the QM menu's MDT item chosen")
        return wait_for(lambda: self.desktop.shown("MDT") if shown else not self.desktop.shown("MDT"),
                        what="the overlay " + ("shown" if shown else "hidden"))

    def game_says(self):
        return [line for line in read(self.desktop.path("game.out")).splitlines() if not line.startswith("(")]

    def test_keys_overlay_and_bodycam_over_a_native_full_screen_game(self):
        keys, facts = self.desktop.input, self.desktop.facts
        self.app.write_settings({"guild": "12345"})
        self.app.start()
        self.loaded("cad")
        self.app.wait_log("Global shortcuts portal: " + ("version" if facts.shortcut_portal else "none"), 60)
        # No panel shows status items here: the QM menu is in the main window's menu bar.
        self.assertIn("Session: Wayland with XWayland, status notifier host: none", self.app.log())
        self.game = self.desktop.spawn([GAME, "--fullscreen", "--wayland"], log=self.desktop.path("game.out"))
        # mutter puts a new window below the one with the keyboard, ours, and gives it the keyboard on a click
        # (left of our main window).
        wait_for(lambda: self.game_says()[-1:] == ["active"] or keys.click(100, 500), 30, 0.5,
                 "the game to have the focus")
        if facts.shortcut_portal:
            wait_for(lambda: "Show or hide the MDT: F8" in self.status_menu(), what="the desktop's triggers")
            keys.send("key", KEYS["v"], 1)
            wait_for(lambda: self.details() == [{"type": "ptt", "down": True}], what="ptt down")
            time.sleep(0.5)  # held: no repeats
            keys.send("key", KEYS["v"], 0)
            wait_for(lambda: self.details()[1:] == [{"type": "ptt", "down": False}], what="ptt up")
        else:
            wait_for(lambda: "Keys need setup on this desktop\u2026" in self.status_menu(), what="the keys item")
        overlay = self.toggle_overlay(True)
        _, x, y, w, h = overlay[1:]
        game = {(0, 0, 255), (0, 200, 0)}

        def drawn():
            """The compositor's picture once the MDT page's white text shows over the game."""
            picture = self.desktop.pixels()
            inside = [picture.getpixel((x + dx, y + dy)) for dx in range(0, w, 4) for dy in range(0, h, 4)]
            return picture if sum(min(p) > 200 for p in inside) > 50 else None
        picture = wait_for(drawn, 60, 0.5, "the MDT page drawn above the game")
        self.desktop.screenshot(f"wayland-{NAME}-mdt-over-game", picture)
        self.assertIn(picture.getpixel((x + w // 2, y + h + 20)), game, "the game around it")
        self.assertEqual(self.game_says()[-1:], ["active"], "the game kept the focus")
        # A click into its text field: the typing reaches the MDT, not the game, and the MDT stays above it;
        # a click into the game gives the keyboard back (not on sway), as does hiding the MDT.
        field = self.element_center("mdt", "typing", overlay)
        keys.click(*field)
        wait_for(lambda: self.game_says()[-1:] == ["inactive"], what="the game to give up the keyboard")
        wait_for(lambda: self.service.reports("focus"), what="the MDT page to have the keyboard")
        for key in "qmq":
            keys.key(key)
        wait_for(lambda: self.typed() == "qmq", what=lambda: f"the typing in the MDT, not {self.typed()!r}")
        time.sleep(0.5)  # the typing drawn, for the picture
        self.desktop.screenshot(f"wayland-{NAME}-mdt-typed-over-game", wait_for(drawn, 30, 0.5, "the MDT above"))
        if facts.click_gives_keyboard_back:
            keys.click(300, 500)
            wait_for(lambda: self.game_says()[-1:] == ["active"], what="the game to have the keyboard again")
            wait_for(drawn, 30, 0.5, "the MDT above the game again")
            keys.click(*field)
            wait_for(lambda: self.game_says()[-1:] == ["inactive"], what="the game to give up the keyboard again")
        self.toggle_overlay(False)
        wait_for(lambda: self.game_says()[-1:] == ["active"], what="the game to have the keyboard again")
        self.toggle_overlay(True)
        # A dialog of the MDT's page comes above it, and the keyboard answers it.
        self.service.command("mdt", "report({kind: 'confirm', answer: confirm('Go on?')})")
        dialog = self.app.dialog(30)
        wait_for(lambda: not self.desktop.shown("MDT"), what="the overlay to step aside")
        keys.click(dialog[2] + dialog[4] // 2, dialog[3] + 20)
        keys.key("Escape")
        self.assertIs(wait_for(lambda: self.service.reports("confirm"), what="the answer")[-1]["answer"], False)
        wait_for(lambda: self.desktop.shown("MDT"), what="the overlay back")
        wait_for(lambda: self.game_says()[-1:] == ["active"], what="the game, not our window, to have the keyboard")
        # The bodycam asked for from the MDT: the desktop's window chooser, where it shows, comes with the MDT
        # aside, and the player says no there.
        self.bodycam_on("mdt")
        if facts.share_dialog:
            chooser = wait_for(lambda: self.desktop.shown(facts.share_dialog), 30, what="the window chooser")
            wait_for(lambda: not self.desktop.shown("MDT"), what="the overlay to step aside")
            keys.click(chooser[2] + chooser[4] // 2, chooser[3] + chooser[5] // 2)
            keys.key("Escape")
        errors = wait_for(lambda: self.bodycam_errors("mdt"), 60, what="the desktop's answer")
        self.assertIn("Allow Quillmere" if facts.shares_windows else "does not share windows", errors[0]["message"])
        self.assertEqual("Bodycam share: Start answered 1" in self.app.log_lines(), facts.shares_windows)
        wait_for(lambda: self.desktop.shown("MDT"), what="the overlay back")  # GNOME's chooser leaves our window up
        if facts.bubble_takes_click:
            # The bubble floats above the game too, and a click brings the MDT back.
            self.service.command("mdt", "QMApp.send({t:'minimize'})")
            bubble = wait_for(lambda: self.desktop.shown("MDT bubble"), what="the bubble")
            wait_for(lambda: self.desktop.pixels().getpixel((bubble[2] + 29, bubble[3] + 29)) not in game, 30, 0.5,
                     "the bubble drawn above the game")
            keys.click(bubble[2] + 29, bubble[3] + 29)
            wait_for(lambda: self.desktop.shown("MDT"), what="the overlay back from the bubble")
        self.toggle_overlay(False)
        if facts.shortcut_portal:
            # The desktop's portal restarts: the keys come back without a word of "no portal" meanwhile.
            self.desktop.restart_portal()
            wait_for(lambda: self.app.log().count("Global shortcuts portal: version") == 2, 90, 0.5, "the keys again")
            self.assertNotIn("Global shortcuts portal: none", self.app.log())
            self.assertNotIn("Keys need setup on this desktop\u2026", self.status_menu())
            keys.key("v")
            wait_for(lambda: self.details()[2:] == [{"type": "ptt", "down": True}, {"type": "ptt", "down": False}],
                     what=lambda: f"ptt after the restart, not {self.details()}")
            # Without XWayland the app says what cannot work there. With it, the bodycam films the window a
            # desktop's screen cast shares (the stand-in portal's, in place of KDE's).
            self.assertEqual(self.app.quit(), 0)
            display, name = self.desktop.env.pop("DISPLAY"), self.desktop.env["WAYLAND_DISPLAY"]
            # Its display given as a path into the runtime folder, as some sessions give it: the pages' sandbox holds.
            self.desktop.env["WAYLAND_DISPLAY"] = os.path.join(self.desktop.env["XDG_RUNTIME_DIR"], name)
            self.app.start()
            self.app.wait_log("This Wayland session has no XWayland: the MDT cannot float above a full-screen game. "
                              "Turn XWayland on in your desktop, or log in to an X11 session.", 60)
            self.loaded("cad", 2)
            self.assertNotIn("Pages run without their sandbox", self.app.log())
            self.assertEqual(self.app.quit(), 0)
            self.desktop.env.update(DISPLAY=display, WAYLAND_DISPLAY=name)
            self.desktop.portal = "standin"
            self.desktop.restart_portal()
            self.app.start()
            self.loaded("cad", 3)
            self.bodycam_on("cad")
            # The test source is 640x360, not full screen: the title band's 28 rows are cut.
            wait_for(lambda: self.frames("cad") and jpeg_facts(self.frames("cad")[-1]["data"])[:2] == (640, 332), 60,
                     what="frames of the shared window")
        else:  # keys and frames from a game on XWayland, once the native one is gone from the screen
            self.game.terminate()
            self.game.wait(10)
            game = self.start_game("--fullscreen")
            wait_for(lambda: keys.click(100, 500) or  # until the mapped game takes it, left of our window
                     int(self.desktop.xdotool("getactivewindow")) == int(game[0], 16), what="the game's focus")
            seen = len(self.details())
            keys.key("F9")
            wait_for(lambda: self.details()[seen:] == [{"type": "bodycam"}], what="bodycam from the game's key")
            # An X11 client image has no title bar: nothing is cut, the full screen is scaled down (the X11 capture).
            self.bodycam_on("cad")
            wait_for(lambda: self.frames("cad") and jpeg_facts(self.frames("cad")[-1]["data"])[:2] == (1280, 720), 30,
                     0.5, what=lambda: f"frames of the game, not {self.frames('cad')[-1:] or self.details()}")
