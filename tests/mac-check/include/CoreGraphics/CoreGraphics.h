// CoreGraphics, as far as the macOS backend uses it (developer.apple.com/documentation/coregraphics).
#pragma once

#include <CoreFoundation/CoreFoundation.h>
#include <stdbool.h>

#include "availability.h"

#ifdef __cplusplus
extern "C" {
#endif

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

extern const CFStringRef kCGColorSpaceSRGB API_AVAILABLE(macos(10.5));
CGColorSpaceRef CGColorSpaceCreateWithName(CFStringRef name) API_AVAILABLE(macos(10.2));
void CGColorSpaceRelease(CGColorSpaceRef space);
bool CGRequestScreenCaptureAccess(void) API_AVAILABLE(macos(10.15));

#ifdef __cplusplus
}
#endif
