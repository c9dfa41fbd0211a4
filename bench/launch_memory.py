#!/usr/bin/env python3
"""A returning player's launch and what the app takes, with the real binary against the stand-in: launch
to the first thing painted in the main window and to the dashboard's page loaded (its script ran with the
player's session), median of several launches; the proportional set size of the app and its web processes
with the dashboard and the MDT open, and their CPU while idle; the web processes' memory before, during and
after a bodycam stream into the MDT. PSS shares a library's pages among every process that maps it: compare
figures taken on a quiet machine, or side by side in one run."""
import os
import statistics
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
from qmtest import Case, read, wait_for  # noqa: E402

LAUNCHES = 5
# A launch's steps: the first web process spawned (after the app's own start), the main window mapped and
# painted, the dashboard's navigation started (its connection is made meanwhile), its first byte and its last
# in, its document parsed, and its script run with the player's session.
STEPS = ("web process", "mapped", "painted", "navigation", "first byte", "response", "parsed", "loaded")
STREAM_SECONDS = float(os.environ.get("QM_BENCH_STREAM_SECONDS", "30"))


def pss_mib(pid):
    """A process's proportional set size in MiB (0 once it is gone)."""
    for line in read(f"/proc/{pid}/smaps_rollup").splitlines():
        if line.startswith("Pss:"):
            return int(line.split()[1]) / 1024
    return 0


def cpu_seconds(pid):
    """User and system CPU a process has used so far (0 once it is gone)."""
    fields = read(f"/proc/{pid}/stat").rpartition(")")[2].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK") if len(fields) > 12 else 0


def process_started(pid):
    """When a process started, in seconds since boot (the clock's ticks: 10 ms here)."""
    return int(read(f"/proc/{pid}/stat").rpartition(")")[2].split()[19]) / os.sysconf("SC_CLK_TCK")


def name_of(pid):
    return read(f"/proc/{pid}/comm").strip()


