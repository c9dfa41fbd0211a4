"""Launch, placement, first page, window state across a restart and single instance; the service's pages in the app
over one launch: the update alert, what goes to the browser, dialogs, the browser sign-in round trip and pop-ups;
then a launch by a sign-in callback and the update's skip, an oversized manifest and no service at all."""
import hashlib
import json
import os
import re
import signal
import time

from PIL import ImageChops
from qmtest import SITE, Case, wait_for

DOWNLOAD = SITE + "/downloads/quillmere-2.pkg"
VERIFIER = "ab" * 32


def manifest(version, notes="Faster bodycam frames."):
    return json.dumps({"version": version, "url": DOWNLOAD, "notes": notes})


class Navigation(Case):
    def act(self, js):
        self.service.command("dashboard", js)

    def serve(self, body, status=200):
        self.service.get("/_test/manifest", {"status": status, "body": body})

    def press(self, alert, index):
        """Clicks the index-th of the alert's three buttons (Download, Later, Skip this version)."""
        self.desktop.click(alert[2] + int(alert[4] * (2 * index + 1) / 6), alert[3] + alert[5] - 16)
        wait_for(lambda: not self.desktop.viewable(alert), what="the alert to close")

    def launch_without_alert(self, checked, timeout=15):
        """A launch that shows no alert once the update check was made (`checked` holds)."""
        self.assertEqual(self.app.quit(), 0)
        self.app.start()
        self.app.main_window()
        wait_for(checked, timeout, what="the update check")
        time.sleep(2)
        self.assertRaises(AssertionError, self.app.dialog, 0.5)

    def test_update_links_dialogs_a_crashed_web_process_sign_in_and_popups(self):
        self.serve(manifest("1.10.0"), status=500)  # offered even with an error status
        self.app.start()
        self.press(self.app.dialog(), 0)
        wait_for(lambda: self.desktop.browsed() == [DOWNLOAD], what="the download page in the browser")
        self.loaded("dashboard", signedIn=False)
        self.click_element("dashboard", "l-external", self.app.main_window())  # the player's click
        wait_for(lambda: self.desktop.browsed()[1:] == ["https://example.com/outside"], what="the browser")
        self.app.wait_log("nav 0 example.com/outside")
        time.sleep(1)  # a load would be reported by now
        self.assertEqual(len(self.service.reports("loaded")), 1, "the page stayed as it was")
        for share, answer in [(0.75, False), (0.25, True)]:  # Cancel on the right, OK on the left
            self.act("document.getElementById('b-confirm').click()")
            dialog = self.app.dialog()
            self.desktop.click(dialog[2] + int(dialog[4] * share), dialog[3] + int(dialog[5] * 0.8))
            wait_for(lambda: [r for r in self.service.reports("confirm") if r["answer"] is answer],
                     what=f"the answer {answer}")
        # Sign-in: the built-in page's one link is the first stop of the keyboard.
        self.act("document.getElementById('b-signin').click()")
        self.app.wait_log("nav -1 signin.localhost/start")
        self.app.wait_log("loaded about:blank")
        time.sleep(0.5)  # painted
        x, y, w, h = self.app.main_window()[2:]
        shot = self.desktop.screenshot("signin-built-in-page").crop((x, y + 40, x + w, y + h))
        self.desktop.xdotool("windowfocus", "--sync", self.app.main_window()[0])
        self.assertGreater(sum(min(p) > 200 for p in shot.getdata()), 500, "the sign-in page's light button")
        self.desktop.xdotool("key", "Tab", "Return")
        start = wait_for(lambda: [u for u in self.desktop.browsed() if "/api/auth/app-start" in u],
                         what="the browser to be asked")[0]
        self.assertRegex(start, "^" + re.escape(SITE) + r"/api/auth/app-start\?c=[0-9a-f]{64}$")
        challenge = start.split("c=")[1]
        self.loaded("dashboard", signedIn=True)
        self.app.wait_log("with verifier for " + challenge[:8])  # the code of this challenge came back
        self.assertEqual(self.app.log().count("url event "), 1, "the callback reached the app once")
        self.assertNotIn("signinVerifier", self.app.settings())
        # Pop-ups need a real click: the page may not open them on its own.
        before = len(self.desktop.browsed())
        self.act("document.getElementById('b-popup').setAttribute('onclick',"
                 " \"window.open('https://example.com/popup')\")")
        self.click_element("dashboard", "b-popup", self.app.main_window())
        wait_for(lambda: self.desktop.browsed()[before:] == ["https://example.com/popup"], what="the browser")
        self.act("document.getElementById('b-popup').setAttribute('onclick',"
                 " \"window.open(location.origin + '/pages/popup.html')\")")
        self.click_element("dashboard", "b-popup", self.app.main_window())
        report = wait_for(lambda: self.service.reports("popup"), what="the pop-up page")[0]
        self.assertEqual(report["href"], SITE + "/pages/popup.html")
        self.app.wait_log("loaded " + SITE + "/pages/popup.html")
        self.assertEqual([w[1] for w in self.desktop.windows()].count("Quillmere"), 1)
        self.assertEqual(self.desktop.browsed()[before:], ["https://example.com/popup"])
        # Back from the pop-up's page: Alt+Left, BackSpace outside a text field, the mouse's back button.
        window = self.app.main_window()
        for n, way in enumerate([("key", "alt+Left"), ("key", "BackSpace"), ("click", "8")]):
            if n:
                self.click_element("dashboard", "b-popup", window)
                wait_for(lambda: len(self.service.reports("popup")) > n, what="the pop-up again")
                time.sleep(0.5)
            shown = self.app.log().count("loaded " + SITE + "/dashboard/")
            self.desktop.xdotool("mousemove", "--sync", window[2] + 700, window[3] + 600)
            self.desktop.xdotool(*way)
            wait_for(lambda: self.app.log().count("loaded " + SITE + "/dashboard/") > shown, what="back by " + way[1])
        # The overlay's web view shares the session.
        signed_in = len(self.loaded("dashboard", signedIn=True))
        self.choose("MDT overlay (F8)")
        self.loaded("dashboard", count=signed_in + 1, signedIn=True)

    def test_a_callback_that_starts_the_app_a_skipped_version_an_oversized_manifest_and_no_service(self):
        self.serve(manifest("2.0.0"))
        self.app.write_settings({"signinVerifier": VERIFIER})
        url = "quillmere://auth?code=" + self.service.sign_in_code(hashlib.sha256(VERIFIER.encode()).hexdigest())
        self.app.start(url)
        self.press(self.app.dialog(), 2)
        wait_for(lambda: self.app.settings().get("skipped") == "2.0.0", what="skipped stored")
        self.loaded("dashboard", signedIn=True)
        self.assertEqual(self.app.invoke(url), 0)  # to the running app
        self.app.wait_log("no verifier")
        self.assertEqual(sum(l.startswith("redeeming code") for l in self.app.log_lines()), 1)
        # A code the service never gave (any page can open the address) leaves a sign-in in progress working.
        verifier = "cd" * 32
        self.app.write_settings(dict(self.app.settings(), signinVerifier=verifier))
        self.assertEqual(self.app.invoke("quillmere://auth?code=" + "ef" * 32), 0)
        self.app.wait_log("sign-in code refused by the service; the sign-in in progress goes on")
        self.assertEqual(self.app.settings().get("signinVerifier"), verifier)
        # The size cap is the backend's; what a manifest says is checked in the unit tests.
        self.service.reset()
        self.serve(manifest("3.0.0", notes="x" * 600000))
        self.launch_without_alert(lambda: any(r["path"] == "/downloads/quillmere-mac.json" and
                                              r["host"] == "updates.localhost"
                                              for r in json.loads(self.service.get("/_test/requests"))))
        self.assertEqual(self.desktop.browsed(), [])
        # No service at all (a slow one meets the fetch's deadline, checked in the backend's tests).
        os.kill(self.service.proc.pid, signal.SIGKILL)
        self.service.proc.wait()
        failed = self.app.log().count("failed ")
        self.launch_without_alert(lambda: self.app.log().count("failed ") > failed, 20)
        self.assertIsNone(self.app.proc.poll())

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
