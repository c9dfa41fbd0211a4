// ScreenCaptureKit, as far as the macOS backend uses it (developer.apple.com/documentation/screencapturekit).
#pragma once

#import <Foundation/Foundation.h>

#include <CoreGraphics/CoreGraphics.h>
#include <CoreMedia/CoreMedia.h>
#include <dispatch/dispatch.h>

#include "availability.h"

NS_ASSUME_NONNULL_BEGIN

typedef NS_ENUM(NSInteger, SCStreamOutputType) {
  SCStreamOutputTypeScreen,
} API_AVAILABLE(macos(12.3));

typedef NS_ENUM(NSInteger, SCFrameStatus) {
  SCFrameStatusComplete,
} API_AVAILABLE(macos(12.3));

typedef NSString* SCStreamFrameInfo;
extern SCStreamFrameInfo const SCStreamFrameInfoStatus API_AVAILABLE(macos(12.3));
extern SCStreamFrameInfo const SCStreamFrameInfoContentRect API_AVAILABLE(macos(12.3));
extern SCStreamFrameInfo const SCStreamFrameInfoContentScale API_AVAILABLE(macos(12.3));

API_AVAILABLE(macos(12.3))
@interface SCRunningApplication : NSObject
@property(readonly) NSString* bundleIdentifier;
@end

API_AVAILABLE(macos(12.3))
@interface SCWindow : NSObject
@property(readonly) CGWindowID windowID;
@property(readonly) CGRect frame;
@property(readonly, nullable) SCRunningApplication* owningApplication;
@property(readonly, getter=isOnScreen) BOOL onScreen;
@end

API_AVAILABLE(macos(12.3))
@interface SCShareableContent : NSObject
+ (void)getShareableContentExcludingDesktopWindows:(BOOL)excludeDesktopWindows
                               onScreenWindowsOnly:(BOOL)onScreenWindowsOnly
                                 completionHandler:(void (^)(SCShareableContent* _Nullable shareableContent,
                                                             NSError* _Nullable error))completionHandler;
@property(readonly) NSArray<SCWindow*>* windows;
@end

API_AVAILABLE(macos(12.3))
@interface SCContentFilter : NSObject
- (instancetype)initWithDesktopIndependentWindow:(SCWindow*)window;
@end

API_AVAILABLE(macos(12.3))
@interface SCStreamConfiguration : NSObject
@property(assign) size_t width;
@property(assign) size_t height;
@property(assign) CMTime minimumFrameInterval;
@property(assign) BOOL showsCursor;
@property(assign) NSInteger queueDepth;
@end

@class SCStream;

API_AVAILABLE(macos(12.3))
@protocol SCStreamOutput <NSObject>
@optional
- (void)stream:(SCStream*)stream didOutputSampleBuffer:(CMSampleBufferRef)sampleBuffer ofType:(SCStreamOutputType)type;
@end

API_AVAILABLE(macos(12.3))
@protocol SCStreamDelegate <NSObject>
@optional
- (void)stream:(SCStream*)stream didStopWithError:(NSError*)error;
@end

API_AVAILABLE(macos(12.3))
@interface SCStream : NSObject
- (instancetype)initWithFilter:(SCContentFilter*)contentFilter
                 configuration:(SCStreamConfiguration*)streamConfig
                      delegate:(nullable id<SCStreamDelegate>)delegate;
- (BOOL)addStreamOutput:(id<SCStreamOutput>)output
                   type:(SCStreamOutputType)type
     sampleHandlerQueue:(nullable dispatch_queue_t)sampleHandlerQueue
                  error:(NSError**)error;
- (BOOL)removeStreamOutput:(id<SCStreamOutput>)output type:(SCStreamOutputType)type error:(NSError**)error;
- (void)updateConfiguration:(SCStreamConfiguration*)streamConfig
          completionHandler:(nullable void (^)(NSError* _Nullable error))completionHandler;
- (void)startCaptureWithCompletionHandler:(nullable void (^)(NSError* _Nullable error))completionHandler;
- (void)stopCaptureWithCompletionHandler:(nullable void (^)(NSError* _Nullable error))completionHandler;
@end

NS_ASSUME_NONNULL_END
