#!/usr/bin/python3
"""Runs a command with a private session bus, PipeWire and WirePlumber, and the stand-in portal on that bus."""
import os
import subprocess
import sys

source = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
os.environ.setdefault("QM_SOURCE", source)
sys.path.insert(0, os.path.join(source, "tests", "e2e"))
from qmtest import read  # noqa: E402
from wayland import PortalSession  # noqa: E402

session = PortalSession()
try:
    status = subprocess.run(sys.argv[1:], env=session.env).returncode
    if status:
        print(read(session.path("portal.out"))[-4000:], file=sys.stderr)
finally:
    session.close()
sys.exit(status)
