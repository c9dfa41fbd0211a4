// GNUstep's Foundation, plus what the macOS backend uses of newer releases (developer.apple.com).
#pragma once

#include_next <Foundation/Foundation.h>

#include <CoreServices/CoreServices.h>

NS_ASSUME_NONNULL_BEGIN

typedef NSString* NSKeyValueChangeKey;

@interface NSFileManager (QMCheckNewer)
@property(readonly, copy) NSURL* homeDirectoryForCurrentUser;
@end

@interface NSFileHandle (QMCheckNewer)
- (BOOL)seekToEndReturningOffset:(out unsigned long long* _Nullable)offsetInFile error:(out NSError**)error;
- (BOOL)writeData:(NSData*)data error:(out NSError**)error;
- (BOOL)closeAndReturnError:(out NSError**)error;
@end

// GNUstep is built here without NSURLSession.
@interface NSURLSessionDataTask : NSObject
- (void)resume;
@end

@interface NSURLSessionConfiguration : NSObject
@property(class, readonly, strong) NSURLSessionConfiguration* defaultSessionConfiguration;
@property NSTimeInterval timeoutIntervalForResource;
@end

@interface NSURLSession : NSObject
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
