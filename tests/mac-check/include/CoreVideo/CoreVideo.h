// CoreVideo's buffer types (developer.apple.com/documentation/corevideo).
#pragma once

typedef struct __CVBuffer* CVBufferRef;
typedef CVBufferRef CVImageBufferRef;
typedef CVImageBufferRef CVPixelBufferRef;
