// The Accessibility trust check (developer.apple.com/documentation/applicationservices).
#pragma once

#include <CoreFoundation/CoreFoundation.h>

extern "C" {

Boolean AXIsProcessTrusted(void);
Boolean AXIsProcessTrustedWithOptions(CFDictionaryRef _Nullable options);
extern const CFStringRef _Nonnull kAXTrustedCheckOptionPrompt;

}  // extern "C"
