"""Launch, placement, first page, window state across a restart and single instance."""
import os
import re
import signal
import time

from PIL import ImageChops
from qmtest import SITE, Case, wait_for


class Spine(Case):
    def test_first_launch_places_window_and_reports_the_app_to_the_page(self):
        os.kill(self.service.proc.pid, signal.SIGSTOP)  # a slow service: the window says "wait" meanwhile
        self.app.start()
        window = self.app.main_window()
        self.assertEqual(window[2:], (240, 90, 1440, 900))
        time.sleep(1)
        middle = self.desktop.screenshot("spine-loading").crop((840, 500, 1080, 580))
        os.kill(self.service.proc.pid, signal.SIGCONT)
        self.assertGreater(sum(max(p) > 120 for p in middle.getdata()), 30, "the loading state's words")
        report = self.loaded("dashboard")[0]
        self.assertEqual(report["href"], SITE + "/dashboard/")
        self.assertEqual(report["qmapp"], {"platform": "linux", "version": "1.0.0", "capture": True})
        self.assertTrue(report["agent"].endswith(" Quillmere/1.0.0 (Linux) QuillmereMac/1.0.0"), report["agent"])
        # The page reports its load before the app hears that it finished: wait for the app's line.
        line = r"\d{4}-\d\d-\d\d \d\d:\d\d:\d\d [+-]\d{4} loaded " + re.escape(SITE) + "/dashboard/"
        wait_for(lambda: re.search(line, self.app.log()), what="the loaded line in the log")
        time.sleep(1)
        shot = self.desktop.screenshot("spine-first-launch")
        # The window's own dark background fills what the page leaves at the bottom right.
        rgb = shot.getpixel((1670, 980))
        # Near #0b0b0c: the compositing of the page and the window may round a channel either way.
        self.assertLessEqual(max(abs(c - d) for c, d in zip(rgb, (11, 11, 12))), 3, f"background {rgb}")
        # A menu that closes leaves the page as it was, with no unpainted hole where it was.
        self.desktop.click(384, 102)  # View
        time.sleep(0.5)
        box = (250, 120, 900, 300)
        changed = lambda seen: sum(max(p) > 8 for p in ImageChops.difference(shot.crop(box), seen.crop(box)).getdata())
        self.assertGreater(changed(self.desktop.screenshot("spine-menu-open")), 1000, "the menu opened")
        self.desktop.xdotool("key", "Escape")
        time.sleep(1)
        self.assertLess(changed(self.desktop.screenshot("spine-menu-closed")), 50)

    def test_window_state_is_kept_through_close_reopen_quit_and_restart(self):
        self.app.start()
        window = self.app.main_window()
        self.desktop.xdotool("windowmove", window[0], 200, 150)  # as soon as it shows
        wait_for(lambda: self.app.main_window()[2:4] == (200, 150), what="the move")
        self.loaded("dashboard")
        time.sleep(2.5)
        self.assertEqual(self.app.main_window()[2:4], (200, 150), "a window moved as it showed stays moved")
        # Closing the window keeps the app and stores the frame; a second start brings the same window back.
        self.desktop.close_window(window[0])
        wait_for(lambda: not self.desktop.viewable(window), what="the window to close")
        wait_for(lambda: self.app.settings().get("mainFrame") == "{{200, 30}, {1440, 900}}", what="the frame stored")
        self.assertEqual(self.app.proc.poll(), None, "closing the window must not end the app")
        self.assertEqual(self.app.invoke(), 0)
        wait_for(lambda: self.desktop.viewable(window), what="the window to come back")
        self.assertEqual([w for w in self.desktop.windows() if w[1] == "Quillmere"][0][0], window[0])
        self.assertEqual(len(self.service.reports("loaded")), 1, "no second page and no second app")
        # Every ending signal saves the state: test_quitting.
        self.assertEqual(self.app.quit(), 0)
        self.app.start()
        self.assertEqual(self.app.main_window()[2:], (200, 150, 1440, 900), "restored")
