// GNUstep's AppKit, plus what newer AppKit releases declare and the macOS backend uses
// (developer.apple.com/documentation/appkit). Where GNUstep declares an Apple method with another type,
// its declaration is renamed out of the way so that Apple's is the one checked.
#pragma once

#import <Foundation/Foundation.h>

#include <CoreGraphics/CoreGraphics.h>

#define separatorItem qm_gnustep_separatorItem
#include_next <AppKit/AppKit.h>
#undef separatorItem

#include "availability.h"

NS_ASSUME_NONNULL_BEGIN

@class CALayer;

typedef NSInteger NSWindowLevel;

// GNUstep has the older names of these event types.
static const NSEventType NSEventTypeKeyDown = NSKeyDown;
static const NSEventType NSEventTypeKeyUp = NSKeyUp;

enum : NSEventMask {
  NSEventMaskKeyDown = 1ULL << NSKeyDown,
  NSEventMaskKeyUp = 1ULL << NSKeyUp,
};

typedef NSUInteger NSEventModifierFlags;
enum : NSEventModifierFlags {
  NSEventModifierFlagShift = 1 << 17,
  NSEventModifierFlagCommand = 1 << 20,
};

@interface NSMenuItem (QMCheckApple)
+ (NSMenuItem*)separatorItem;
@end

@interface NSEvent (QMCheckNewer)
+ (nullable id)addGlobalMonitorForEventsMatchingMask:(NSEventMask)mask
                                             handler:(void (^)(NSEvent* event))block API_AVAILABLE(macos(10.6));
+ (nullable id)addLocalMonitorForEventsMatchingMask:(NSEventMask)mask
                                            handler:(NSEvent* _Nullable (^)(NSEvent* event))block
    API_AVAILABLE(macos(10.6));
@end

@interface NSStatusItem (QMCheckNewer)
@property(readonly, strong, nullable) NSStatusBarButton* button API_AVAILABLE(macos(10.10));
@end

@interface NSFont (QMCheckNewer)
+ (NSFont*)systemFontOfSize:(CGFloat)fontSize weight:(NSFontWeight)weight API_AVAILABLE(macos(10.11));
@end

@interface NSWindow (QMCheckNewer)
@property(nullable, strong) NSAppearance* appearance API_AVAILABLE(macos(10.9));
@property(getter=isVisible, readonly) BOOL visible;
@end

@interface NSView (QMCheckNewer)
@property BOOL wantsLayer;
@property(nullable, strong) CALayer* layer;
@end

@interface NSApplication (QMCheckNewer)
- (BOOL)setActivationPolicy:(NSApplicationActivationPolicy)activationPolicy API_AVAILABLE(macos(10.6));
@end

NS_ASSUME_NONNULL_END
