"""Reads the bundle's Info.plist template (its ${...} placeholders filled as CMake fills them) and the
entitlements as property lists: a malformed file would give a bundle macOS refuses to open or sign."""
import plistlib
import re
import sys

template, entitlements = sys.argv[1:3]
text = re.sub(r"\$\{MACOSX_BUNDLE_\w+\}", "x", open(template, encoding="utf-8").read())
for name, data in ((template, text.encode()), (entitlements, open(entitlements, "rb").read())):
    try:
        plistlib.loads(data)
    except Exception as error:  # any parse failure is the finding
        sys.exit(f"{name}: not a property list: {error}")
