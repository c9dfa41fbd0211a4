#!/usr/bin/env python3
"""The test desktop's browser: records every URL; a sign-in start it follows to the app's URL, as a browser would."""
import http.client
import os
import ssl
import subprocess
import sys
import urllib.parse

url = sys.argv[1]
with open(os.environ["QM_BROWSER_LOG"], "a", encoding="utf-8") as log:
    log.write(url + "\n")

parts = urllib.parse.urlsplit(url)
if parts.path == "/api/auth/app-start" and parts.hostname and parts.hostname.endswith("localhost"):
    context = ssl.create_default_context(cafile=os.environ["QM_CERT"])
    context.check_hostname = False
    connection = http.client.HTTPSConnection("127.0.0.1", parts.port or 443, context=context, timeout=10)
    connection.request("GET", parts.path + "?" + parts.query, headers={"Host": parts.netloc})
    location = connection.getresponse().getheader("Location")  # only a redirect has one
    if location:
        subprocess.run(["gio", "open", location], check=False)
