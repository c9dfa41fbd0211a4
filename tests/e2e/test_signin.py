"""Browser sign-in: the built-in page, the default browser, the quillmere:// callback and the redeem."""
import hashlib
import re
import time

from qmtest import SITE, Case, wait_for

VERIFIER = "ab" * 32


class SignIn(Case):
    def sign_in_with_the_real_page(self):
        self.app.start()
        self.loaded("dashboard", signedIn=False)
        self.service.command("dashboard", "document.getElementById('b-signin').click()")
        self.app.wait_log("nav -1 signin.localhost/start")
        self.app.wait_log("loaded about:blank")
        time.sleep(0.5)  # painted
        self.desktop.screenshot("signin-built-in-page")
        # The page's one link is the first stop of the keyboard.
        self.desktop.xdotool("windowfocus", "--sync", self.app.main_window()[0])
        self.desktop.xdotool("key", "Tab", "Return")
        start = wait_for(lambda: [u for u in self.desktop.browsed() if "/api/auth/app-start" in u],
                         what="the browser to be asked")[0]
        self.assertRegex(start, "^" + re.escape(SITE) + r"/api/auth/app-start\?c=[0-9a-f]{64}$")
        return start.split("c=")[1]

    def test_round_trip_signs_the_dashboard_in(self):
        challenge = self.sign_in_with_the_real_page()
        self.loaded("dashboard", signedIn=True)
        time.sleep(1)  # the report comes before the page is painted
        self.desktop.screenshot("signin-signed-in")
        lines = self.app.log_lines()
        started = [l for l in lines if l.startswith("browser sign-in started, challenge ")]
        self.assertEqual(started, ["browser sign-in started, challenge " + challenge[:8]])
        callback = [l for l in lines if l.startswith("url event ")]
        self.assertEqual(len(callback), 1)
        self.assertRegex(callback[0], r"^url event quillmere://auth\?code=[0-9a-f]{8}$")
        self.assertTrue(any(re.fullmatch(r"redeeming code [0-9a-f]{8} with verifier for " + challenge[:8], l)
                            for l in lines), lines)
        self.assertNotIn("signinVerifier", self.app.settings())

        # The overlay's web view shares the session.
        self.service.command("dashboard", "QMApp.send({t:'overlay'})")
        self.loaded("dashboard", count=2, signedIn=True)

    def test_callback_that_starts_the_app_is_redeemed_and_a_second_delivery_finds_no_verifier(self):
        self.app.write_settings({"signinVerifier": VERIFIER})
        url = "quillmere://auth?code=" + self.service.sign_in_code(hashlib.sha256(VERIFIER.encode()).hexdigest())
        self.app.start(url)
        self.loaded("dashboard", signedIn=True)
        self.assertEqual(self.app.invoke(url), 0)  # to the running app
        self.app.wait_log("no verifier")
        self.assertEqual(sum(l.startswith("redeeming code") for l in self.app.log_lines()), 1)


if __name__ == "__main__":
    import unittest
    unittest.main()
