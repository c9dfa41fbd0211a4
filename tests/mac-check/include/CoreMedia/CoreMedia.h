// CoreMedia's sample buffers and times (developer.apple.com/documentation/coremedia).
#pragma once

#include <CoreFoundation/CoreFoundation.h>
#include <CoreVideo/CoreVideo.h>

#include "availability.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef int64_t CMTimeValue;
typedef int32_t CMTimeScale;
typedef int64_t CMTimeEpoch;
typedef uint32_t CMTimeFlags;

#pragma pack(push, 4)
typedef struct {
  CMTimeValue value;
  CMTimeScale timescale;
  CMTimeFlags flags;
  CMTimeEpoch epoch;
} CMTime;
#pragma pack(pop)

typedef struct opaqueCMSampleBuffer* CMSampleBufferRef;

CMTime CMTimeMake(int64_t value, int32_t timescale) API_AVAILABLE(macos(10.7));
Boolean CMSampleBufferIsValid(CMSampleBufferRef sbuf) API_AVAILABLE(macos(10.7));
CVImageBufferRef CMSampleBufferGetImageBuffer(CMSampleBufferRef sbuf) API_AVAILABLE(macos(10.7));
CFArrayRef CMSampleBufferGetSampleAttachmentsArray(CMSampleBufferRef sbuf, Boolean createIfNecessary)
    API_AVAILABLE(macos(10.7));

#ifdef __cplusplus
}
#endif
