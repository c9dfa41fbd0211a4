"""What a service page carries that others wrote, tried as an attacker would with the MDT shown: frames of each
kind, loads no click asked for, downloads, a frame that ends the web process; and the web process's sandbox."""
import http.server
import os
import ssl
import threading

from qmtest import BUILD, CERT, Case, wait_for

FRAME_KINDS = ["srcdoc", "data", "blob", "origin"]
UNASKED = [("unaskedFrames()", ["nav -1 example.com/embed", "nav -1 example.com/redirected"]),
           ("unaskedLoads()", ["nav 1 example.com/form", "nav -1 example.com/timer"])]


class ToAFile(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        self.send_response(302)
        self.send_header("Location", "file:///etc/passwd")
        self.end_headers()

    def log_message(self, *args):
        pass


class Frames(Case):
    def act(self, js):
        self.service.command("hostile", js)

    def test_hostile_content_with_the_mdt_shown(self):
        self.start_game()
        self.app.start()
        self.loaded("dashboard")
        self.service.command("dashboard", "location.href = '/pages/hostile.html'")
        self.loaded("hostile")
        self.choose("MDT overlay (F8)")  # its page is the dashboard
        self.loaded("dashboard", count=2)
        mdt = wait_for(lambda: self.desktop.shown("MDT"), what="the MDT")
        own = os.readlink("/proc/self/ns/pid")
        pids = self.desktop.web_processes()
        self.assertTrue(pids)
        self.assertTrue(all(os.readlink(f"/proc/{pid}/ns/pid") != own for pid in pids), "in a pid namespace of its own")
        self.assertNotIn("without their sandbox", self.app.log())
        # Frames of each kind reach nothing.
        self.act("hostileFrames()")
        wait_for(lambda: {r["frame"] for r in self.service.reports("tried")} == set(FRAME_KINDS),
                 what="every frame's try")
        self.act("QMApp.send({t:'bodycam', on:true})")  # the page itself still can, after every try
        wait_for(lambda: self.frames("hostile"), what="frames for the page")
        self.assertEqual(self.desktop.shown("MDT"), mdt, "the MDT neither moved nor left")
        self.assertNotIn("message refused", self.app.log(), "no frame even reached the app")
        # Only a click opens the browser, and the page stays.
        for js, lines in UNASKED:
            self.act(js)
            for line in lines:
                self.app.wait_log(line)
        self.assertEqual(self.desktop.browsed(), [])
        self.click_element("hostile", "l-out", self.app.main_window())
        wait_for(lambda: self.desktop.browsed() == ["https://example.com/clicked"], what="the browser")
        # Only a clicked download asks where, in a dialog above the MDT.
        self.act("scriptDownload()")
        self.app.wait_log("download refused, not the player's click: blob")
        self.click_element("hostile", "l-download", self.app.main_window())
        dialog = wait_for(lambda: self.desktop.shown("Save the file"), what="the save dialog")
        stacked = [w[0] for w in self.desktop.windows()]
        self.assertGreater(stacked.index(dialog[0]), stacked.index(mdt[0]), "the dialog is above the MDT")
        self.desktop.close_window(dialog[0])
        self.assertFalse(os.path.exists(self.desktop.path("Downloads", "evil.desktop")))
        # A frame redirected to a file ends the web process each time: the page that says it keeps failing.
        server = http.server.HTTPServer(("127.0.0.1", 0), ToAFile)
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(CERT, os.path.join(BUILD, "devsite", "key.pem"))
        server.socket = context.wrap_socket(server.socket, server_side=True)
        threading.Thread(target=server.serve_forever, daemon=True).start()
        self.addCleanup(server.shutdown)
        self.act("location.href = '/pages/hostile.html?again#file=https://main.localhost:%d/'"
                 % server.server_address[1])
        self.app.wait_log("the page keeps failing", 60)
        self.app.wait_log("loaded about:blank")
        self.assertEqual(self.app.log().count("web process ended"), 4, "no loop")
