// GNUstep's Foundation, plus what newer Foundation releases declare and the macOS backend uses
// (developer.apple.com/documentation/foundation). GNUstep's own names stay as they are.
#pragma once

#include_next <Foundation/Foundation.h>

#include <CoreServices/CoreServices.h>

#include "availability.h"

NS_ASSUME_NONNULL_BEGIN

typedef NSString* NSKeyValueChangeKey;

@interface NSFileManager (QMCheckNewer)
@property(readonly, copy) NSURL* homeDirectoryForCurrentUser API_AVAILABLE(macos(10.12));
@end

@interface NSFileHandle (QMCheckNewer)
- (BOOL)seekToEndReturningOffset:(out unsigned long long* _Nullable)offsetInFile
                           error:(out NSError**)error API_AVAILABLE(macos(10.15));
- (BOOL)writeData:(NSData*)data error:(out NSError**)error API_AVAILABLE(macos(10.15));
- (BOOL)closeAndReturnError:(out NSError**)error API_AVAILABLE(macos(10.15));
@end

// GNUstep is built here without NSURLSession.
API_AVAILABLE(macos(10.9))
@interface NSURLSessionTask : NSObject
- (void)resume;
@end

API_AVAILABLE(macos(10.9))
@interface NSURLSessionDataTask : NSURLSessionTask
@end

API_AVAILABLE(macos(10.9))
@interface NSURLSessionConfiguration : NSObject
@property(class, readonly, strong) NSURLSessionConfiguration* defaultSessionConfiguration;
@property NSTimeInterval timeoutIntervalForResource;
@end

API_AVAILABLE(macos(10.9))
@interface NSURLSession : NSObject
@property(class, readonly, strong) NSURLSession* sharedSession;
+ (NSURLSession*)sessionWithConfiguration:(NSURLSessionConfiguration*)configuration;
- (void)finishTasksAndInvalidate;
- (NSURLSessionDataTask*)dataTaskWithRequest:(NSURLRequest*)request
                           completionHandler:(void (^)(NSData* _Nullable data, NSURLResponse* _Nullable response,
                                                       NSError* _Nullable error))completionHandler;
@end

@interface NSAppleEventDescriptor (QMCheckNewer)
- (nullable NSAppleEventDescriptor*)paramDescriptorForKeyword:(AEKeyword)keyword;
@property(nullable, readonly, copy) NSString* stringValue;
@end

@interface NSAppleEventManager (QMCheckNewer)
+ (NSAppleEventManager*)sharedAppleEventManager;
- (void)setEventHandler:(id)handler
            andSelector:(SEL)handleEventSelector
          forEventClass:(AEEventClass)eventClass
             andEventID:(AEEventID)eventID;
@end

NS_ASSUME_NONNULL_END
