// Dispatch queues (developer.apple.com/documentation/dispatch): Objective-C objects under ARC, as Apple's are.
#pragma once

#import <Foundation/Foundation.h>

@protocol OS_dispatch_object <NSObject>
@end
@protocol OS_dispatch_queue <OS_dispatch_object>
@end
@protocol OS_dispatch_queue_attr <OS_dispatch_object>
@end

typedef NSObject<OS_dispatch_queue>* dispatch_queue_t;
typedef NSObject<OS_dispatch_queue_attr>* dispatch_queue_attr_t;

#define DISPATCH_QUEUE_SERIAL NULL

extern "C" {

#pragma clang assume_nonnull begin
dispatch_queue_t dispatch_get_main_queue(void);
dispatch_queue_t dispatch_queue_create(const char* _Nullable label, dispatch_queue_attr_t _Nullable attr);
void dispatch_async(dispatch_queue_t queue, void (^block)(void));
void dispatch_sync(dispatch_queue_t queue, void (^block)(void));
void dispatch_queue_set_specific(dispatch_queue_t queue, const void* key, void* _Nullable context,
                                 void (*_Nullable destructor)(void* _Nullable));
void* _Nullable dispatch_get_specific(const void* key);
#pragma clang assume_nonnull end

}  // extern "C"
