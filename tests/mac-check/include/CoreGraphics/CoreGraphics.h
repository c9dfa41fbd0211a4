// CoreGraphics, as far as the macOS backend uses it (developer.apple.com/documentation/coregraphics).
#pragma once

#include <CoreFoundation/CoreFoundation.h>
#include <stdbool.h>

extern "C" {
#pragma clang assume_nonnull begin

typedef double CGFloat;

struct CGPoint {
  CGFloat x;
  CGFloat y;
};
typedef struct CGPoint CGPoint;

struct CGSize {
  CGFloat width;
  CGFloat height;
};
typedef struct CGSize CGSize;

struct CGRect {
  CGPoint origin;
  CGSize size;
};
typedef struct CGRect CGRect;

extern const CGRect CGRectZero;

typedef uint32_t CGWindowID;
typedef struct CGColorSpace* CGColorSpaceRef;

extern const CFStringRef kCGColorSpaceSRGB;
CGColorSpaceRef _Nullable CGColorSpaceCreateWithName(CFStringRef name);
void CGColorSpaceRelease(CGColorSpaceRef _Nullable space);
bool CGRectMakeWithDictionaryRepresentation(CFDictionaryRef _Nullable dict, CGRect* _Nullable rect);
bool CGPreflightScreenCaptureAccess(void);
bool CGRequestScreenCaptureAccess(void);

#pragma clang assume_nonnull end
}  // extern "C"
