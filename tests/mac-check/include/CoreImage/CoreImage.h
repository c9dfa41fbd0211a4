// Core Image's image, context and bitmap format (developer.apple.com/documentation/coreimage).
#pragma once

#import <Foundation/Foundation.h>

#include <CoreGraphics/CoreGraphics.h>
#include <CoreVideo/CoreVideo.h>

NS_ASSUME_NONNULL_BEGIN

typedef int CIFormat;
typedef NSString* CIContextOption;

extern CIFormat kCIFormatBGRA8;

@interface CIImage : NSObject
- (instancetype)initWithCVPixelBuffer:(CVPixelBufferRef)pixelBuffer;
@property(readonly) CGRect extent;
@end

@interface CIContext : NSObject
- (instancetype)initWithOptions:(nullable NSDictionary<CIContextOption, id>*)options;
- (void)render:(CIImage*)image
      toBitmap:(void*)data
      rowBytes:(ptrdiff_t)rowBytes
        bounds:(CGRect)bounds
        format:(CIFormat)format
    colorSpace:(nullable CGColorSpaceRef)colorSpace;
@end

NS_ASSUME_NONNULL_END
