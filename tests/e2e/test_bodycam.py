"""The bodycam: the page asks, frames of the fake game window arrive as JPEG, and the game going away."""
import base64
import os
import subprocess
import tempfile
import time

from qmtest import TOOLS, Case, pixel_at, wait_for

STOPPED = "The bodycam stopped: Roblox closed or the capture was turned off."
NO_GAME = "Open ER:LC in Roblox first, then start the bodycam."


def jpeg_facts(data):
    """Size of a base64 JPEG and the colour of its top rows, a quarter of the way in."""
    with tempfile.NamedTemporaryFile(suffix=".jpg") as f:
        f.write(base64.b64decode(data, validate=True))
        f.flush()
        size = subprocess.run(["identify", "-format", "%w %h", f.name], capture_output=True, text=True,
                              check=True).stdout
        w, h = map(int, size.split())
        return w, h, pixel_at(f.name, w // 4, 2)


class Bodycam(Case):
    def setUp(self):
        super().setUp()
        self.app.start()
        self.loaded("dashboard")

    def frames(self):
        return [r for r in self.service.events("dashboard") if r.get("type") == "frame"]

    def errors(self):
        return [r["detail"] for r in self.service.events("dashboard") if r.get("detail", {}).get("type") == "bodycam-error"]

    def test_frames_of_a_window_lose_the_title_band_and_stop_when_it_closes(self):
        _, window = self.start_game("800", "600")
        self.service.command("dashboard", "QMApp.send({t:'bodycam', on:true})")
        wait_for(lambda: len(self.frames()) >= 2, what="frames")
        first = len(self.frames())
        time.sleep(3)
        rate = (len(self.frames()) - first) / 3
        self.assertLessEqual(rate, 4.4, "at most 4 frames a second")
        self.assertGreater(rate, 1)
        w, h, top = jpeg_facts(self.frames()[-1]["data"])
        self.assertEqual((w, h), (800, 572))
        self.assertTrue(top[0] < 40 and top[2] > 200, f"the red band is gone: {top}")
        self.desktop.screenshot("bodycam-frames")

        self.desktop.run([os.path.join(TOOLS, "x_close"), window[0]])
        wait_for(self.errors, what="the stopped event")
        count = len(self.frames())
        time.sleep(1.5)
        self.assertEqual(self.errors(), [{"type": "bodycam-error", "message": STOPPED}])
        self.assertEqual(len(self.frames()), count, "no frame after the stop")

    def test_full_screen_window_keeps_its_top_band_and_turning_off_stops_frames(self):
        self.start_game("--fullscreen")
        self.service.command("dashboard", "QMApp.send({t:'bodycam', on:true})")
        wait_for(lambda: self.frames(), what="frames")
        w, h, top = jpeg_facts(self.frames()[-1]["data"])
        self.assertEqual((w, h), (1280, 720))
        self.assertTrue(top[0] > 200 and top[1] < 40 and top[2] < 40, f"the band is kept: {top}")
        self.service.command("dashboard", "QMApp.send({t:'bodycam'})")
        time.sleep(1)
        count = len(self.frames())
        time.sleep(1.5)
        self.assertEqual(len(self.frames()), count)
        self.assertEqual(self.errors(), [])

    def test_no_game_window_tells_the_page(self):
        self.service.command("dashboard", "QMApp.send({t:'bodycam', on:true})")
        wait_for(self.errors, what="the error event")
        self.assertEqual(self.errors(), [{"type": "bodycam-error", "message": NO_GAME}])


if __name__ == "__main__":
    import unittest
    unittest.main()
