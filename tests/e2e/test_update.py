"""The update check at launch against manifests the stand-in serves."""
import http.server
import json
import os
import threading
import signal
import time

from qmtest import SITE, Case, wait_for

DOWNLOAD = SITE + "/downloads/quillmere-2.pkg"


def manifest(version, url=DOWNLOAD, notes="Faster bodycam frames."):
    return json.dumps({"version": version, "url": url, "notes": notes})


class Update(Case):
    def serve(self, body, status=200, delay_ms=0, location=""):
        self.service.post("/_test/manifest", {"status": status, "body": body, "delayMs": delay_ms,
                                              "location": location})

    def assert_no_alert(self):
        wait_for(lambda: any(r["path"] == "/downloads/quillmere-mac.json" and r["host"] == "updates.localhost"
                             for r in self.service.requests()), what="the manifest request")
        time.sleep(2)
        self.assertRaises(AssertionError, self.app.dialog, 0.5)

    def press(self, alert, index):
        """Clicks the index-th of the alert's three buttons (Download, Later, Skip this version)."""
        self.desktop.click(alert[2] + int(alert[4] * (2 * index + 1) / 6), alert[3] + alert[5] - 16)
        wait_for(lambda: not self.desktop.viewable(alert), what="the alert to close")

    def launch(self):
        self.app.start()
        self.app.main_window()

    def test_newer_version_is_offered_even_with_an_error_status_and_download_opens_the_browser(self):
        self.serve(manifest("1.10.0"), status=500)
        self.launch()
        alert = self.app.dialog()
        self.desktop.screenshot("update-alert")
        self.press(alert, 0)
        wait_for(lambda: self.desktop.browsed() == [DOWNLOAD], what="the download page in the browser")
        self.assertNotIn("skipped", self.app.settings())

    def test_skip_this_version_is_stored_and_holds_at_the_next_launch(self):
        self.serve(manifest("2.0.0"))
        self.launch()
        self.press(self.app.dialog(), 2)
        wait_for(lambda: self.app.settings().get("skipped") == "2.0.0", what="skipped stored")
        self.assertEqual(self.app.quit(), 0)
        self.service.reset()
        self.launch()
        self.assert_no_alert()
        self.assertEqual(self.desktop.browsed(), [])

    def test_an_oversized_manifest_gives_no_alert(self):
        # What the manifest says is checked in the unit tests; the size cap is the backend's.
        self.serve(manifest("2.0.0", notes="x" * 600000))
        self.launch()
        self.assert_no_alert()

    def test_a_manifest_redirected_to_plain_http_is_refused(self):
        body = manifest("4.0.0").encode()
        fetched = threading.Event()

        class Plain(http.server.BaseHTTPRequestHandler):
            def do_GET(self):
                self.send_response(200)
                self.send_header("Content-Length", str(len(body)))
                self.end_headers()
                self.wfile.write(body)
                fetched.set()

        server = http.server.HTTPServer(("127.0.0.1", 0), Plain)
        threading.Thread(target=server.handle_request, daemon=True).start()
        self.addCleanup(server.server_close)
        self.serve("", location="http://127.0.0.1:%d/m.json" % server.server_port)
        self.launch()
        wait_for(fetched.is_set, what="the redirect followed to plain http")
        self.assert_no_alert()

    def test_slow_or_missing_service_neither_hangs_nor_alerts(self):
        self.serve(manifest("2.0.0"), delay_ms=60000)
        self.launch()
        self.loaded("dashboard")  # the launch went on while the manifest hangs
        self.assertEqual(self.app.quit(), 0)
        os.kill(self.service.proc.pid, signal.SIGKILL)  # now a closed port
        self.service.proc.wait()
        self.launch()
        self.app.wait_log("failed ")
        time.sleep(2)
        self.assertRaises(AssertionError, self.app.dialog, 0.5)
        self.assertIsNone(self.app.proc.poll())


if __name__ == "__main__":
    import unittest
    unittest.main()
