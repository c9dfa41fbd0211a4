// GNUstep's AppKit plus what the macOS backend uses of newer releases; clashing GNUstep methods are renamed.
#pragma once

#import <Foundation/Foundation.h>

#include <CoreGraphics/CoreGraphics.h>

#include "availability.h"

// As in Foundation.h: renamed here, declared below with Apple's nullability and types.
#define separatorItem qm_gnustep_separatorItem
#define initWithTitle qm_gnustep_initWithTitle
#define title qm_gnustep_title
#define setTitle qm_gnustep_setTitle
#define messageText qm_gnustep_messageText
#define setMessageText qm_gnustep_setMessageText
#define informativeText qm_gnustep_informativeText
#define setInformativeText qm_gnustep_setInformativeText
#define addButtonWithTitle qm_gnustep_addButtonWithTitle
#define openURL qm_gnustep_openURL
#define mainScreen qm_gnustep_mainScreen
#define appearanceNamed qm_gnustep_appearanceNamed
#define type qm_gnustep_type
#include_next <AppKit/AppKit.h>
#undef separatorItem
#undef initWithTitle
#undef title
#undef setTitle
#undef messageText
#undef setMessageText
#undef informativeText
#undef setInformativeText
#undef addButtonWithTitle
#undef openURL
#undef mainScreen
#undef appearanceNamed
#undef type

NS_ASSUME_NONNULL_BEGIN

@class CALayer;

typedef NSInteger NSWindowLevel;

// Apple's event types and event masks are two enumerations, so that comparing an event's type with a mask is
// an error; GNUstep's types are plain integers with older names.
enum QMCheckEventType : NSUInteger {
  NSEventTypeKeyDown = NSKeyDown,
  NSEventTypeKeyUp = NSKeyUp,
  NSEventTypeFlagsChanged = NSFlagsChanged,
};

enum QMCheckEventMask : NSEventMask {
  NSEventMaskKeyDown = 1ULL << NSKeyDown,
  NSEventMaskKeyUp = 1ULL << NSKeyUp,
  NSEventMaskFlagsChanged = 1ULL << NSFlagsChanged,
};

enum : NSEventModifierFlags {
  NSEventModifierFlagShift = 1 << 17,
  NSEventModifierFlagOption = 1 << 19,
  NSEventModifierFlagCommand = 1 << 20,
};

@interface NSMenuItem (QMCheckApple)
+ (NSMenuItem*)separatorItem;
- (instancetype)initWithTitle:(NSString*)string action:(nullable SEL)selector keyEquivalent:(NSString*)charCode;
@property(copy) NSString* title;
@end

@interface NSMenu (QMCheckApple)
- (instancetype)initWithTitle:(NSString*)title;
@property(copy) NSString* title;
@end

@interface NSWindow (QMCheckApple)
@property(copy) NSString* title;
@end

@interface NSButton (QMCheckApple)
@property(copy) NSString* title;
@end

@interface NSAlert (QMCheckApple)
@property(copy) NSString* messageText;
@property(copy) NSString* informativeText;
- (NSButton*)addButtonWithTitle:(NSString*)title;
@end

@interface NSWorkspace (QMCheckApple)
- (BOOL)openURL:(NSURL*)url;
@end

@interface NSScreen (QMCheckApple)
@property(class, readonly, nullable, strong) NSScreen* mainScreen;
@end

@interface NSAppearance (QMCheckApple)
+ (nullable NSAppearance*)appearanceNamed:(NSAppearanceName)name;
@end

@interface NSEvent (QMCheckApple)
@property(readonly) enum QMCheckEventType type;
@end

@interface NSEvent (QMCheckNewer)
+ (nullable id)addGlobalMonitorForEventsMatchingMask:(NSEventMask)mask handler:(void (^)(NSEvent* event))block;
+ (nullable id)addLocalMonitorForEventsMatchingMask:(NSEventMask)mask
                                            handler:(NSEvent* _Nullable (^)(NSEvent* event))block;
@end

@interface NSStatusItem (QMCheckNewer)
@property(readonly, strong, nullable) NSStatusBarButton* button;
@end

@interface NSTextField (QMCheckNewer)
+ (instancetype)labelWithString:(NSString*)stringValue;
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
- (void)activate API_AVAILABLE(macos(14.0));
@end

NS_ASSUME_NONNULL_END
