"""Quitting with work under way ends cleanly with the window state saved; also run under the sanitizers."""
import signal

from qmtest import Case, wait_for

FAULTS = ("AddressSanitizer", "runtime error:", "ThreadSanitizer", "LeakSanitizer")


class Quitting(Case):
    WM = True

    def assert_clean_quit(self, how, what):
        if how == "ctrl+q":
            self.desktop.xdotool("windowactivate", "--sync", self.app.main_window()[0])
            self.desktop.xdotool("key", "ctrl+q")
            self.app.proc.wait(timeout=30)
        else:
            self.app.quit(how)
        self.assertEqual(self.app.proc.returncode, 0, what)
        self.assertFalse([f for f in FAULTS if f in self.app.output()], what + ":\n" + self.app.output()[-6000:])
        settings = self.app.settings()
        self.assertIn("mainFrame", settings, what)
        self.assertIs(settings.get("overlayOpen"), False, what)

    def test_quitting_while_the_bodycam_streams_or_an_update_alert_is_open(self):
        self.start_game("800", "600")
        ways = [signal.SIGTERM, "ctrl+q", signal.SIGINT, signal.SIGHUP] * 2
        for run, how in enumerate(ways, 1):
            self.app.write_settings({})  # what the quit saves, not what an earlier one did
            self.app.start()
            self.loaded("dashboard", run)
            seen = len(self.frames())
            self.bodycam_on()
            wait_for(lambda: len(self.frames()) > seen, 30, what="frames streaming")
            self.assert_clean_quit(how, f"quit {run} by {how}")
        # A signal also ends an open update alert.
        self.service.get("/_test/manifest", {"status": 200, "body": '{"version": "9.0.0", "url": "https://x/y"}'})
        self.app.write_settings({})
        self.app.start()
        self.app.dialog()
        self.assert_clean_quit(signal.SIGTERM, "SIGTERM with the alert open")
