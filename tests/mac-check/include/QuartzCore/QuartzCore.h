// Core Animation's layer, as far as the round overlay uses it (developer.apple.com/documentation/quartzcore/calayer).
#pragma once

#import <Foundation/Foundation.h>

@interface CALayer : NSObject
@property CGFloat cornerRadius;
@property BOOL masksToBounds;
@end
