"""The bodycam on a Wayland session (headless KWin with PipeWire) filming a native game: with KDE's portals the
page may ask for it and the desktop's answer reaches the page as its sentence; with the stand-in portal of the
contract tests, which shares a live test source, frames reach the page until the shared window closes."""
import os
import time

from qmtest import SOURCE, TOOLS, App, Case, Service, wait_for
from test_bodycam import STOPPED, jpeg_facts
from wayland import WaylandDesktop

GAME = os.path.join(SOURCE, "tests", "e2e", "tools", "wl_game.py")
# KDE's window chooser needs Plasma's QML modules, which the test machine does not have: its portal answers
# "cancelled" at once, as when the player closes the dialog.
REFUSED = "Allow Quillmere to share the Roblox window when your desktop asks, then start the bodycam again."


class WaylandBodycam(Case):

    def setUp(self):
        """Each test starts its own session, with the portal it needs, in start()."""

    def start(self, portal):
        self.desktop = WaylandDesktop(portal=portal, pipewire=True)
        self.addCleanup(self._finish)
        self.service = Service(self.desktop)
        self.app = App(self.desktop)
        self.app.start()
        self.loaded("dashboard")

    def frames(self):
        return [r for r in self.service.events("dashboard") if r.get("type") == "frame"]

    def errors(self):
        return [r["detail"] for r in self.service.events("dashboard") if r.get("detail", {}).get("type") == "bodycam-error"]

    def test_a_native_game_is_offered_to_the_desktops_dialog(self):
        self.start("kde")
        self.assertTrue(self.service.reports("loaded")[-1]["qmapp"]["capture"], "the bodycam can work here")
        self.desktop.spawn([GAME], log=self.desktop.path("game.out"))
        self.service.command("dashboard", "QMApp.send({t:'bodycam', on:true})")
        wait_for(self.errors, 60, what="the desktop's answer")
        self.assertEqual(self.errors(), [{"type": "bodycam-error", "message": REFUSED}])
        self.assertNotIn("captureRestoreToken", self.app.settings(), "nothing to remember")

    def test_frames_of_the_shared_window_until_it_closes(self):
        self.start("standin")
        self.service.command("dashboard", "QMApp.send({t:'bodycam', on:true})")
        wait_for(lambda: len(self.frames()) >= 2, 60, what="frames")
        # The rate is the contract test's: here the page's reports come over the network, in bursts under load.
        # The test source is 640x360, not full screen: the title band's 28 rows are cut.
        w, h, _ = jpeg_facts(self.frames()[-1]["data"])
        self.assertEqual((w, h), (640, 332))
        self.assertTrue(self.app.settings().get("captureRestoreToken", "").startswith("token-"), "choice remembered")
        self.desktop.end_shares()
        wait_for(self.errors, what="the stopped event")
        count = len(self.frames())
        time.sleep(1.5)
        self.assertEqual(self.errors(), [{"type": "bodycam-error", "message": STOPPED}])
        self.assertEqual(len(self.frames()), count, "no frame after the stop")
        wait_for(lambda: "captureRestoreToken" not in self.app.settings(), what="the spent choice dropped")

    def test_a_game_on_xwayland_is_filmed_as_on_x11(self):
        self.start("standin")
        self.desktop.spawn([os.path.join(TOOLS, "fake_game"), "800", "600"], log=self.desktop.path("game.out"))
        wait_for(lambda: self.desktop.shown(lambda w: w[1] == "Roblox"), what="the game on XWayland")
        self.service.command("dashboard", "QMApp.send({t:'bodycam', on:true})")
        wait_for(lambda: len(self.frames()) >= 2, 60, what="frames")
        # An X11 client image has no title bar: nothing is cut.
        self.assertEqual(jpeg_facts(self.frames()[-1]["data"])[:2], (800, 600))
        self.assertNotIn("captureRestoreToken", self.app.settings(), "the desktop's dialog was not involved")


if __name__ == "__main__":
    import unittest
    unittest.main()
