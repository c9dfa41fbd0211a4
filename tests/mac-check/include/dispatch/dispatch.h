// Dispatch queues (developer.apple.com/documentation/dispatch). Under Objective-C with ARC, Apple's
// dispatch objects are Objective-C objects, and so they are here.
#pragma once

#import <Foundation/Foundation.h>

#include "availability.h"

@protocol OS_dispatch_object <NSObject>
@end
@protocol OS_dispatch_queue <OS_dispatch_object>
@end
@protocol OS_dispatch_queue_serial <OS_dispatch_queue>
@end
@protocol OS_dispatch_queue_main <OS_dispatch_queue_serial>
@end
@protocol OS_dispatch_queue_attr <OS_dispatch_object>
@end

typedef NSObject<OS_dispatch_queue>* dispatch_queue_t;
typedef NSObject<OS_dispatch_queue_main>* dispatch_queue_main_t;
typedef NSObject<OS_dispatch_queue_attr>* dispatch_queue_attr_t;
typedef void (^dispatch_block_t)(void);
typedef void (*dispatch_function_t)(void*);

#define DISPATCH_QUEUE_SERIAL NULL

#ifdef __cplusplus
extern "C" {
#endif

dispatch_queue_main_t dispatch_get_main_queue(void);
dispatch_queue_t dispatch_queue_create(const char* label, dispatch_queue_attr_t attr);
void dispatch_async(dispatch_queue_t queue, dispatch_block_t block);
void dispatch_sync(dispatch_queue_t queue, dispatch_block_t block);
void dispatch_queue_set_specific(dispatch_queue_t queue, const void* key, void* context,
                                 dispatch_function_t destructor) API_AVAILABLE(macos(10.7));
void* dispatch_get_specific(const void* key) API_AVAILABLE(macos(10.7));

#ifdef __cplusplus
}
#endif
