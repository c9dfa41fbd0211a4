"""Global hotkeys while the game has the focus, and in our own windows."""
import time

from qmtest import Case, wait_for

DOWN, UP = {"type": "ptt", "down": True}, {"type": "ptt", "down": False}


class Hotkeys(Case):
    WM = True

    def events(self, view="cad"):
        return [r["detail"] for r in self.service.events(view) if "detail" in r]

    def overlay_viewable(self):
        return self.desktop.shown(lambda w: w[1] == "MDT") is not None

    def test_keys_reach_the_page_while_the_game_has_the_focus_and_a_release_goes_where_its_press_went(self):
        self.app.write_settings({"guild": "12345"})
        self.app.start()
        self.loaded("cad")
        game = self.start_game()
        self.desktop.xdotool("windowactivate", "--sync", game[0])
        time.sleep(0.2)
        self.desktop.xdotool("keydown", "v")
        wait_for(lambda: self.events() == [DOWN], what="ptt down")
        time.sleep(0.5)  # held: no repeats
        self.desktop.xdotool("key", "F8")
        wait_for(self.overlay_viewable, what="the overlay")
        self.loaded("mdt")
        self.assertEqual(int(self.desktop.xdotool("getactivewindow")), int(game[0], 16))
        self.desktop.xdotool("keyup", "v")
        wait_for(lambda: self.events() == [DOWN, UP], what=lambda: f"ptt up on the main page, not {self.events()}")
        self.assertEqual(self.events("mdt"), [], "the overlay never saw the press")
        self.desktop.xdotool("key", "F8")
        wait_for(lambda: not self.overlay_viewable(), what="the overlay to hide")
        self.desktop.xdotool("key", "F9")
        self.desktop.xdotool("key", "F10")
        wait_for(lambda: self.events()[2:] == [{"type": "bodycam"}, {"type": "clip"}], what="bodycam and clip")
        # In our own window push-to-talk is typing and other keys act once, not once per monitor.
        self.desktop.xdotool("windowactivate", "--sync", self.app.main_window()[0])
        time.sleep(0.2)
        self.desktop.xdotool("key", "v")
        self.desktop.xdotool("key", "F9")
        wait_for(lambda: self.events()[4:] == [{"type": "bodycam"}], what="bodycam from the local monitor")
        time.sleep(1)
        self.assertEqual(self.events()[4:], [{"type": "bodycam"}], "no push-to-talk, no second bodycam")


if __name__ == "__main__":
    import unittest
    unittest.main()
