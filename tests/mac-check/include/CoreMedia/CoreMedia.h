// CoreMedia's sample buffers and times (developer.apple.com/documentation/coremedia).
#pragma once

#include <CoreFoundation/CoreFoundation.h>
#include <CoreVideo/CoreVideo.h>

extern "C" {

typedef struct {
  int64_t value;
  int32_t timescale;
  uint32_t flags;
  int64_t epoch;
} CMTime;

typedef struct opaqueCMSampleBuffer* CMSampleBufferRef;

CMTime CMTimeMake(int64_t value, int32_t timescale);
Boolean CMSampleBufferIsValid(CMSampleBufferRef _Nonnull sbuf);
CVImageBufferRef _Nullable CMSampleBufferGetImageBuffer(CMSampleBufferRef _Nonnull sbuf);
CFArrayRef _Nullable CMSampleBufferGetSampleAttachmentsArray(CMSampleBufferRef _Nonnull sbuf,
                                                             Boolean createIfNecessary);

}  // extern "C"
