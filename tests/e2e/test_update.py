"""The update check at launch against manifests the stand-in serves."""
import json
import os
import signal
import time

from qmtest import SITE, Case, wait_for

DOWNLOAD = SITE + "/downloads/quillmere-2.pkg"


def manifest(version, url=DOWNLOAD, notes="Faster bodycam frames."):
    return json.dumps({"version": version, "url": url, "notes": notes})


class Update(Case):
    def serve(self, body, status=200):
        self.service.post("/_test/manifest", {"status": status, "body": body})

    def manifest_asked(self):
        return any(r["path"] == "/downloads/quillmere-mac.json" and r["host"] == "updates.localhost"
                   for r in self.service.requests())

    def assert_no_alert(self, checked, timeout=15):
        """No alert once the update check was made (`checked` holds)."""
        wait_for(checked, timeout, what="the update check")
        time.sleep(2)
        self.assertRaises(AssertionError, self.app.dialog, 0.5)

    def press(self, alert, index):
        """Clicks the index-th of the alert's three buttons (Download, Later, Skip this version)."""
        self.desktop.click(alert[2] + int(alert[4] * (2 * index + 1) / 6), alert[3] + alert[5] - 16)
        wait_for(lambda: not self.desktop.viewable(alert), what="the alert to close")

    def launch(self):
        self.app.start()
        self.app.main_window()

    def test_download_opens_the_browser_a_skipped_version_oversized_manifest_or_no_service_gives_no_alert(self):
        self.serve(manifest("1.10.0"), status=500)  # offered even with an error status
        self.launch()
        alert = self.app.dialog()
        self.desktop.screenshot("update-alert")
        self.press(alert, 0)
        wait_for(lambda: self.desktop.browsed() == [DOWNLOAD], what="the download page in the browser")
        self.assertNotIn("skipped", self.app.settings())
        self.assertEqual(self.app.quit(), 0)
        self.serve(manifest("2.0.0"))
        self.launch()
        self.press(self.app.dialog(), 2)
        wait_for(lambda: self.app.settings().get("skipped") == "2.0.0", what="skipped stored")
        # The size cap is the backend's; what a manifest says is checked in the unit tests.
        for body in (manifest("2.0.0"), manifest("3.0.0", notes="x" * 600000)):
            self.assertEqual(self.app.quit(), 0)
            self.service.reset()
            self.serve(body)
            self.launch()
            self.assert_no_alert(self.manifest_asked)
        self.assertEqual(self.desktop.browsed(), [DOWNLOAD])
        # No service at all (a slow one meets the fetch's deadline, checked in the backend's tests).
        self.assertEqual(self.app.quit(), 0)
        os.kill(self.service.proc.pid, signal.SIGKILL)
        self.service.proc.wait()
        failed = self.app.log().count("failed ")
        self.launch()
        self.assert_no_alert(lambda: self.app.log().count("failed ") > failed, 20)
        self.assertIsNone(self.app.proc.poll())


if __name__ == "__main__":
    import unittest
    unittest.main()
