"""What may load inside the app, what goes to the browser, pop-ups, dialogs and a crashed web process."""
import os
import signal
import time

from qmtest import SITE, Case, read, wait_for


class Navigation(Case):
    def act(self, js):
        self.service.command("dashboard", js)

    def test_links_popups_dialogs_and_a_crashed_web_process(self):
        self.app.start()
        self.loaded("dashboard")
        self.act("document.getElementById('l-external').click()")
        wait_for(lambda: self.desktop.browsed() == ["https://example.com/outside"], what="the browser")
        self.app.wait_log("nav 0 example.com/outside")
        time.sleep(1)  # a load would be reported by now
        self.assertEqual(len(self.service.reports("loaded")), 1, "the page stayed as it was")
        for share, answer in [(0.75, False), (0.25, True)]:  # Cancel on the right, OK on the left
            self.act("document.getElementById('b-confirm').click()")
            dialog = self.app.dialog()
            self.desktop.screenshot("navigation-confirm")
            self.desktop.click(dialog[2] + int(dialog[4] * share), dialog[3] + int(dialog[5] * 0.8))
            wait_for(lambda: [r for r in self.service.reports("confirm") if r["answer"] is answer],
                     what=f"the answer {answer}")
        for pid in self.desktop.session_processes():  # only this desktop's: other runs may share the machine
            if "(WebKitWebProces)" in read(f"/proc/{pid}/stat"):
                os.kill(pid, signal.SIGKILL)
        self.loaded("dashboard", count=2)  # reloaded
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


if __name__ == "__main__":
    import unittest
    unittest.main()
