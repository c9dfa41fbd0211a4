"""Checks the bundle's Info.plist template (its ${...} placeholders filled as CMake fills them) and entitlements
against what Apple documents for the keys the application uses: a misspelt or unknown key, a value of the wrong
type or form, another minimum system version than the build's, no sign-in link scheme, or a device entitlement
without the sentence macOS shows the player would each give a bundle that macOS refuses, ignores or kills."""
import plistlib
import re
import sys
from string import Template

IDENTIFIER = r"[A-Za-z0-9-]+(\.[A-Za-z0-9-]+)+"  # reverse DNS
VERSION = r"\d+(\.\d+){0,2}"
SENTENCE = r"\S.*\S"
SCHEME_FORM = r"[a-z][a-z0-9+.-]*"
# Information property list keys (developer.apple.com/documentation/bundleresources/information-property-list):
# the value's type and, for text, its form.
INFO = {
    "CFBundleDevelopmentRegion": (str, r"[a-z]{2}(-[A-Za-z]+)?"),
    "CFBundleExecutable": (str, r"[^/]+"),
    "CFBundleIconFile": (str, r"[^/]+"),
    "CFBundleIdentifier": (str, IDENTIFIER),
    "CFBundleInfoDictionaryVersion": (str, r"6\.0"),
    "CFBundleName": (str, r".{1,15}"),
    "CFBundlePackageType": (str, r"APPL"),
    "CFBundleURLTypes": (list, {"CFBundleURLName": (str, IDENTIFIER), "CFBundleURLSchemes": (list, SCHEME_FORM),
                                "CFBundleTypeRole": (str, r"Editor|Viewer|Shell|None")}),
    "LSApplicationCategoryType": (str, r"public\.app-category\.[a-z-]+"),
    "NSHighResolutionCapable": (bool, None),
    "NSPrincipalClass": (str, r"NSApplication"),
    **dict.fromkeys(["CFBundleShortVersionString", "CFBundleVersion", "LSMinimumSystemVersion"], (str, VERSION)),
    **dict.fromkeys(["CFBundleDisplayName", "NSCameraUsageDescription", "NSMicrophoneUsageDescription"],
                    (str, SENTENCE)),
}
REQUIRED = ["CFBundleExecutable", "CFBundleIdentifier", "CFBundlePackageType", "CFBundleShortVersionString",
            "CFBundleVersion", "LSMinimumSystemVersion", "NSPrincipalClass", "CFBundleURLTypes"]
# Entitlements of the hardened runtime (developer.apple.com/documentation/security/hardened-runtime), all
# Boolean, with the usage description macOS shows before it opens the device.
ENTITLEMENTS = {
    "com.apple.security.device.camera": "NSCameraUsageDescription",
    "com.apple.security.device.audio-input": "NSMicrophoneUsageDescription",
    "com.apple.security.automation.apple-events": "NSAppleEventsUsageDescription",
    **dict.fromkeys(["com.apple.security.cs.allow-jit", "com.apple.security.cs.allow-unsigned-executable-memory",
                     "com.apple.security.cs.disable-library-validation"]),
}


def check(where, value, kind, form):
    """Faults of one value: its type, the form of a text, each item of a list (texts, or dictionaries of a table)."""
    if not isinstance(value, kind):
        return [f"{where}: {kind.__name__} expected, found {type(value).__name__}"]
    if kind is list:
        return [f for i, item in enumerate(value) for f in check(f"{where}[{i}]", item, type(form), form)]
    if kind is dict:
        unknown = [f"{where}.{key}: not a key macOS reads here" for key in value if key not in form]
        return unknown + [f for key, item in value.items() if key in form
                          for f in check(f"{where}.{key}", item, *form[key])]
    return [f"{where}: {value!r} is not of the form {form}"] if form and not re.fullmatch(form, value) else []


def main():
    template, entitlements_file, minimum, *fills = sys.argv[1:]
    text = Template(open(template, encoding="utf-8").read()).safe_substitute(dict(f.split("=", 1) for f in fills))
    faults = [f"unfilled placeholder {name}" for name in re.findall(r"\$\{(\w+)\}", text)]
    try:
        info = plistlib.loads(text.encode())
        entitlements = plistlib.load(open(entitlements_file, "rb"))
    except Exception as error:  # any parse failure is the finding
        sys.exit(f"not a property list: {error}")
    faults += [f"{template}: {f}" for f in check("Info", info, dict, INFO)]
    faults += [f"{template}: {key}: missing" for key in REQUIRED if key not in info]
    if info.get("LSMinimumSystemVersion") != minimum:
        faults.append(f"{template}: LSMinimumSystemVersion: the build's deployment target is {minimum}")
    if "quillmere" not in [scheme for url_type in info.get("CFBundleURLTypes", []) if isinstance(url_type, dict)
                           for scheme in url_type.get("CFBundleURLSchemes", [])]:
        faults.append(f"{template}: CFBundleURLTypes: the scheme of the sign-in link, quillmere, is not declared")
    kinds = dict.fromkeys(ENTITLEMENTS, (bool, None))
    faults += [f"{entitlements_file}: {f}" for f in check("Entitlements", entitlements, dict, kinds)]
    faults += [f"{entitlements_file}: {name}: macOS ends the application at the device's first use without {usage}"
               for name, usage in ENTITLEMENTS.items()
               if usage and entitlements.get(name) is True and usage not in info]
    if faults:
        sys.exit("\n".join(faults))


main()