class LaunchAndMemory(Case):
    WM = True

    def painted(self, window):
        """Whether the main window shows more than one colour (anything at all drawn in it)."""
        box = (window[2], window[3], window[2] + window[4], window[3] + window[5])
        picture = self.desktop.pixels().crop(box).reduce(8)
        return picture.getextrema() and any(low != high for low, high in picture.getextrema()[:3])

    def launch(self):
        """Seconds from the start to each step of a launch (STEPS); the app quits after."""
        self.service.reset()
        started = time.time()
        self.app.start()
        window = wait_for(lambda: self.desktop.shown(lambda w: w[1] == "Quillmere" and w[5] >= 600), 20, 0.01,
                          "the main window")
        mapped = time.time() - started
        wait_for(lambda: self.painted(window), 20, 0.01, "something painted")
        painted = time.time() - started
        report = self.loaded("cad")[0]
        t = report["timing"]  # the page's navigation timing, in ms from its time origin

        def at(step):
            return (t["origin"] + t[step]) / 1000 - started
        web = min(process_started(pid) for pid in self.desktop.web_processes()) - process_started(self.app.proc.pid)
        steps = (web, mapped, painted, at("startTime"), at("responseStart"), at("responseEnd"),
                 at("domContentLoadedEventEnd"), report["at"] / 1000 - started)
        self.app.quit()
        return dict(zip(STEPS, steps))

    def processes(self):
        """The app and the WebKit processes of this desktop, by name."""
        return {pid: name_of(pid) for pid in self.desktop.session_processes()
                if name_of(pid) == "quillmere" or name_of(pid).startswith("WebKit")}

    def web_processes_mib(self):
        """What the pages' web processes take together (the bodycam's frames grow the MDT's)."""
        return sum(pss_mib(pid) for pid, name in self.processes().items() if name.startswith("WebKitWebProces"))

    def test_launch_and_memory(self):
        self.app.write_settings({"guild": "12345", "overlayOpen": True})
        self.launch()  # the first launch makes the profile: every later one is a returning player's
        launches = [self.launch() for _ in range(LAUNCHES)]
        median = {step: statistics.median(launch[step] for launch in launches) for step in STEPS}
        print(f"\nlaunch of a returning player, median of {LAUNCHES}: something painted {median['painted']:.2f} s, "
              f"dashboard loaded {median['loaded']:.2f} s (slowest {max(x['loaded'] for x in launches):.2f} s)")
        print("where the time goes, seconds from the start: " + ", ".join(f"{k} {v:.3f}" for k, v in median.items()))

        self.service.reset()
        self.app.start()
        self.loaded("cad")
        self.loaded("mdt")
        time.sleep(3)  # the pages settle
        total = {pid: (name, pss_mib(pid)) for pid, name in self.processes().items()}
        parts = ", ".join(f"{name} {mib:.0f}" for name, mib in sorted(total.values()))
        print(f"PSS with the dashboard and the MDT open: {sum(m for _, m in total.values()):.0f} MiB ({parts})")
        used = sum(cpu_seconds(pid) for pid in total)
        time.sleep(10)
        print(f"idle with both pages open (the stand-in's test hooks on): "
              f"{(sum(cpu_seconds(pid) for pid in total) - used) / 10 * 100:.1f} % of a core")

        before = self.web_processes_mib()
        game = self.start_game("--fullscreen", "--ticking")  # as a player has it: no two frames alike
        self.bodycam_on("mdt")
        wait_for(lambda: len(self.frames("mdt")) > 4, 30, what="frames in the MDT")
        # From here the page only shows the frames, as the service's does: none is sent back to the stand-in.
        self.service.command("mdt", "window.reportFrames = false")
        ours, our_parts = self.cpu_of(lambda: time.sleep(STREAM_SECONDS), self.processes())
        during = self.web_processes_mib()
        self.service.command("mdt", "window.showFrames = false")
        reading, reading_parts = self.cpu_of(lambda: time.sleep(STREAM_SECONDS / 2), self.processes())
        self.service.command("mdt", "QMApp.send({t:'bodycam', on:false})")
        time.sleep(30)
        after = self.web_processes_mib()
        print(f"web processes' PSS: {before:.0f} MiB before the bodycam, {during:.0f} MiB after "
              f"{STREAM_SECONDS:.0f} s of it, {after:.0f} MiB 30 s after it stopped "
              f"({(after / before - 1) * 100:+.0f} % of where it started)")
        theirs, their_parts = self.cpu_of(lambda: self.ffmpeg(game[0]), {})
        print(f"the bodycam at 4 frames a second into the MDT, app + web processes + X server: {ours * 100:.1f} % of "
              f"a core ({our_parts}); ffmpeg x11grab + bilinear scale + MJPEG of the same window + X server: "
              f"{theirs * 100:.1f} % ({their_parts}); ratio {ours / theirs:.2f}")
        print(f"the same into an MDT page that only reads each frame's data, without showing it: {reading * 100:.1f} % "
              f"of a core ({reading_parts}); ratio to ffmpeg {reading / theirs:.2f}")

    def cpu_of(self, work, processes):
        """A core's share the processes, the X server and the children finished meanwhile used during work,
        in all and by name."""
        watched = [*processes, *(pid for pid in self.desktop.session_processes() if name_of(pid) == "Xvfb")]
        used, children, started = {pid: cpu_seconds(pid) for pid in watched}, os.times(), time.monotonic()
        work()
        now, seconds = os.times(), time.monotonic() - started
        shares = {"children": (now.children_user + now.children_system - children.children_user -
                               children.children_system) / seconds}
        for pid in watched:
            shares[name_of(pid)] = shares.get(name_of(pid), 0) + (cpu_seconds(pid) - used[pid]) / seconds
        shown = [f"{name} {share * 100:.1f}" for name, share in shares.items() if round(share * 100, 1)]
        return sum(shares.values()), ", ".join(shown)

    def ffmpeg(self, window):
        """The same window filmed as the bodycam does, 4 frames a second into 1280x720 JPEG, for as long."""
        subprocess.run(["ffmpeg", "-nostdin", "-loglevel", "error", "-f", "x11grab", "-draw_mouse", "0", "-framerate",
                        "4", "-window_id", str(int(window, 16)), "-i", self.desktop.env["DISPLAY"], "-vf",
                        "scale=1280:720:flags=bilinear", "-c:v", "mjpeg", "-q:v", "13", "-t", str(STREAM_SECONDS),
                        "-f", "mjpeg", "-y", os.devnull], env=self.desktop.env, check=True, timeout=STREAM_SECONDS + 60)


if __name__ == "__main__":
    unittest.main()
