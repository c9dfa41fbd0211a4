"""The bodycam on a Wayland session with PipeWire and the stand-in portal, which shares a live test source."""
import time

from qmtest import Case, wait_for
from test_bodycam import STOPPED, jpeg_facts
from wayland import WaylandDesktop


class WaylandBodycam(Case):
    def make_desktop(self):
        return WaylandDesktop(portal="standin")

    def setUp(self):
        super().setUp()
        self.app.start()
        self.loaded("dashboard")

    def test_frames_of_the_shared_window_until_it_closes(self):
        self.bodycam_on()
        wait_for(lambda: len(self.frames()) >= 2, 60, what="frames")
        # The rate is the contract test's: here the page's reports come over the network, in bursts under load.
        # The test source is 640x360, not full screen: the title band's 28 rows are cut.
        w, h, _ = jpeg_facts(self.frames()[-1]["data"])
        self.assertEqual((w, h), (640, 332))
        self.assertTrue(self.app.settings().get("captureRestoreToken", "").startswith("token-"), "choice remembered")
        self.desktop.end_shares()
        wait_for(self.bodycam_errors, what="the stopped event")
        count = len(self.frames())
        time.sleep(1.5)
        self.assertEqual(self.bodycam_errors(), [{"type": "bodycam-error", "message": STOPPED}])
        self.assertEqual(len(self.frames()), count, "no frame after the stop")
        wait_for(lambda: "captureRestoreToken" not in self.app.settings(), what="the spent choice dropped")

    def test_a_game_on_xwayland_is_filmed_as_on_x11(self):
        self.start_game("800", "600")
        self.bodycam_on()
        wait_for(lambda: len(self.frames()) >= 2, 60, what="frames")
        # An X11 client image has no title bar: nothing is cut.
        self.assertEqual(jpeg_facts(self.frames()[-1]["data"])[:2], (800, 600))
        self.assertNotIn("captureRestoreToken", self.app.settings(), "the desktop's dialog was not involved")


if __name__ == "__main__":
    import unittest
    unittest.main()
