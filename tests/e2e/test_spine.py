"""Launch, placement, first page, window state across a restart, single instance and the settings file."""
import json
import os
import signal
import time

from qmtest import SITE, Case, read, wait_for


class Spine(Case):
    def test_first_launch_then_window_state_kept_through_close_reopen_quit_and_restart(self):
        self.app.start()
        window = self.app.main_window()
        self.assertEqual(window[2:], (240, 90, 1440, 900))
        self.desktop.xdotool("windowmove", window[0], 200, 150)  # as soon as it shows
        wait_for(lambda: self.app.main_window()[2:4] == (200, 150), what="the move")
        report = self.loaded("dashboard")[0]
        self.assertEqual(report["href"], SITE + "/dashboard/")
        self.assertEqual(report["qmapp"], {"platform": "mac", "version": "1.0.0", "capture": True})
        self.assertTrue(report["agent"].endswith(" QuillmereMac/1.0.0"), report["agent"])
        time.sleep(2.5)
        self.assertEqual(self.app.main_window()[2:4], (200, 150), "a window moved as it showed stays moved")
        # The window's own dark background fills what the page leaves at the bottom right: near #0b0b0c, the
        # compositing of the page and the window may round a channel either way.
        rgb = self.desktop.screenshot("spine-first-launch").getpixel((200 + 1430, 150 + 890))
        self.assertLessEqual(max(abs(c - d) for c, d in zip(rgb, (11, 11, 12))), 3, f"background {rgb}")
        # Closing the window keeps the app and stores the frame; a second start brings the same window back.
        self.desktop.close_window(window[0])
        wait_for(lambda: not self.desktop.viewable(window), what="the window to close")
        wait_for(lambda: self.app.settings().get("mainFrame") == "{{200, 30}, {1440, 900}}", what="the frame stored")
        self.assertEqual(self.app.proc.poll(), None, "closing the window must not end the app")
        self.assertEqual(self.app.invoke(), 0)
        wait_for(lambda: self.desktop.viewable(window), what="the window to come back")
        self.assertEqual([w for w in self.desktop.windows() if w[1] == "Quillmere"][0][0], window[0])
        self.assertEqual(len(self.service.reports("loaded")), 1, "no second page and no second app")
        self.assertEqual(self.app.quit(), 0)
        self.app.start()
        self.assertEqual(self.app.main_window()[2:], (200, 150, 1440, 900), "restored")

    def test_kill_during_a_burst_of_writes_leaves_a_readable_settings_file(self):
        for _ in range(5):
            self.app.start()
            window = self.app.main_window()
            self.loaded("dashboard", count=1)
            # Every move of a hidden window's frame is stored at close; churn close and reopen fast.
            deadline = time.monotonic() + 1.5
            while time.monotonic() < deadline:
                self.desktop.close_window(window[0])
                self.app.invoke()
            os.kill(self.app.proc.pid, signal.SIGKILL)
            self.app.proc.wait()
            self.assertIsInstance(json.loads(read(self.app.settings_path)), dict)
            self.service.reset()
