"""The bodycam on a Wayland session (headless KWin with KDE's portals and PipeWire) filming a native game:
the page may ask for it, and the desktop's answer reaches the page as its sentence."""
import os

from qmtest import SOURCE, App, Case, Service, wait_for
from wayland import WaylandDesktop

GAME = os.path.join(SOURCE, "tests", "e2e", "tools", "wl_game.py")
# KDE's window chooser needs Plasma's QML modules, which the test machine does not have: its portal answers
# "cancelled" at once, as when the player closes the dialog.
REFUSED = "Allow Quillmere to share the Roblox window when your desktop asks, then start the bodycam again."


class WaylandBodycam(Case):

    def setUp(self):
        self.desktop = WaylandDesktop(portals=True, pipewire=True)
        self.addCleanup(self._finish)
        self.service = Service(self.desktop)
        self.app = App(self.desktop)
        self.app.start()
        self.loaded("dashboard")

    def errors(self):
        return [r["detail"] for r in self.service.events("dashboard") if r.get("detail", {}).get("type") == "bodycam-error"]

    def test_a_native_game_is_offered_to_the_desktops_dialog(self):
        self.assertTrue(self.service.reports("loaded")[-1]["qmapp"]["capture"], "the bodycam can work here")
        self.desktop.spawn([GAME], log=self.desktop.path("game.out"))
        self.service.command("dashboard", "QMApp.send({t:'bodycam', on:true})")
        wait_for(self.errors, 60, what="the desktop's answer")
        self.assertEqual(self.errors(), [{"type": "bodycam-error", "message": REFUSED}])
        self.assertNotIn("captureRestoreToken", self.app.settings(), "nothing to remember")


if __name__ == "__main__":
    import unittest
    unittest.main()
