"""Launch, placement, first page, window state across restarts, single instance and the settings file."""
import json
import os
import re
import signal
import time

from qmtest import SITE, TOOLS, Case, pixel_at, wait_for


def map_state(case, window):
    return [l for l in case.desktop.run(["xwininfo", "-id", window]).splitlines() if "Map State" in l][0].split()[-1]


class Spine(Case):
    def test_first_launch_places_window_and_reports_the_app_to_the_page(self):
        self.app.start()
        window = self.app.main_window()
        self.assertEqual(window[2:], (240, 90, 1440, 900))
        report = self.loaded("dashboard")[0]
        self.assertEqual(report["href"], SITE + "/dashboard/")
        self.assertEqual(report["qmapp"], {"platform": "mac", "version": "1.0.0", "capture": True})
        self.assertTrue(report["agent"].endswith(" QuillmereMac/1.0.0"), report["agent"])
        # The page reports its load before the app hears that it finished: wait for the app's line.
        line = r"\d{4}-\d\d-\d\d \d\d:\d\d:\d\d [+-]\d{4} loaded " + re.escape(SITE) + "/dashboard/"
        wait_for(lambda: re.search(line, self.app.log()), what="the loaded line in the log")
        time.sleep(1)
        shot = self.desktop.screenshot("spine-first-launch")
        # The window's own dark background fills what the page leaves at the bottom right.
        rgb = pixel_at(shot, 1670, 980)
        # Near #0b0b0c: the compositing of the page and the window may round a channel either way.
        self.assertLessEqual(max(abs(c - d) for c, d in zip(rgb, (11, 11, 12))), 3, f"background {rgb}")

    def test_first_page_follows_the_stored_guild(self):
        cases = [("12345", "cad", SITE + "/dashboard/#/g/12345/cad"),
                 ("1234", "dashboard", SITE + "/dashboard/"),
                 (12345, "dashboard", SITE + "/dashboard/"),
                 ("12a45", "dashboard", SITE + "/dashboard/")]
        for guild, view, href in cases:
            with self.subTest(guild=guild):
                self.service.reset()
                self.app.write_settings({"guild": guild})
                self.app.start()
                self.assertEqual(self.loaded(view)[0]["href"], href)
                self.assertEqual(self.app.quit(), 0)

    def test_window_frame_survives_close_quit_and_restart(self):
        self.app.start()
        window = self.app.main_window()
        self.loaded("dashboard")
        self.desktop.xdotool("windowmove", window[0], 300, 150)
        wait_for(lambda: self.app.main_window()[2:4] == (300, 150), what="the move")
        self.desktop.run([os.path.join(TOOLS, "x_close"), window[0]])
        wait_for(lambda: map_state(self, window[0]) == "IsUnMapped", what="the window to close")
        # AppKit coordinates: the bottom of the screen is y 0.
        wait_for(lambda: self.app.settings().get("mainFrame") == "{{300, 30}, {1440, 900}}", what="the frame stored")
        self.assertEqual(self.app.proc.poll(), None, "closing the window must not end the app")
        self.assertEqual(self.app.quit(), 0)
        self.assertEqual(self.app.settings()["mainFrame"], "{{300, 30}, {1440, 900}}")
        self.app.start()
        self.assertEqual(self.app.main_window()[2:], (300, 150, 1440, 900))

    def test_every_ending_signal_saves_the_window_state(self):
        for run, (how, x) in enumerate(((signal.SIGTERM, 200), (signal.SIGINT, 250), (signal.SIGHUP, 300)), 1):
            self.app.start()
            window = self.app.main_window()
            self.loaded("dashboard", run)
            self.desktop.xdotool("windowmove", window[0], x, 150)
            wait_for(lambda: self.app.main_window()[2:4] == (x, 150), what="the move")
            self.assertEqual(self.app.quit(how), 0, how.name)
            self.assertEqual(self.app.settings().get("mainFrame"), "{{%d, 30}, {1440, 900}}" % x, how.name)
            self.assertIs(self.app.settings().get("overlayOpen"), False, how.name)

    def test_saved_frames_of_400_or_less_are_ignored(self):
        for frame, expect in [("{{100, 200}, {400, 700}}", (240, 90, 1440, 900)),
                              ("{{100, 200}, {1000, 700}}", (100, 180, 1000, 700)),
                              ("junk", (240, 90, 1440, 900))]:
            with self.subTest(frame=frame):
                self.app.write_settings({"mainFrame": frame})
                self.app.start()
                self.assertEqual(self.app.main_window()[2:], expect)
                self.assertEqual(self.app.quit(), 0)

    def test_second_start_brings_the_same_window_back(self):
        self.app.start()
        window = self.app.main_window()
        self.loaded("dashboard")
        self.desktop.run([os.path.join(TOOLS, "x_close"), window[0]])
        wait_for(lambda: map_state(self, window[0]) == "IsUnMapped", what="the window to close")
        self.assertEqual(self.app.invoke(), 0)
        wait_for(lambda: map_state(self, window[0]) == "IsViewable", what="the window to come back")
        self.assertEqual([w for w in self.desktop.windows() if w[1] == "Quillmere"][0][0], window[0])
        self.assertEqual(len(self.service.reports("loaded")), 1, "no second page and no second app")
        self.assertEqual(self.app.proc.poll(), None)

    def test_kill_during_a_burst_of_writes_leaves_a_readable_settings_file(self):
        for _ in range(5):
            self.app.start()
            window = self.app.main_window()
            self.loaded("dashboard", count=1)
            # Every move of a hidden window's frame is stored at close; churn close and reopen fast.
            deadline = time.monotonic() + 1.5
            while time.monotonic() < deadline:
                self.desktop.run([os.path.join(TOOLS, "x_close"), window[0]])
                self.app.invoke()
            os.kill(self.app.proc.pid, signal.SIGKILL)
            self.app.proc.wait()
            with open(self.app.settings_path, encoding="utf-8") as f:
                self.assertIsInstance(json.load(f), dict)
            self.service.reset()

    def test_corrupted_settings_are_kept_aside(self):
        os.makedirs(os.path.dirname(self.app.settings_path))
        with open(self.app.settings_path, "w") as f:
            f.write('{"guild": "12345", "mainFrame": ')
        self.app.start()
        self.assertEqual(self.loaded("dashboard")[0]["href"], SITE + "/dashboard/")
        self.assertEqual(self.app.quit(), 0)
        folder = os.path.dirname(self.app.settings_path)
        kept = [n for n in os.listdir(folder) if n.startswith("settings.json.unreadable-")]
        self.assertEqual(len(kept), 1, os.listdir(folder))
        with open(os.path.join(folder, kept[0])) as f:
            self.assertEqual(f.read(), '{"guild": "12345", "mainFrame": ')
        self.assertIn("mainFrame", self.app.settings())
        self.assertEqual(sum("unreadable" in line for line in self.app.log_lines()), 1)


if __name__ == "__main__":
    import unittest
    unittest.main()
