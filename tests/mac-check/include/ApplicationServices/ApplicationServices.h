// The Accessibility trust check (developer.apple.com/documentation/applicationservices).
#pragma once

#include <CoreFoundation/CoreFoundation.h>

extern "C" {

Boolean AXIsProcessTrusted(void);
Boolean AXIsProcessTrustedWithOptions(CFDictionaryRef options);
extern CFStringRef kAXTrustedCheckOptionPrompt;

}  // extern "C"
