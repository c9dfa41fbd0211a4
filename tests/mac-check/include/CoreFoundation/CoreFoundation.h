// CoreFoundation, as far as the macOS backend uses it (developer.apple.com/documentation/corefoundation).
#pragma once

#include <stdint.h>

extern "C" {
#pragma clang assume_nonnull begin

typedef unsigned char Boolean;
typedef long CFIndex;
typedef unsigned long CFTypeID;
typedef const void* CFTypeRef;
typedef const struct __CFString* CFStringRef;
typedef const struct __CFArray* CFArrayRef;
typedef const struct __CFDictionary* CFDictionaryRef;

CFTypeID CFGetTypeID(CFTypeRef cf);
CFTypeID CFBooleanGetTypeID(void);
CFIndex CFArrayGetCount(CFArrayRef theArray);
const void* CFArrayGetValueAtIndex(CFArrayRef theArray, CFIndex idx);

#pragma clang assume_nonnull end
}  // extern "C"
