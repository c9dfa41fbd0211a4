// GNUstep's AppKit plus what the macOS backend uses of newer releases; clashing GNUstep methods are renamed.
#pragma once

#import <Foundation/Foundation.h>

#include <CoreGraphics/CoreGraphics.h>

#define separatorItem qm_gnustep_separatorItem
#include_next <AppKit/AppKit.h>
#undef separatorItem

NS_ASSUME_NONNULL_BEGIN

@class CALayer;

typedef NSInteger NSWindowLevel;

// GNUstep has the older names of these event types.
static const NSEventType NSEventTypeKeyDown = NSKeyDown;

enum : NSEventMask {
  NSEventMaskKeyDown = 1ULL << NSKeyDown,
  NSEventMaskKeyUp = 1ULL << NSKeyUp,
};

enum : NSEventModifierFlags {
  NSEventModifierFlagShift = 1 << 17,
  NSEventModifierFlagCommand = 1 << 20,
};

@interface NSMenuItem (QMCheckApple)
+ (NSMenuItem*)separatorItem;
@end

@interface NSEvent (QMCheckNewer)
+ (nullable id)addGlobalMonitorForEventsMatchingMask:(NSEventMask)mask handler:(void (^)(NSEvent* event))block;
+ (nullable id)addLocalMonitorForEventsMatchingMask:(NSEventMask)mask
                                            handler:(NSEvent* _Nullable (^)(NSEvent* event))block;
@end

@interface NSStatusItem (QMCheckNewer)
@property(readonly, strong, nullable) NSStatusBarButton* button;
@end

@interface NSFont (QMCheckNewer)
+ (NSFont*)systemFontOfSize:(CGFloat)fontSize weight:(NSFontWeight)weight;
@end

@interface NSWindow (QMCheckNewer)
@property(nullable, strong) NSAppearance* appearance;
@property(getter=isVisible, readonly) BOOL visible;
@end

@interface NSView (QMCheckNewer)
@property BOOL wantsLayer;
@property(nullable, strong) CALayer* layer;
@end

@interface NSApplication (QMCheckNewer)
- (BOOL)setActivationPolicy:(NSApplicationActivationPolicy)activationPolicy;
@end

NS_ASSUME_NONNULL_END
