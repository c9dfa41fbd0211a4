"""The bodycam over the fake game window, with and without a window manager."""
import base64
import io
import time

from PIL import Image
from qmtest import Case, on_each_desktop, wait_for

STOPPED = "The bodycam stopped: Roblox closed or the capture was turned off."
NO_GAME = "Open ER:LC in Roblox first, then start the bodycam."


def jpeg_facts(data):
    """Size of a base64 JPEG and the colour of its top rows, a quarter of the way in."""
    picture = Image.open(io.BytesIO(base64.b64decode(data, validate=True))).convert("RGB")
    return picture.width, picture.height, picture.getpixel((picture.width // 4, 2))


class Bodycam(Case):
    def open(self, scale=None):
        if scale:
            self.desktop.env["GDK_SCALE"] = str(scale)
        self.app.start()
        self.loaded("dashboard")
        self.bodycam_on()

    def last_frame(self, count=1):
        frames = wait_for(lambda: len(self.frames()) >= count and self.frames(), what="frames")
        return jpeg_facts(frames[-1]["data"])

    def frames_stop(self):
        """Waits for 1.5 s without a new frame: the page's reports come late on a busy machine."""
        counts = []
        wait_for(lambda: counts.append(len(self.frames())) or counts[-16:] == counts[-1:] * 16, 30, what="no frames")

    @on_each_desktop
    def test_frames_keep_the_whole_window_and_its_proportions_stop_when_it_closes_or_off_and_scale(self):
        window = self.start_game("800", "600")
        self.open()
        self.last_frame(2)
        first = len(self.frames())
        time.sleep(3)
        rate = (len(self.frames()) - first) / 3
        self.assertLessEqual(rate, 4.4, "at most 4 frames a second")
        self.assertGreater(rate, 1)
        w, h, top = self.last_frame()
        self.assertEqual((w, h), (800, 600))
        self.assertTrue(top[0] > 200 and top[2] < 40, f"the game's own top rows are kept: {top}")
        self.desktop.xdotool("windowsize", window[0], 1000, 400)
        wait_for(lambda: self.last_frame()[:2] == (1000, 400), what="frames of the resized window")

        self.desktop.close_window(window[0])
        wait_for(self.bodycam_errors, what="the stopped event")
        self.frames_stop()
        self.assertEqual(self.bodycam_errors(), [{"type": "bodycam-error", "message": STOPPED}])
        # A full-screen game on a scaled desktop is seen in points; off stops frames; a hidden game is told.
        self.assertEqual(self.app.quit(), 0)
        self.service.reset()
        window = self.start_game("--fullscreen")
        self.open(scale=2)
        # The game paints again once it is full screen: wait for its red band, which a crop would lose.
        def band_kept():
            frame = self.last_frame()
            return frame if frame[2][0] > 200 and max(frame[2][1:]) < 40 else None
        w, h, _ = wait_for(band_kept, what=lambda: f"the band kept: {self.last_frame()}")
        self.assertEqual((w, h), (960, 540))
        self.service.command("dashboard", "QMApp.send({t:'bodycam'})")
        self.frames_stop()  # no word of it: the hidden game's error below comes alone
        self.desktop.xdotool("windowminimize" if self.WM else "windowunmap", window[0])
        wait_for(lambda: not self.desktop.viewable(window), what="the game hidden")
        self.bodycam_on()
        wait_for(self.bodycam_errors, what="the error event")
        self.assertEqual(self.bodycam_errors(), [{"type": "bodycam-error", "message": NO_GAME}])
