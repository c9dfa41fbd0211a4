"""Reads the bundle's Info.plist template (its ${...} placeholders filled as CMake fills them) and the
entitlements as property lists, and checks them for meaning against what Apple documents for the keys the
application uses: a misspelt or unknown key, a value of the wrong type or form, a minimum system version other
than the build's, a URL scheme that is not the sign-in link's, or a device entitlement without the sentence
macOS shows the player, would each give a bundle that macOS refuses, ignores or kills."""
import plistlib
import re
import sys

IDENTIFIER = r"[A-Za-z0-9-]+(\.[A-Za-z0-9-]+)+"  # reverse DNS
VERSION = r"\d+(\.\d+){0,2}"
SENTENCE = r"\S.*\S"
SCHEME_FORM = r"[a-z][a-z0-9+.-]*"
# Information property list keys (developer.apple.com/documentation/bundleresources/information-property-list):
# the value's type and, for text, its form.
INFO = {
    "CFBundleDevelopmentRegion": (str, r"[a-z]{2}(-[A-Za-z]+)?"),
    "CFBundleDisplayName": (str, SENTENCE),
    "CFBundleExecutable": (str, r"[^/]+"),
    "CFBundleIconFile": (str, r"[^/]+"),
    "CFBundleIdentifier": (str, IDENTIFIER),
    "CFBundleInfoDictionaryVersion": (str, r"6\.0"),
    "CFBundleName": (str, r".{1,15}"),
    "CFBundlePackageType": (str, r"APPL"),
    "CFBundleShortVersionString": (str, VERSION),
    "CFBundleVersion": (str, VERSION),
    "CFBundleURLTypes": (list, {"CFBundleURLName": (str, IDENTIFIER), "CFBundleURLSchemes": (list, SCHEME_FORM),
                                "CFBundleTypeRole": (str, r"Editor|Viewer|Shell|None")}),
    "LSApplicationCategoryType": (str, r"public\.app-category\.[a-z-]+"),
    "LSMinimumSystemVersion": (str, VERSION),
    "NSCameraUsageDescription": (str, SENTENCE),
    "NSHighResolutionCapable": (bool, None),
    "NSMicrophoneUsageDescription": (str, SENTENCE),
    "NSPrincipalClass": (str, r"NSApplication"),
}
REQUIRED = ["CFBundleExecutable", "CFBundleIdentifier", "CFBundlePackageType", "CFBundleShortVersionString",
            "CFBundleVersion", "LSMinimumSystemVersion", "NSPrincipalClass", "CFBundleURLTypes"]
SCHEME = "quillmere"  # of the sign-in link
# Entitlements of the hardened runtime (developer.apple.com/documentation/security/hardened-runtime), all
# Boolean, with the usage description macOS shows before it opens the device.
ENTITLEMENTS = {
    "com.apple.security.device.camera": "NSCameraUsageDescription",
    "com.apple.security.device.audio-input": "NSMicrophoneUsageDescription",
    "com.apple.security.cs.allow-jit": None,
    "com.apple.security.cs.allow-unsigned-executable-memory": None,
    "com.apple.security.cs.disable-library-validation": None,
    "com.apple.security.automation.apple-events": "NSAppleEventsUsageDescription",
}


def check(where, value, kind, form):
    """Faults of one value: its type, the form of a text, each item of a list (texts, or dictionaries of a table)."""
    if not isinstance(value, kind):
        return [f"{where}: {kind.__name__} expected, found {type(value).__name__}"]
    faults = []
    if kind is list:
        for index, item in enumerate(value):
            faults += check(f"{where}[{index}]", item, dict if isinstance(form, dict) else str, form)
    elif kind is dict:
        for key, item in value.items():
            if key not in form:
                faults.append(f"{where}.{key}: not a key macOS reads here")
            else:
                faults += check(f"{where}.{key}", item, *form[key])
    elif form and not re.fullmatch(form, value):
        faults.append(f"{where}: {value!r} is not of the form {form}")
    return faults


def check_info(info, minimum):
    faults = check("Info", info, dict, INFO) + [f"{key}: missing" for key in REQUIRED if key not in info]
    if info.get("LSMinimumSystemVersion") != minimum:
        faults.append(f"LSMinimumSystemVersion: the build's deployment target is {minimum}")
    schemes = [scheme for url_type in info.get("CFBundleURLTypes", []) if isinstance(url_type, dict)
               for scheme in url_type.get("CFBundleURLSchemes", [])]
    if SCHEME not in schemes:
        faults.append(f"CFBundleURLTypes: the scheme {SCHEME!r} of the sign-in link is not declared")
    return faults


def check_entitlements(entitlements, info):
    faults = check("Entitlements", entitlements, dict, {name: (bool, None) for name in ENTITLEMENTS})
    for name, usage in ENTITLEMENTS.items():
        if usage and entitlements.get(name) is True and usage not in info:
            faults.append(f"{name}: macOS ends the application at the device's first use without {usage}")
    return faults


def main():
    template, entitlements_file, minimum, *fills = sys.argv[1:]
    text = open(template, encoding="utf-8").read()
    for fill in fills:
        name, value = fill.split("=", 1)
        text = text.replace("${" + name + "}", value)
    faults = [f"unfilled placeholder {name}" for name in re.findall(r"\$\{(\w+)\}", text)]
    try:
        info = plistlib.loads(text.encode())
        entitlements = plistlib.loads(open(entitlements_file, "rb").read())
    except Exception as error:  # any parse failure is the finding
        sys.exit(f"not a property list: {error}")
    faults += [f"{template}: {f}" for f in check_info(info, minimum)]
    faults += [f"{entitlements_file}: {f}" for f in check_entitlements(entitlements, info)]
    if faults:
        sys.exit("\n".join(faults))


main()
