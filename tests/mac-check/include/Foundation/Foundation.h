// GNUstep's Foundation, plus what the macOS backend uses of newer releases (developer.apple.com).
#pragma once

// GNUstep declares no nullability. What the backend calls whose nullability matters is renamed in GNUstep's
// headers and declared again below as Apple declares it, so that a possible nil passed where Apple says
// nonnull is an error here, as it would be a crash or a silent failure on a Mac.
#define URLWithString qm_gnustep_URLWithString
#define fileURLWithPath qm_gnustep_fileURLWithPath
#define absoluteString qm_gnustep_absoluteString
#define initWithBytes qm_gnustep_initWithBytes
#define UTF8String qm_gnustep_UTF8String
#define objectForKey qm_gnustep_objectForKey
#define addObject qm_gnustep_addObject
#define requestWithURL qm_gnustep_requestWithURL
#include_next <Foundation/Foundation.h>
#undef URLWithString
#undef fileURLWithPath
#undef absoluteString
#undef initWithBytes
#undef UTF8String
#undef objectForKey
#undef addObject
#undef requestWithURL

#include <CoreServices/CoreServices.h>

NS_ASSUME_NONNULL_BEGIN

typedef NSString* NSKeyValueChangeKey;

@interface NSURL (QMCheckApple)
+ (nullable instancetype)URLWithString:(NSString*)URLString;
+ (NSURL*)fileURLWithPath:(NSString*)path;
@property(nullable, readonly, copy) NSString* absoluteString;
@end

@interface NSString (QMCheckApple)
- (nullable instancetype)initWithBytes:(const void*)bytes length:(NSUInteger)len encoding:(NSStringEncoding)encoding;
@property(nullable, readonly) const char* UTF8String;
@end

@interface NSUserDefaults (QMCheckApple)
- (nullable id)objectForKey:(NSString*)defaultName;
@end

@interface NSMutableArray <ElementT>(QMCheckApple)
- (void)addObject:(ElementT)anObject;
@end

@interface NSURLRequest (QMCheckApple)
+ (instancetype)requestWithURL:(NSURL*)URL
                   cachePolicy:(NSURLRequestCachePolicy)cachePolicy
               timeoutInterval:(NSTimeInterval)timeoutInterval;
@end

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
