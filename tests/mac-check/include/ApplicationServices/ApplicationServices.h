// The Accessibility trust check (developer.apple.com/documentation/applicationservices).
#pragma once

#include <CoreFoundation/CoreFoundation.h>

#include "availability.h"

#ifdef __cplusplus
extern "C" {
#endif

Boolean AXIsProcessTrusted(void);
Boolean AXIsProcessTrustedWithOptions(CFDictionaryRef options) API_AVAILABLE(macos(10.9));
extern CFStringRef kAXTrustedCheckOptionPrompt API_AVAILABLE(macos(10.9));

#ifdef __cplusplus
}
#endif
