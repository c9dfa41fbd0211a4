"""The Debian package as a user meets it, from validators to apt install, start, quillmere:// and purge (needs root)."""
import glob
import gzip
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest
import xml.etree.ElementTree as ET

SOURCE = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(SOURCE, "tests", "e2e"))
from PIL import Image  # noqa: E402
from qmtest import App, Desktop, read  # noqa: E402

BUILD = os.path.join(SOURCE, "build-deb")
ENTRY = "app.quillmere.Quillmere.desktop"
METAINFO = "usr/share/metainfo/app.quillmere.Quillmere.metainfo.xml"
SUDO = [] if os.geteuid() == 0 else ["sudo"]


def output(argv, **kw):
    return subprocess.run(argv, check=True, capture_output=True, text=True, **kw).stdout


def apt(*args, **kw):
    """apt-get as the house uses it; what it printed is shown only when it fails."""
    result = subprocess.run(SUDO + ["apt-get", "-o", "DPkg::Lock::Timeout=900", "-y", "-q",
                                    "--no-install-recommends", *args], capture_output=True, text=True,
                            env=dict(os.environ, DEBIAN_FRONTEND="noninteractive"), **kw)
    if result.returncode:
        raise AssertionError(f"apt-get {' '.join(args)} failed:\n{result.stdout}{result.stderr}")


def installed():
    return "install ok installed" in subprocess.run(["dpkg-query", "-W", "-f=${Status}", "quillmere"],
                                                    capture_output=True, text=True).stdout


class Package(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        subprocess.run([os.path.join(SOURCE, "scripts", "build-deb.sh")], check=True)
        debs = glob.glob(os.path.join(BUILD, "quillmere_*.deb"))
        assert len(debs) == 1, debs
        cls.deb = debs[0]
        cls.version = output(["dpkg-deb", "--field", cls.deb, "Version"]).strip()
        cls.root = tempfile.mkdtemp(prefix="qm-deb-")
        cls.addClassCleanup(shutil.rmtree, cls.root, ignore_errors=True)
        subprocess.run(["dpkg-deb", "--extract", cls.deb, cls.root], check=True)

    def test_validators_find_no_error(self):
        checks = [["desktop-file-validate", os.path.join(self.root, "usr/share/applications", ENTRY)],
                  # No network here: the screenshot addresses cannot be fetched.
                  ["appstreamcli", "validate", "--no-net", os.path.join(self.root, METAINFO)],
                  ["lintian", "--fail-on", "error", self.deb]]
        for argv in checks:
            with self.subTest(argv[0]):  # what it says goes to the test's own output
                self.assertEqual(subprocess.run(argv).returncode, 0)

    def test_control_and_metadata_agree_with_the_build(self):
        with gzip.open(os.path.join(self.root, "usr/share/doc/quillmere/changelog.gz"), "rt") as f:
            changelog = re.match(r"quillmere \(([^)]+)\)", f.readline()).group(1)
        metainfo = ET.parse(os.path.join(self.root, METAINFO))
        newest = metainfo.find("releases/release").get("version")
        self.assertEqual({"changelog": changelog, "AppStream release": newest},
                         {"changelog": self.version, "AppStream release": self.version})
        depends = output(["dpkg-deb", "--field", self.deb, "Depends"])
        self.assertIn("libwebkit2gtk-4.1-0", depends, "library dependencies come from dpkg-shlibdeps")
        self.assertIn("bubblewrap, xdg-dbus-proxy", depends, "the pages' sandbox")
        for image in metainfo.iter("image"):
            with self.subTest(image.text):
                self.assertTrue(image.text.startswith("https://"))
                shot = os.path.join(SOURCE, "resources", "screenshots", os.path.basename(image.text))
                with Image.open(shot) as picture:
                    self.assertEqual(picture.size, (int(image.get("width")), int(image.get("height"))))

    def test_installed_app_starts_takes_its_address_and_leaves_user_files_on_removal(self):
        if installed():  # left by an interrupted run: start from a machine without it
            apt("purge", "quillmere")
        apt("install", "./" + os.path.basename(self.deb), cwd=BUILD)
        self.addCleanup(lambda: installed() and apt("purge", "quillmere"))
        desktop = Desktop(handlers=False)
        self.addCleanup(desktop.close)
        app = App(desktop, binary="quillmere")
        app.start()
        app.main_window()
        # The desktop has no handlers of its own: the address reaches the app through the system's database.
        url = "quillmere://auth?code=" + "0123456789abcdef" * 4
        desktop.run(["xdg-open", url])
        app.wait_log("url event " + url[:30])
        self.assertEqual(app.quit(), 0)
        settings = read(app.settings_path)
        self.assertIn("mainFrame", settings)

        apt("purge", "quillmere")
        self.assertEqual(read(app.settings_path), settings)
        self.assertIn("url event", read(app.log_path))


if __name__ == "__main__":
    unittest.main(verbosity=2)
